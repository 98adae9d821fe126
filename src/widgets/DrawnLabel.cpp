#include "widgets/DrawnLabel.h"

#include "net/PictureDownloads.h"
#include "platform/StyleBits.h"

#include <QFontMetrics>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>

QColor PackedColor(int packed) {
    return QColor(packed & 0xFF, (packed >> 8) & 0xFF, (packed >> 16) & 0xFF);
}

namespace {

// Places a span [from, to) of an axis by its alignment digit: 2 centres it in the area, 3
// measures it from the far edge, anything else keeps it as written.
std::pair<int, int> PlaceSpan(int digit, int from, int to, int extent) {
    if (digit == 2) {
        const int length = to - from;
        const int start = (extent - length) / 2;
        return {start, start + length};
    }
    if (digit == 3)
        return {extent - to, extent - from};
    return {from, to};
}

QRect PlaceRect(const LabelItem& item, const QRect& area) {
    const auto [left, right] =
        PlaceSpan(item.style / 10 % 10, item.pos.left, item.pos.right, area.width());
    const auto [top, bottom] =
        PlaceSpan(item.style % 10, item.pos.top, item.pos.bottom, area.height());
    return QRect(area.left() + left, area.top() + top, right - left, bottom - top);
}

QRect AsWritten(const LabelItem& item, const QRect& area) {
    return QRect(area.topLeft() + QPoint(item.pos.left, item.pos.top),
                 QSize(item.pos.Width(), item.pos.Height()));
}

// The platform's binary raster modes that have a counterpart here; the others draw plainly.
QPainter::CompositionMode ModeOf(int drawMode) {
    switch (drawMode) {
    case 4: // not copy pen
        return QPainter::RasterOp_NotSource;
    case 6: // not
        return QPainter::RasterOp_NotDestination;
    case 7: // xor pen
        return QPainter::RasterOp_SourceXorDestination;
    case 9: // mask pen
        return QPainter::RasterOp_SourceAndDestination;
    case 10: // not xor pen
        return QPainter::RasterOp_NotSourceXorDestination;
    case 15: // merge pen
        return QPainter::RasterOp_SourceOrDestination;
    default:
        return QPainter::CompositionMode_SourceOver;
    }
}

// An http picture is read from its downloaded copy; until it has arrived nothing is drawn.
QString PicturePath(QString text, const QString& folder) {
    if (text.left(4) == QStringLiteral("http"))
        return PictureDownloads::Instance().LocalFile(text, folder + QStringLiteral("temp/"));
    return folder + text.replace(QLatin1Char('\\'), QLatin1Char('/'));
}

} // namespace

