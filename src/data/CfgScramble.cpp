#include "data/CfgScramble.h"

namespace {

// Shift of code unit i in a text of n units; unscrambling applies its negation.
qint64 Shift(qsizetype i, qsizetype n, int k) {
    return (3 * qint64(k) * i) % 7 - n % 20;
}

QString ApplyShift(const QString& text, int k, int sign) {
    QString out(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qint64 unit = text[i].unicode() + sign * Shift(i, text.size(), k);
        out[i] = QChar(static_cast<char16_t>(unit & 0xFFFF));
    }
    return out;
}

} // namespace

QString ScrambleCfgText(const QString& text, int k) {
    return ApplyShift(text, k, +1);
}

QString UnscrambleCfgText(const QString& text, int k) {
    return ApplyShift(text, k, -1);
}
