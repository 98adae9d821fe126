#pragma once
// Code 128 and QR symbols for printed pages.
#include <QImage>
#include <QString>

class QPainter;
class QRect;

// The module widths (one digit 1..4 per bar or space, bars first) of `text` as a Code 128
// symbol of `kind` ("128a", "128b", "128c" or "128e"): start, data, check value and stop.
// An unknown kind gives an empty text.
QString EncodeCode128(const QString& kind, const QString& text);
// Fills `rect` white and draws the bars from its left edge, each module rect width / total
// modules wide (integer division; the remainder stays white, a too narrow rect shows nothing).
void DrawBars(QPainter& painter, const QRect& rect, const QString& moduleWidths);

// The QR symbol of `text` (UTF-8, level M, smallest version) with a quiet zone of 4 modules,
// one pixel per module, black on white; a null image for an empty text or one too long.
QImage RenderQr(const QString& text);
// Draws the symbol stretched onto `rect` as sharp squares.
void DrawQr(QPainter& painter, const QRect& rect, const QString& text);
