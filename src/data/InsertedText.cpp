#include "data/InsertedText.h"

namespace {

// Private-use characters: no form text or SQL keyword uses them.
constexpr char16_t kOpen = u'\uE000';
constexpr char16_t kClose = u'\uE001';

int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

} // namespace

QString SealInsertedText(const QString& text) {
    if (text.isEmpty())
        return text;
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    QString sealed;
    sealed.reserve(text.size() * 4 + 2);
    sealed.append(QChar(kOpen));
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        for (int shift = 12; shift >= 0; shift -= 4)
            sealed.append(QChar(kDigits[(u >> shift) & 0xF]));
    }
    sealed.append(QChar(kClose));
    return sealed;
}

QString OpenInsertedTexts(const QString& sql) {
    qsizetype open = sql.indexOf(QChar(kOpen));
    if (open < 0)
        return sql;
    QString out;
    out.reserve(sql.size());
    qsizetype copied = 0;
    while (open >= 0) {
        const qsizetype close = sql.indexOf(QChar(kClose), open + 1);
        if (close < 0)
            break;
        const qsizetype digits = close - open - 1;
        bool valid = digits % 4 == 0;
        QString text;
        text.reserve(digits / 4);
        for (qsizetype at = open + 1; valid && at < close; at += 4) {
            int unit = 0;
            for (qsizetype k = 0; k < 4 && valid; ++k) {
                const int v = HexValue(sql.at(at + k).unicode());
                valid = v >= 0;
                unit = unit * 16 + v;
            }
            text.append(QChar(char16_t(unit)));
        }
        if (!valid) {
            // Not one of ours: keep the opening character and look further on.
            open = sql.indexOf(QChar(kOpen), open + 1);
            continue;
        }
        out.append(QStringView(sql).sliced(copied, open - copied));
        out.append(text);
        copied = close + 1;
        open = sql.indexOf(QChar(kOpen), copied);
    }
    out.append(QStringView(sql).sliced(copied));
    return out;
}
