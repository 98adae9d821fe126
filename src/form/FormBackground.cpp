#include "form/FormBackground.h"

#include "form/XmlDocument.h"
#include "net/PictureDownloads.h"
#include "platform/ValueGrammars.h"

#include <QCache>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

// Bounded by memory (costs in KiB) so that many large pictures cannot pile up over a long
// session. Shared by every form and guarded, as an animated form may paint from its worker.
class PictureCache {
public:
    QImage Get(const QString& path) {
        {
            std::lock_guard lock(m_mutex);
            if (const QImage* cached = m_pictures.object(path))
                return *cached;
        }
        QImage picture(path);
        if (picture.isNull())
            return picture;
        const qsizetype cost = std::max<qsizetype>(1, picture.sizeInBytes() / 1024);
        std::lock_guard lock(m_mutex);
        m_pictures.insert(path, new QImage(picture), cost);
        return picture;
    }

private:
    std::mutex m_mutex;
    QCache<QString, QImage> m_pictures{64 * 1024};
};

PictureCache& Pictures() {
    static PictureCache cache;
    return cache;
}

enum Alignment { AsGiven, Centred, FromFarEdge };

Alignment AlignmentOf(int digit) {
    switch (digit) {
    case 2:
        return Centred;
    case 3:
        return FromFarEdge;
    default:
        return AsGiven;
    }
}

struct Item {
    QString type;
    RectValue pos;
    int style = 0;
    int width = 1;
    QColor color;
    QString text;
    TextFontValue font;

    Alignment Horizontal() const { return AlignmentOf(style / 10 % 10); }
    Alignment Vertical() const { return AlignmentOf(style % 10); }
    QRectF Rect() const { return QRectF(pos.left, pos.top, pos.Width(), pos.Height()); }
    QPen Pen(Qt::PenStyle dash = Qt::SolidLine) const {
        return QPen(color, std::max(0, width), dash, Qt::FlatCap, Qt::MiterJoin);
    }
};

// Every attribute is read for every item, whatever its type, so each malformed value is
// reported on each paint.
Item ReadItem(const FormXml::XmlNode& node) {
    Item item;
    item.type = node.GetAttribute("type");
    item.pos = ParseRectText(node.GetAttribute("pos"));
    item.style = node.GetAttributeInt("style", 0);
    item.width = node.GetAttributeInt("width", 1);
    item.color =
        PackedRgbColor(ParseRgbText(node.GetAttribute("color", QStringLiteral("240,240,240"))));
    item.text = node.GetAttribute("text");
    item.font = ParseTextFontText(node.GetAttribute("font"));
    return item;
}

// The start of an item of `size` along one axis.
int AlignedStart(Alignment alignment, int start, int end, int size, int client) {
    switch (alignment) {
    case Centred:
        return (client - size) / 2;
    case FromFarEdge:
        return start + client - end - size;
    case AsGiven:
        break;
    }
    return start;
}

// A line's two coordinates along one axis: centred keeps its extent and direction, from the far
// edge puts the extent as far from that edge as it was from the near one.
void AlignLineAxis(Alignment alignment, int& start, int& end, int client) {
    const int extent = end - start;
    if (alignment == Centred) {
        start = (client - extent) / 2;
        end = start + extent;
    } else if (alignment == FromFarEdge) {
        const int oldStart = start;
        start = client - end;
        end = client - oldStart;
    }
}

void DrawPicture(QPainter& painter, const Item& item, QSize client, const QString& exeFolder) {
    if (item.text.isEmpty())
        return;
    QString path;
    if (item.text.startsWith(QLatin1String("http"))) {
        path =
            PictureDownloads::Instance().LocalFile(item.text, exeFolder + QStringLiteral("temp/"));
        if (path.isEmpty())
            return;
    } else {
        path = exeFolder + item.text;
        path.replace(u'\\', u'/');
    }
    const QImage picture = Pictures().Get(path);
    if (picture.isNull())
        return;
    const int x = AlignedStart(item.Horizontal(), item.pos.left, item.pos.right, picture.width(),
                               client.width());
    const int y = AlignedStart(item.Vertical(), item.pos.top, item.pos.bottom, picture.height(),
                               client.height());
    painter.drawImage(QPoint(x, y), picture);
}

