#include "widgets/DrawnButton.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>

DrawnButton::DrawnButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
}

void DrawnButton::SetTextColor(const QColor& colour) {
    textColor_ = colour;
    update();
}

QSize DrawnButton::sizeHint() const {
    const QSize caption = fontMetrics().size(Qt::TextShowMnemonic, text());
    return {qMax(72, caption.width() + 28), qMax(30, caption.height() + 12)};
}

void DrawnButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF face = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);

    QColor top(0xFD, 0xFE, 0xFF);
    QColor bottom(0xDD, 0xEA, 0xF7);
    if (!isEnabled()) {
        top = bottom = QColor(0xEE, 0xEE, 0xEE);
    } else if (isDown()) {
        top = QColor(0xC4, 0xDB, 0xF2);
        bottom = QColor(0xB0, 0xCF, 0xEE);
    } else if (underMouse()) {
        bottom = QColor(0xC9, 0xE0, 0xF7);
    }
    QLinearGradient gradient(face.topLeft(), face.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    QPainterPath path;
    path.addRoundedRect(face, 4, 4);
    painter.fillPath(path, gradient);
    painter.setPen(hasFocus() || isDefault() ? QColor(0x3C, 0x8D, 0xDE) : QColor(0x9C, 0xB8, 0xD6));
    painter.drawPath(path);

    const QColor caption = textColor_.isValid() ? textColor_ : QColor(0x1E, 0x2D, 0x3C);
    painter.setPen(isEnabled() ? caption : QColor(0x99, 0x99, 0x99));
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextShowMnemonic, text());
}
