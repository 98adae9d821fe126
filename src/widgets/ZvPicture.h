#pragma once
// The picture control of forms. It shows a picture scaled to fit its area; the charts it can
// also draw come later.
#include <QColor>
#include <QImage>
#include <QWidget>

class ZvPicture : public QWidget {
    Q_OBJECT
public:
    explicit ZvPicture(QWidget* parent = nullptr);

    void SetPicture(const QImage& picture);
    const QImage& Picture() const { return picture_; }
    void SetText(const QString& text) { text_ = text; }
    QString Text() const { return text_; }
    void SetColor(const QColor& colour) { colour_ = colour; }
    QColor Color() const { return colour_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
    QString text_;
    QColor colour_;
};
