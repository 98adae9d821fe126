#include "widgets/ImageButton.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

ImageButton::ImageButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
}

void ImageButton::SetPicture(const QPixmap& picture) {
    picture_ = picture;
    update();
}

void ImageButton::SetTextColor(const QColor& colour) {
    textColor_ = colour;
    update();
}

void ImageButton::SetShade(Shade shade) {
    shade_ = shade;
    update();
}

QColor ImageButton::CurrentTextColor() const {
    if (!isEnabled())
        return QColor(0x99, 0x99, 0x99);
    if (hasFocus())
        return FocusedTextColor();
    if (underMouse())
        return HoverTextColor();
    return textColor_;
}

void ImageButton::PaintFace(QPainter& painter) const {
    const QRectF face = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(face, 3, 3);
    if (shade_ == Shade::None) {
        // Flat until the pointer or the press asks for a face, as image buttons are.
        if (isDown())
            painter.fillPath(path, QColor(0xD8, 0xE6, 0xF5));
        else if (underMouse())
            painter.fillPath(path, QColor(0xEA, 0xF2, 0xFB));
        if (isDown() || underMouse() || hasFocus()) {
            painter.setPen(QColor(0x9C, 0xB8, 0xD6));
            painter.drawPath(path);
        }
        return;
    }
    QColor top(0xFF, 0xFF, 0xFF);
    QColor bottom(0xC8, 0xDC, 0xF0);
    QLinearGradient gradient(face.topLeft(), face.bottomLeft());
    if (shade_ == Shade::Alternative) {
        // The alternative shading runs across the face and is warmer.
        gradient = QLinearGradient(face.topLeft(), face.topRight());
        top = QColor(0xFF, 0xF8, 0xE8);
        bottom = QColor(0xF0, 0xD8, 0xA8);
    }
    if (isDown())
        std::swap(top, bottom);
    else if (underMouse())
        top = top.lighter(105), bottom = bottom.lighter(108);
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    painter.fillPath(path, gradient);
    painter.setPen(hasFocus() ? QColor(0x3C, 0x8D, 0xDE) : QColor(0x9C, 0xB8, 0xD6));
    painter.drawPath(path);
}

void ImageButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    PaintFace(painter);

    QRect content = rect().adjusted(4, 2, -4, -2);
    if (isDown())
        content.translate(1, 1);
    const QString caption = text();
    if (!picture_.isNull()) {
        const int side = qMin(content.height(), qMax(picture_.height(), 1));
        QSize size = picture_.size().scaled(side, side, Qt::KeepAspectRatio);
        if (caption.isEmpty()) {
            size = picture_.size().scaled(content.size().boundedTo(picture_.size()),
                                          Qt::KeepAspectRatio);
            QRect place(QPoint(), size);
            place.moveCenter(content.center());
            painter.drawPixmap(place, picture_);
            return;
        }
        const int captionWidth = fontMetrics().horizontalAdvance(caption);
        const int total = size.width() + 4 + captionWidth;
        const int left = content.left() + qMax(0, (content.width() - total) / 2);
        const QRect place(left, content.top() + (content.height() - size.height()) / 2,
                          size.width(), size.height());
        painter.drawPixmap(place, picture_);
        content.setLeft(place.right() + 5);
        painter.setPen(CurrentTextColor());
        painter.drawText(content, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, caption);
        return;
    }
    painter.setPen(CurrentTextColor());
    painter.drawText(content, Qt::AlignCenter | Qt::TextShowMnemonic, caption);
}
