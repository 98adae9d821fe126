#include "print/Barcodes.h"

#include <QPainter>
#include <QRect>

#include <qrencode.h>

#include <array>
#include <memory>

namespace {

// Bar and space widths of every Code 128 symbol value (ISO/IEC 15417), bars first; the stop
// symbol (106) has seven elements.
constexpr std::array<const char*, 107> kPatterns = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312",  "132212",
    "221213", "221312", "231212", "112232", "122132", "122231", "113222", "123122",  "123221",
    "223211", "221132", "221231", "213212", "223112", "312131", "311222", "321122",  "321221",
    "312212", "322112", "322211", "212123", "212321", "232121", "111323", "131123",  "131321",
    "112313", "132113", "132311", "211313", "231113", "231311", "112133", "112331",  "132131",
    "113123", "113321", "133121", "313121", "211331", "231131", "213113", "213311",  "213131",
    "311123", "311321", "331121", "312113", "312311", "332111", "314111", "221411",  "431111",
    "111224", "111422", "121124", "121421", "141122", "141221", "112214", "112412",  "122114",
    "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111",  "111242",
    "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211",  "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113",  "411311",
    "113141", "114131", "311141", "411131", "211412", "211214", "211232", "2331112",
};

constexpr int kStartA = 103;
constexpr int kStartB = 104;
constexpr int kStartC = 105;
constexpr int kFnc1 = 102;
constexpr int kCodeB = 100; // in code set C: continue in code set B
constexpr int kStop = 106;

int DigitValue(QChar c) {
    return c.isDigit() ? c.digitValue() : 0;
}

} // namespace

QString EncodeCode128(const QString& kind, const QString& text) {
    std::vector<int> values;
    if (kind == QLatin1String("128a") || kind == QLatin1String("128b")) {
        const bool setA = kind == QLatin1String("128a");
        values.push_back(setA ? kStartA : kStartB);
        for (const QChar c : text) {
            int value = c.unicode() - 32;
            // Code set A carries the control characters after the capitals.
            if (setA && c.unicode() < 32)
                value = c.unicode() + 64;
            if (value >= 0 && value < 96)
                values.push_back(value);
        }
    } else if (kind == QLatin1String("128c") || kind == QLatin1String("128e")) {
        values.push_back(kStartC);
        if (kind == QLatin1String("128e"))
            values.push_back(kFnc1);
        const qsizetype pairs = text.size() / 2;
        for (qsizetype i = 0; i < pairs; ++i)
            values.push_back(DigitValue(text[2 * i]) * 10 + DigitValue(text[2 * i + 1]));
        if (text.size() % 2) {
            // A lone last digit cannot form a pair: it goes out in code set B, so the symbol
            // reads as exactly the digits of the text.
            values.push_back(kCodeB);
            values.push_back(text.back().unicode() - 32);
        }
    } else {
        return {};
    }
    int check = values.front();
    for (size_t i = 1; i < values.size(); ++i)
        check += int(i) * values[i];
    values.push_back(check % 103);
    values.push_back(kStop);
    QString modules;
    for (const int value : values)
        modules += QLatin1String(kPatterns[size_t(value)]);
    return modules;
}

void DrawBars(QPainter& painter, const QRect& rect, const QString& moduleWidths) {
    painter.fillRect(rect, Qt::white);
    int total = 0;
    for (const QChar c : moduleWidths)
        total += c.digitValue();
    if (total <= 0)
        return;
    const int module = rect.width() / total;
    if (module <= 0)
        return;
    int x = rect.left();
    bool bar = true;
    for (const QChar c : moduleWidths) {
        const int width = c.digitValue() * module;
        if (bar)
            painter.fillRect(QRect(x, rect.top(), width, rect.height()), Qt::black);
        x += width;
        bar = !bar;
    }
}

QImage RenderQr(const QString& text) {
    if (text.isEmpty())
        return {};
    const QByteArray utf8 = text.toUtf8();
    const std::unique_ptr<QRcode, void (*)(QRcode*)> code(
        QRcode_encodeString8bit(utf8.constData(), 0, QR_ECLEVEL_M), &QRcode_free);
    if (!code)
        return {};
    constexpr int kQuiet = 4;
    const int size = code->width + 2 * kQuiet;
    QImage image(size, size, QImage::Format_Mono);
    image.fill(1);
    image.setColor(0, qRgb(0, 0, 0));
    image.setColor(1, qRgb(255, 255, 255));
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x)
            if (code->data[y * code->width + x] & 1)
                image.setPixel(x + kQuiet, y + kQuiet, 0);
    return image;
}

void DrawQr(QPainter& painter, const QRect& rect, const QString& text) {
    const QImage image = RenderQr(text);
    if (image.isNull())
        return;
    // Squares rather than a scaled bitmap: the printer gets sharp edges at any resolution.
    const int size = image.width();
    painter.fillRect(rect, Qt::white);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            if (image.pixelIndex(x, y) != 0)
                continue;
            const int left = rect.left() + x * rect.width() / size;
            const int right = rect.left() + (x + 1) * rect.width() / size;
            const int top = rect.top() + y * rect.height() / size;
            const int bottom = rect.top() + (y + 1) * rect.height() / size;
            painter.fillRect(QRect(left, top, right - left, bottom - top), Qt::black);
        }
    }
}
