#pragma once
// The system's own drawn push button: a rounded face with a soft gradient that lightens under
// the pointer and darkens while pressed, used by the shell's dialogs.
#include <QPushButton>

class CZvButton : public QPushButton {
    Q_OBJECT
public:
    explicit CZvButton(const QString& caption, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
