#include "platform/Gbk.h"

#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace platform {
namespace {

// iconv with substitution: `replacement` stands for every input unit the target cannot take,
// as the Windows code-page conversions do, instead of failing the whole file.
QByteArray Iconv(const char* to, const char* from, const QByteArray& input, int unitBytes,
                 const QByteArray& replacement) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        qWarning("no %s converter", to);
        return {};
    }
    QByteArray output;
    QByteArray chunk(4 * input.size() + 16, Qt::Uninitialized);
    char* in = const_cast<char*>(input.constData());
    size_t inLeft = static_cast<size_t>(input.size());
    while (inLeft > 0) {
        char* out = chunk.data();
        size_t outLeft = static_cast<size_t>(chunk.size());
        const size_t rc = iconv(cd, &in, &inLeft, &out, &outLeft);
        const int error = errno;
        output.append(chunk.constData(), chunk.size() - static_cast<qsizetype>(outLeft));
        if (rc != static_cast<size_t>(-1))
            break;
        if (error == E2BIG)
            continue;
        // EILSEQ or a truncated sequence at the end: replace one unit and go on. A UTF-16
        // surrogate pair is one character, so it gets one replacement.
        size_t skip = std::min(inLeft, static_cast<size_t>(unitBytes));
        if (unitBytes == 2 && inLeft >= 4) {
            const auto high = static_cast<unsigned char>(in[1]);
            if (high >= 0xD8 && high <= 0xDB)
                skip = 4;
        }
        in += skip;
        inLeft -= skip;
        output.append(replacement);
    }
    iconv_close(cd);
    return output;
}

} // namespace

QString DecodeGbk(const QByteArray& bytes) {
    const QByteArray utf16 = Iconv("UTF-16LE", "GBK", bytes, 1, QByteArray("\xFD\xFF", 2));
    return QStringDecoder(QStringConverter::Utf16LE)(utf16);
}

QByteArray EncodeGbk(const QString& text) {
    QByteArray utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return Iconv("GBK", "UTF-16LE", utf16, 2, "?");
}

} // namespace platform
