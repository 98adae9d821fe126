#include "widgets/PictureView.h"

#include <QPainter>

PictureView::PictureView(QWidget* parent) : QWidget(parent) {}

PictureView::~PictureView() = default;

void PictureView::SetPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

void PictureView::SetChart(std::unique_ptr<PictureChart> chart) {
    chart_ = std::move(chart);
    update();
}

void PictureView::DrawPicture(QPainter& painter) const {
    painter.fillRect(rect(), Qt::white);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Scaled to fit with its proportions kept, centred in the control.
    const QSize size = picture_.size().scaled(this->size(), Qt::KeepAspectRatio);
    QRect place(QPoint(), size);
    place.moveCenter(rect().center());
    painter.drawImage(place, picture_);
}

QImage PictureView::Render() const {
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

void PictureView::paintEvent(QPaintEvent*) {
    // A picture control without a picture draws nothing at all, not even a background.
    if (!chart_ && picture_.isNull())
        return;
    // Drawn off-screen and copied in one step, so a chart never flickers.
    const QImage frame = Render();
    QPainter painter(this);
    painter.drawImage(0, 0, frame);
}
