#include "widgets/LinkLabel.h"

#include <QPainter>

LinkLabel::LinkLabel(const QString& text, QWidget* parent) : QAbstractButton(parent) {
    setText(text);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
}

QSize LinkLabel::sizeHint() const {
    return fontMetrics().size(Qt::TextSingleLine, text()) + QSize(4, 4);
}

void LinkLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QFont font = this->font();
    font.setUnderline(true);
    painter.setFont(font);
    QColor colour = isEnabled() ? palette().color(QPalette::Link) : QColor(0x99, 0x99, 0x99);
    if (isEnabled() && (isDown() || underMouse()))
        colour = colour.darker(130);
    painter.setPen(colour);
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
    if (hasFocus()) {
        painter.setPen(QPen(colour, 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}
