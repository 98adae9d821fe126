#include "net/UrlCodec.h"

#include "platform/Gbk.h"

#include <QFile>

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

QString UrlEncode(const QString& text) {
    static const char kDigits[] = "0123456789abcdef";
    const QByteArray bytes = text.toUtf8();
    QString encoded;
    encoded.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        encoded.append(QLatin1Char('%'));
        encoded.append(QLatin1Char(kDigits[byte >> 4]));
        encoded.append(QLatin1Char(kDigits[byte & 0x0F]));
    }
    return encoded;
}

QString UrlDecode(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    QByteArray decoded;
    decoded.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '%' && i + 2 < bytes.size() && HexValue(bytes[i + 1]) >= 0 &&
            HexValue(bytes[i + 2]) >= 0) {
            decoded.append(static_cast<char>(HexValue(bytes[i + 1]) * 16 + HexValue(bytes[i + 2])));
            i += 2;
        } else {
            decoded.append(bytes[i]);
        }
    }
    return QString::fromUtf8(decoded);
}

QString ReadGbkTextFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    if (bytes.size() <= 1)
        return {};
    return platform::DecodeGbk(bytes);
}
