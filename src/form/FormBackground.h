#pragma once
// The drawn background of a form window: the head's `bg` fill and the items under its `bg`
// element (pictures, lines, rectangles, arrows and texts), painted anti-aliased in client
// coordinates every time the form's background is painted.
#include "platform/ValueGrammars.h"

#include <QColor>
#include <QFont>
#include <QPen>
#include <QSize>
#include <QString>

class QPainter;

namespace FormXml {
class XmlNode;
}

// A colour packed as red + green·256 + blue·65536.
QColor PackedRgbColor(int packed);

// Fills `client` white when the head's `bg` is below 1, otherwise with the application
// palette's button colour, then draws every element child of the head's `bg` element in
// document order. Each item reads all of its attributes, so a malformed `pos` or `color`
// shows its message on every call; the item is still drawn with the fallback value.
//
// Item types: "img" (a picture at its own size), "line", "rect" (outline; `style` is the dash
// style 0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot), "rect1" (filled), "rect2" and
// "rect3" (corner radius 10, outlined and filled), "arrow" (a line ending in a filled head at
// its second point) and "text". For "img", "line" and "text" the tens digit of `style` aligns
// horizontally and the units digit vertically: 2 centres the item in the client area, 3 places
// it from the right (bottom) edge, anything else keeps `pos`. A "text" item with a `width`
// other than 0 is drawn over a white box of its extent.
//
// "img" names a file relative to `exeFolder` (which ends with "/"; "\" separators are read as
// "/"). Pictures are loaded once per path and kept in a process-wide cache bounded in memory,
// so repaints read no files; a file that cannot be loaded draws nothing and is tried again on
// the next paint. A picture named by an "http" address is drawn from its copy under
// `exeFolder`/temp once PictureDownloads has fetched it: painting never waits on the network.
void DrawFormBackground(QPainter& painter, const FormXml::XmlNode& head, QSize client,
                        const QFont& defaultFont, const QString& exeFolder);
