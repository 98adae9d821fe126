#include "platform/ValueGrammars.h"

#include "platform/AppMessage.h"

#include <QVarLengthArray>

#include <climits>
#include <cstdlib>

namespace {

// The caption of the standard message box: the application's name.
const QString& MessageCaption() {
    static const QString caption = QStringLiteral("Vemo");
    return caption;
}

template <typename Char> bool IsBlank(Char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

template <typename Char> int ParseInteger(const Char* p, const Char* end) {
    while (p != end && IsBlank(*p))
        ++p;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    // Accumulate in 64 bits and stop growing once past the int range, so that a long run of
    // digits cannot overflow.
    constexpr long long limit = static_cast<long long>(INT_MAX) + 1;
    long long value = 0;
    for (; p != end && *p >= '0' && *p <= '9'; ++p) {
        if (value <= limit)
            value = value * 10 + (*p - '0');
    }
    if (negative)
        return value >= limit ? INT_MIN : static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

// The parts between the commas; every value of these grammars has only a few.
using Parts = QVarLengthArray<QStringView, 8>;

Parts SplitAtCommas(QStringView text) {
    Parts parts;
    qsizetype start = 0;
    for (;;) {
        const qsizetype comma = text.indexOf(u',', start);
        if (comma < 0) {
            parts.append(text.mid(start));
            return parts;
        }
        parts.append(text.mid(start, comma - start));
        start = comma + 1;
    }
}

int LowByte(QStringView part) {
    return ParseIntegerText(part) & 0xFF;
}

} // namespace

int ParseIntegerText(QStringView text) {
    return ParseInteger(text.utf16(), text.utf16() + text.size());
}

int ParseIntegerText(std::string_view text) {
    return ParseInteger(text.data(), text.data() + text.size());
}

RectValue ReadRectText(QStringView text, QString& error) {
    error.clear();
    const Parts parts = SplitAtCommas(text);
    if (parts.size() != 4) {
        error = QStringLiteral("矩形数据格式错误");
        return {};
    }
    return {ParseIntegerText(parts[0]), ParseIntegerText(parts[1]), ParseIntegerText(parts[2]),
            ParseIntegerText(parts[3])};
}

int ReadRgbText(QStringView text, QString& error) {
    error.clear();
    const Parts parts = SplitAtCommas(text);
    if (parts.size() != 3) {
        error = QStringLiteral("RGB颜色格式错误(x,y,z)");
        return 255;
    }
    return LowByte(parts[0]) | LowByte(parts[1]) << 8 | LowByte(parts[2]) << 16;
}

std::uint32_t ReadArgbText(QStringView text, QString& error) {
    error.clear();
    if (text.isEmpty())
        return kOpaqueBlack;
    const Parts parts = SplitAtCommas(text);
    if (parts.size() != 3 && parts.size() != 4) {
        error = QStringLiteral("Color颜色格式错误(a,x,y,z)");
        return kOpaqueBlack;
    }
    const qsizetype first = parts.size() - 3;
    const std::uint32_t alpha = first == 0 ? 255u : static_cast<std::uint32_t>(LowByte(parts[0]));
    return alpha << 24 | static_cast<std::uint32_t>(LowByte(parts[first])) << 16 |
           static_cast<std::uint32_t>(LowByte(parts[first + 1])) << 8 |
           static_cast<std::uint32_t>(LowByte(parts[first + 2]));
}

void ReportGrammarError(const QString& error) {
    if (!error.isEmpty())
        ShowAppMessage(error, MessageCaption());
}

RectValue ParseRectText(QStringView text) {
    QString error;
    const RectValue value = ReadRectText(text, error);
    ReportGrammarError(error);
    return value;
}

int ParseRgbText(QStringView text) {
    QString error;
    const int value = ReadRgbText(text, error);
    ReportGrammarError(error);
    return value;
}

std::uint32_t ParseArgbText(QStringView text) {
    QString error;
    const std::uint32_t value = ReadArgbText(text, error);
    ReportGrammarError(error);
    return value;
}

FontValue ParseFontText(QStringView text) {
    FontValue font;
    if (text.isEmpty())
        return font;
    const Parts parts = SplitAtCommas(text);
    font.useDialogDefault = false;
    font.size = ParseIntegerText(parts[0]);
    if (parts.size() >= 2)
        font.face = parts[1].toString();
    return font;
}

QFont MakeControlFont(const FontValue& value, const QFont& dialogDefault) {
    if (value.useDialogDefault)
        return dialogDefault;
    QFont font(dialogDefault);
    if (!value.face.isEmpty())
        font.setFamily(value.face);
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    // A negative height names the glyph height directly; as the cell and glyph heights are
    // taken to be equal, only the magnitude matters.
    const int pixels = std::abs(value.PixelHeight());
    if (pixels > 0)
        font.setPixelSize(pixels);
    return font;
}

TextFontValue ParseTextFontText(QStringView text) {
    const Parts parts = SplitAtCommas(text);
    TextFontValue font;
    font.height = ParseIntegerText(parts[0]);
    if (parts.size() >= 2)
        font.width = ParseIntegerText(parts[1]);
    if (parts.size() >= 3 && !parts[2].isEmpty())
        font.face = parts[2].toString();
    return font;
}

QFont MakeTextFont(const TextFontValue& value) {
    QFont font(value.face);
    font.setWeight(QFont::Thin);
    const int height = std::abs(value.height);
    if (height > 0) {
        font.setPixelSize(height);
        const int width = std::abs(value.width);
        if (width > 0) {
            const long long stretch = (200LL * width + height / 2) / height;
            font.setStretch(static_cast<int>(qBound(1LL, stretch, 4000LL)));
        }
    }
    return font;
}

Qt::PenStyle BackgroundDashStyle(int style) {
    switch (style) {
    case 1:
        return Qt::DashLine;
    case 2:
        return Qt::DotLine;
    case 3:
        return Qt::DashDotLine;
    case 4:
        return Qt::DashDotDotLine;
    default:
        return Qt::SolidLine;
    }
}
