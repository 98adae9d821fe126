#pragma once
// The drawing primitives of the charts, in pixels of the control (origin top-left): lines,
// arrows, circles, the cardinal-spline curve, texts placed as the layouts place them and the
// level lines that run through two points across the whole width.
#include <QColor>
#include <QList>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QString>

#include <cstdint>

namespace chart {

inline const QColor kTextRed(255, 0, 0, 100);
inline const QColor kCaptionBlue(10, 10, 255, 200);
inline const QColor kGridRed(255, 0, 0, 50);

QColor Argb(std::uint32_t argb);

void Line(QPainter& painter, QPoint from, QPoint to, int width, const QColor& colour,
          Qt::PenCapStyle cap = Qt::SquareCap);
// A line with a small triangular head at its end.
void Arrow(QPainter& painter, QPoint from, QPoint to, int width, const QColor& colour);
// Unfilled circles of diameter d drawn with a pen of width d, centred on the points.
void Circles(QPainter& painter, const QList<QPoint>& points, int d, const QColor& colour);
// A smooth curve through the points in order (a cardinal spline).
void Curve(QPainter& painter, const QList<QPoint>& points, int width, const QColor& colour);
// The line through a and b, drawn from x = 0 to x = width, its colour's alpha set to 100.
void LevelLine(QPainter& painter, QPoint a, QPoint b, int width, const QColor& colour);
// The two trend lines of a series' points: over its highs and over its lows.
void TrendLines(QPainter& painter, const QList<QPoint>& points, int width, const QColor& colour);

// Text in the chart font ("微软雅黑", or the installed CJK font) at `points` size.
void TextAt(QPainter& painter, QPoint topLeft, const QString& text, int points,
            const QColor& colour);
void TextIn(QPainter& painter, const QRect& rect, int alignment, const QString& text, int points,
            const QColor& colour);

} // namespace chart