void DrawLine(QPainter& painter, const Item& item, QSize client) {
    int left = item.pos.left;
    int right = item.pos.right;
    int top = item.pos.top;
    int bottom = item.pos.bottom;
    AlignLineAxis(item.Horizontal(), left, right, client.width());
    AlignLineAxis(item.Vertical(), top, bottom, client.height());
    painter.setPen(item.Pen());
    painter.drawLine(QPointF(left, top), QPointF(right, bottom));
}

void DrawArrow(QPainter& painter, const Item& item) {
    const QPointF from(item.pos.left, item.pos.top);
    const QPointF to(item.pos.right, item.pos.bottom);
    const QPointF along = to - from;
    const double length = std::hypot(along.x(), along.y());
    if (length <= 0)
        return;
    // The head grows with the pen so that a thick shaft does not swallow it.
    const double headLength = std::max(10.0, 4.0 * item.width);
    const QPointF unit = along / length;
    const QPointF normal(-unit.y(), unit.x());
    const QPointF base = to - unit * std::min(headLength, length);
    painter.setPen(item.Pen());
    painter.drawLine(from, base);
    QPainterPath head;
    head.moveTo(to);
    head.lineTo(base + normal * (headLength / 2));
    head.lineTo(base - normal * (headLength / 2));
    head.closeSubpath();
    painter.fillPath(head, item.color);
}

void DrawText(QPainter& painter, const Item& item, QSize client) {
    painter.setFont(MakeTextFont(item.font));
    const QSize extent = painter.fontMetrics().size(0, item.text);
    int x = item.pos.left;
    int y = item.pos.top;
    switch (item.Horizontal()) {
    case Centred:
        x = (client.width() - extent.width()) / 2;
        break;
    case FromFarEdge:
        x = client.width() - item.pos.left - extent.width();
        break;
    case AsGiven:
        break;
    }
    switch (item.Vertical()) {
    case Centred:
        y = (client.height() - extent.height()) / 2;
        break;
    case FromFarEdge:
        y = client.height() - item.pos.top - extent.height();
        break;
    case AsGiven:
        break;
    }
    const QRect box(QPoint(x, y), extent);
    if (item.width != 0)
        painter.fillRect(box, Qt::white);
    painter.setPen(item.color);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop, item.text);
}

void DrawItem(QPainter& painter, const Item& item, QSize client, const QString& exeFolder) {
    painter.setBrush(Qt::NoBrush);
    const QString& type = item.type;
    if (type == QLatin1String("img")) {
        DrawPicture(painter, item, client, exeFolder);
    } else if (type == QLatin1String("line")) {
        DrawLine(painter, item, client);
    } else if (type == QLatin1String("rect")) {
        painter.setPen(item.Pen(BackgroundDashStyle(item.style)));
        painter.drawRect(item.Rect());
    } else if (type == QLatin1String("rect1")) {
        painter.fillRect(item.Rect(), item.color);
    } else if (type == QLatin1String("rect2")) {
        painter.setPen(item.Pen());
        painter.drawRoundedRect(item.Rect(), 10, 10);
    } else if (type == QLatin1String("rect3")) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(item.color);
        painter.drawRoundedRect(item.Rect(), 10, 10);
    } else if (type == QLatin1String("arrow")) {
        DrawArrow(painter, item);
    } else if (type == QLatin1String("text")) {
        DrawText(painter, item, client);
    }
}

} // namespace

QColor PackedRgbColor(int packed) {
    return QColor(packed & 0xFF, (packed >> 8) & 0xFF, (packed >> 16) & 0xFF);
}

void DrawFormBackground(QPainter& painter, const FormXml::XmlNode& head, QSize client,
                        const QFont& defaultFont, const QString& exeFolder) {
    painter.save();
    const QRect area(QPoint(0, 0), client);
    if (head.GetAttributeInt("bg", 0) < 1)
        painter.fillRect(area, Qt::white);
    else
        painter.fillRect(area, QGuiApplication::palette().color(QPalette::Button));
    painter.setFont(defaultFont);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);

    const FormXml::XmlNodes items = head.GetChild("bg").GetChildren();
    for (int i = 0; i < items.GetCount(); ++i)
        DrawItem(painter, ReadItem(items.GetItem(i)), client, exeFolder);
    painter.restore();
}
