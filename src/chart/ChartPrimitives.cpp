#include "chart/ChartPrimitives.h"

#include <QHash>
#include <QPainterPath>
#include <QPolygonF>

#include <cmath>

namespace chart {

namespace {

// Fonts by size, made once: a chart sets one for each of its thousands of labels.
const QFont& ChartFont(int points) {
    static QHash<int, QFont> fonts;
    auto found = fonts.find(points);
    if (found == fonts.end()) {
        QFont font;
        font.setFamilies({QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei"),
                          QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC")});
        font.setPointSize(points);
        found = fonts.insert(points, font);
    }
    return *found;
}

} // namespace

QColor Argb(std::uint32_t argb) {
    return QColor(int((argb >> 16) & 0xFF), int((argb >> 8) & 0xFF), int(argb & 0xFF),
                  int(argb >> 24));
}

void Line(QPainter& painter, QPoint from, QPoint to, int width, const QColor& colour,
          Qt::PenCapStyle cap) {
    painter.setPen(QPen(colour, width, Qt::SolidLine, cap));
    painter.drawLine(from, to);
}

void Arrow(QPainter& painter, QPoint from, QPoint to, int width, const QColor& colour) {
    Line(painter, from, to, width, colour, Qt::FlatCap);
    const double angle = std::atan2(double(to.y() - from.y()), double(to.x() - from.x()));
    const double length = 6 + 2 * width;
    const QPointF tip(to);
    const QPointF left =
        tip - QPointF(length * std::cos(angle - 0.4), length * std::sin(angle - 0.4));
    const QPointF right =
        tip - QPointF(length * std::cos(angle + 0.4), length * std::sin(angle + 0.4));
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawPolygon(QPolygonF({tip, left, right}));
    painter.setBrush(Qt::NoBrush);
}

void Circles(QPainter& painter, const QList<QPoint>& points, int d, const QColor& colour) {
    painter.setPen(QPen(colour, d));
    painter.setBrush(Qt::NoBrush);
    for (const QPoint& p : points)
        painter.drawEllipse(QPointF(p), d / 2.0, d / 2.0);
}

void Curve(QPainter& painter, const QList<QPoint>& points, int width, const QColor& colour) {
    if (points.size() < 2)
        return;
    // A cardinal spline of tension 0.5 as Bezier segments: each point's tangent is half the
    // chord between its neighbours.
    constexpr double kTension = 0.5;
    QPainterPath path(points.first());
    for (qsizetype i = 0; i + 1 < points.size(); ++i) {
        const QPointF p0 = points[std::max<qsizetype>(0, i - 1)];
        const QPointF p1 = points[i];
        const QPointF p2 = points[i + 1];
        const QPointF p3 = points[std::min(points.size() - 1, i + 2)];
        path.cubicTo(p1 + (p2 - p0) * (kTension / 3), p2 - (p3 - p1) * (kTension / 3), p2);
    }
    painter.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

void LevelLine(QPainter& painter, QPoint a, QPoint b, int width, const QColor& colour) {
    QColor faint = colour;
    faint.setAlpha(100);
    // Two points one above the other have no slope: the line is drawn level through the first.
    const double slope = a.x() == b.x() ? 0.0 : double(b.y() - a.y()) / double(b.x() - a.x());
    const QPointF start(0, a.y() - slope * a.x());
    const QPointF end(width, a.y() + slope * (width - a.x()));
    painter.setPen(QPen(faint, 1));
    painter.drawLine(start, end);
}

void TrendLines(QPainter& painter, const QList<QPoint>& points, int width, const QColor& colour) {
    if (points.isEmpty())
        return;
    const qsizetype m = points.size() - 1;
    auto firstExtreme = [&](qsizetype from, qsizetype to, bool smallest) {
        qsizetype best = from;
        for (qsizetype i = from; i <= to; ++i)
            if (smallest ? points[i].y() < points[best].y() : points[i].y() > points[best].y())
                best = i;
        return best;
    };
    const qsizetype top = firstExtreme(0, m, true);
    const qsizetype bottom = firstExtreme(top, m, false);
    const qsizetype top2 = firstExtreme(bottom, m, true);
    const qsizetype low = firstExtreme(0, top == 0 ? m : top, false);
    LevelLine(painter, points[top], points[top2], width, colour);
    LevelLine(painter, points[bottom], points[low], width, colour);
}

void TextAt(QPainter& painter, QPoint topLeft, const QString& text, int points,
            const QColor& colour) {
    TextIn(painter, QRect(topLeft, QSize(4000, 400)), Qt::AlignLeft | Qt::AlignTop, text, points,
           colour);
}

void TextIn(QPainter& painter, const QRect& rect, int alignment, const QString& text, int points,
            const QColor& colour) {
    if (text.isEmpty())
        return;
    const QFont& font = ChartFont(points);
    if (painter.font() != font)
        painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(rect, alignment | Qt::TextDontClip, text);
}

} // namespace chart
