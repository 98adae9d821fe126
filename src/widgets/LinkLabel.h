#pragma once
// A clickable text drawn in link style: the `button` kind whose `popup` is "1".
#include <QAbstractButton>

class LinkLabel : public QAbstractButton {
    Q_OBJECT
public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
