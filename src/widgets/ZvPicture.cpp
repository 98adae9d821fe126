#include "widgets/ZvPicture.h"

#include <QPainter>

ZvPicture::ZvPicture(QWidget* parent) : QWidget(parent) {}

ZvPicture::~ZvPicture() = default;

void ZvPicture::SetPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

void ZvPicture::SetChart(std::unique_ptr<PictureChart> chart) {
    chart_ = std::move(chart);
    update();
}

void ZvPicture::DrawPicture(QPainter& painter) const {
    painter.fillRect(rect(), Qt::white);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Scaled to fit with its proportions kept, centred in the control.
    const QSize size = picture_.size().scaled(this->size(), Qt::KeepAspectRatio);
    QRect place(QPoint(), size);
    place.moveCenter(rect().center());
    painter.drawImage(place, picture_);
}

QImage ZvPicture::Render() const {
    QImage image(size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    if (chart_) {
        painter.fillRect(rect(), Qt::white);
        chart_->Draw(painter, size());
    } else if (!picture_.isNull()) {
        DrawPicture(painter);
    }
    return image;
}

void ZvPicture::paintEvent(QPaintEvent*) {
    // A picture control without a picture draws nothing at all, not even a background.
    if (!chart_ && picture_.isNull())
        return;
    // Drawn off-screen and copied in one step, so a chart never flickers.
    const QImage frame = Render();
    QPainter painter(this);
    painter.drawImage(0, 0, frame);
}
