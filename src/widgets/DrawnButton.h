#pragma once
// The system's own drawn push button: a rounded face with a soft gradient that lightens under
// the pointer and darkens while pressed, used by the shell's dialogs.
#include <QColor>
#include <QPushButton>

class DrawnButton : public QPushButton {
    Q_OBJECT
public:
    explicit DrawnButton(const QString& caption, QWidget* parent = nullptr);
    QSize sizeHint() const override;

    // Forms may give the caption a colour of their own; invalid keeps the standard one.
    void SetTextColor(const QColor& colour);
    QColor TextColor() const { return textColor_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor textColor_;
};
