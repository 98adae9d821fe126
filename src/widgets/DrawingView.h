#pragma once
// The drawing view of forms: a surface that later work draws scenes on. For now it keeps what
// its definition gives it.
#include <QColor>
#include <QWidget>

class DrawingView : public QWidget {
    Q_OBJECT
public:
    explicit DrawingView(QWidget* parent = nullptr) : QWidget(parent) {}

    void SetText(const QString& text) { text_ = text; }
    QString Text() const { return text_; }
    void SetColor(const QColor& colour) { colour_ = colour; }
    QColor Color() const { return colour_; }

private:
    QString text_;
    QColor colour_;
};