void DrawLabelItem(QPainter& painter, const LabelItem& item, const QRect& area,
                   const QString& pictureFolder) {
    const QColor colour = PackedColor(item.color);
    const QPen pen(colour, qMax(item.width, 1));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QString& type = item.type;
    if (type == QLatin1String("img")) {
        const QPixmap picture(PicturePath(item.text, pictureFolder));
        if (!picture.isNull()) {
            const int hDigit = item.style / 10 % 10;
            const int vDigit = item.style % 10;
            int x = item.pos.left;
            int y = item.pos.top;
            if (hDigit == 2)
                x = (area.width() - picture.width()) / 2;
            else if (hDigit == 3)
                x = item.pos.left + area.width() - item.pos.right - picture.width();
            if (vDigit == 2)
                y = (area.height() - picture.height()) / 2;
            else if (vDigit == 3)
                y = item.pos.top + area.height() - item.pos.bottom - picture.height();
            painter.drawPixmap(area.left() + x, area.top() + y, picture);
        }
    } else if (type == QLatin1String("line") || type == QLatin1String("arrow")) {
        // Lines follow the alignment digits; arrows, like frames, keep their place.
        const QRect r =
            type == QLatin1String("line") ? PlaceRect(item, area) : AsWritten(item, area);
        const QPointF from(r.left(), r.top());
        const QPointF to(r.left() + r.width(), r.top() + r.height());
        painter.setPen(pen);
        painter.drawLine(from, to);
        if (type == QLatin1String("arrow")) {
            const double angle = std::atan2(to.y() - from.y(), to.x() - from.x());
            const double size = 6.0 + pen.widthF() * 2;
            QPainterPath head;
            head.moveTo(to);
            head.lineTo(to - QPointF(std::cos(angle - 0.45) * size, std::sin(angle - 0.45) * size));
            head.lineTo(to - QPointF(std::cos(angle + 0.45) * size, std::sin(angle + 0.45) * size));
            head.closeSubpath();
            painter.fillPath(head, colour);
        }
    } else if (type == QLatin1String("rect")) {
        QPen dashed = pen;
        dashed.setStyle(BackgroundDashStyle(item.style));
        painter.setPen(dashed);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(AsWritten(item, area));
    } else if (type == QLatin1String("rect1")) {
        painter.fillRect(AsWritten(item, area), colour);
    } else if (type == QLatin1String("rect2") || type == QLatin1String("rect3")) {
        const QRect r = AsWritten(item, area);
        if (type == QLatin1String("rect2")) {
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
        } else {
            painter.setPen(Qt::NoPen);
            painter.setBrush(colour);
        }
        painter.drawRoundedRect(r, 10, 10);
    } else if (type == QLatin1String("text")) {
        const QFont font = MakeTextFont(ParseTextFontText(item.font));
        painter.setFont(font);
        const QFontMetrics metrics(font);
        const QSize extent = metrics.size(0, item.text);
        int x = item.pos.left;
        int y = item.pos.top;
        const int hDigit = item.style / 10 % 10;
        const int vDigit = item.style % 10;
        if (hDigit == 2)
            x = (area.width() - extent.width()) / 2;
        else if (hDigit == 3)
            x = area.width() - item.pos.left - extent.width();
        if (vDigit == 2)
            y = (area.height() - extent.height()) / 2;
        else if (vDigit == 3)
            y = area.height() - item.pos.top - extent.height();
        const QRect place(area.left() + x, area.top() + y, extent.width(), extent.height());
        if (item.width != 0)
            painter.fillRect(place, Qt::white);
        painter.setPen(colour);
        painter.drawText(place, 0, item.text);
    }
    painter.restore();
}

DrawnLabel::DrawnLabel(const QString& text, QWidget* parent) : QWidget(parent), text_(text) {
    // The form's background shows through: nothing is filled behind the text.
    setAutoFillBackground(false);
}

void DrawnLabel::SetItem(const LabelItem& item, int drawMode) {
    item_ = item;
    drawMode_ = drawMode;
    if (!watchingDownloads_ && item.type == QLatin1String("img") &&
        item.text.left(4) == QStringLiteral("http")) {
        watchingDownloads_ = true;
        connect(&PictureDownloads::Instance(), &PictureDownloads::arrived, this,
                [this](const QString& url) {
                    if (item_ && url == item_->text)
                        update();
                });
    }
    update();
}

void DrawnLabel::SetText(const QString& text) {
    text_ = text;
    update();
}

void DrawnLabel::SetTextColor(const QColor& colour) {
    textColor_ = colour;
    update();
}

void DrawnLabel::SetStyleBits(int bits) {
    const StyleBits::StaticStyle style = StyleBits::StaticStyleOf(bits);
    alignment_ = style.alignment;
    sunken_ = style.sunken;
    border_ = style.border;
    ellipsis_ = style.ellipsis;
    update();
}

QSize DrawnLabel::sizeHint() const {
    return fontMetrics().size(0, text_) + QSize(2, 2);
}

void DrawnLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (sunken_ || border_) {
        painter.setPen(sunken_ ? QColor(0xA0, 0xA0, 0xA0) : QColor(0x64, 0x64, 0x64));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    if (item_) {
        painter.save();
        painter.setCompositionMode(ModeOf(drawMode_));
        DrawLabelItem(painter, *item_, rect(), pictureFolder_);
        painter.restore();
    }
    painter.setPen(textColor_.value_or(palette().color(QPalette::WindowText)));
    const QRect area = rect().adjusted(1, 0, -1, 0);
    QString shown = text_;
    int flags = int(alignment_);
    if (ellipsis_)
        shown = fontMetrics().elidedText(text_, Qt::ElideRight, area.width());
    else
        flags |= Qt::TextWordWrap;
    painter.drawText(area, flags, shown);
}
