#include "widgets/ZvPicture.h"

#include <QPainter>

ZvPicture::ZvPicture(QWidget* parent) : QWidget(parent) {}

void ZvPicture::SetPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

void ZvPicture::paintEvent(QPaintEvent*) {
    if (picture_.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Scaled to fit with its proportions kept, centred in the control.
    const QSize size = picture_.size().scaled(this->size(), Qt::KeepAspectRatio);
    QRect place(QPoint(), size);
    place.moveCenter(rect().center());
    painter.drawImage(place, picture_);
}
