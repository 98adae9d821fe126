#pragma once
// The textual value formats of form definition attributes: integers, rectangles, colours and
// fonts. Rectangles, colours and fonts split their text at "," and read every part with the
// integer grammar; the number of parts decides the form. The readers (Read…Text) return what was
// wrong with a malformed rectangle or colour together with a fixed fallback value; the caller
// decides whether the user sees it (ReportGrammarError). The Parse…Text forms read and report in
// one step, as a form does each time it reads a value (the form author must see it).
#include <QFont>
#include <QRect>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <string_view>

// C atoi on the text: leading blanks (space, tab, CR, LF, VT, FF) skipped, an optional sign,
// then ASCII digits up to the first other character. No digits gives 0; values beyond the int
// range saturate at INT_MIN / INT_MAX.
int ParseIntegerText(QStringView text);
// The same grammar over UTF-8 bytes, so that attribute readers need not convert to UTF-16.
int ParseIntegerText(std::string_view text);

// left, top, right, bottom as written; right and bottom are exclusive edges.
struct RectValue {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    // QRect's right and bottom are inclusive, hence the conversion through width and height.
    QRect ToQRect() const { return QRect(left, top, Width(), Height()); }
    bool operator==(const RectValue&) const = default;
};

// "left,top,right,bottom". Any other number of parts is the error "矩形数据格式错误" and gives
// (0,0,0,0). Empty parts count ("1,2,3," is four parts, the last 0).
RectValue ReadRectText(QStringView text, QString& error);
RectValue ParseRectText(QStringView text);

// "r,g,b" packed as r + g*256 + b*65536; each part keeps its low byte, as a byte-wide colour
// component would. Any other number of parts is the error "RGB颜色格式错误(x,y,z)" and gives
// pure red (255).
int ReadRgbText(QStringView text, QString& error);
int ParseRgbText(QStringView text);

inline constexpr std::uint32_t kOpaqueBlack = 0xFF000000u;

// "a,r,g,b" or "r,g,b" (alpha 255) packed as a*2^24 + r*2^16 + g*2^8 + b, every part keeping
// its low byte. Empty text gives opaque black without an error; any other number of parts is
// the error "Color颜色格式错误(a,x,y,z)" and gives opaque black.
std::uint32_t ReadArgbText(QStringView text, QString& error);
std::uint32_t ParseArgbText(QStringView text);

// Shows a reader's error to the user (nothing for an empty one).
void ReportGrammarError(const QString& error);

// A control font: "size" or "size,face". Empty text means the dialog's default font.
// More than two parts: the first two are used and the rest ignored, the same leniency as the
// background-text font's ignored fourth part.
struct FontValue {
    bool useDialogDefault = true;
    int size = 0;
    QString face; // empty: the dialog's default face

    // The cell height in pixels, size * 4 / 3 with integer division.
    int PixelHeight() const { return size * 4 / 3; }
};

FontValue ParseFontText(QStringView text);

// The QFont for a control: the dialog's default as is when the text was empty, otherwise a
// bold sans-serif font of the cell height in pixels in the given face (or the default's).
// A cell height of 0 keeps the default's size. The height is used as Qt's pixel size: the faces
// the forms were designed with have no internal leading, so their glyphs are that tall.
QFont MakeControlFont(const FontValue& font, const QFont& dialogDefault);

// A background text font: "height,width,face,ignored"; every part but the first may be
// missing. Extra parts beyond the fourth are ignored as well.
struct TextFontValue {
    int height = 0;
    int width = 32;
    QString face = QStringLiteral("宋体");

    bool operator==(const TextFontValue&) const = default;
};

TextFontValue ParseTextFontText(QStringView text);

// A thin font of `height` pixels in the face, stretched so that its average half-width glyph
// is `width` pixels wide (the designing face's Latin glyphs are half as wide as tall). A height
// of 0 keeps the application's default size and a width of 0 the face's natural width.
QFont MakeTextFont(const TextFontValue& font);

// Pen of a "rect" item's style: 0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot.
Qt::PenStyle BackgroundDashStyle(int style);
