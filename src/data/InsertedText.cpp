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

QString SealSqlLiteralText(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\''), QLatin1String("''"));
    return SealInsertedText(escaped);
}

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

qsizetype SealedTextEnd(QStringView text, qsizetype at) {
    if (at >= text.size() || text[at] != QChar(kOpen))
        return -1;
    qsizetype end = at + 1;
    while (end < text.size() && HexValue(text[end].unicode()) >= 0)
        ++end;
    if (end >= text.size() || text[end] != QChar(kClose) || (end - at - 1) % 4 != 0)
        return -1;
    return end + 1;
}

QString OpenInsertedTexts(const QString& sql) {
    qsizetype open = sql.indexOf(QChar(kOpen));
    if (open < 0)
        return sql;
    QString out;
    out.reserve(sql.size());
    qsizetype copied = 0;
    while (open >= 0) {
        const qsizetype end = SealedTextEnd(sql, open);
        if (end < 0) {
            // Not one of ours: keep the opening character and look further on.
            open = sql.indexOf(QChar(kOpen), open + 1);
            continue;
        }
        out.append(QStringView(sql).sliced(copied, open - copied));
        for (qsizetype at = open + 1; at + 1 < end; at += 4) {
            int unit = 0;
            for (qsizetype k = 0; k < 4; ++k)
                unit = unit * 16 + HexValue(sql.at(at + k).unicode());
            out.append(QChar(char16_t(unit)));
        }
        copied = end;
        open = sql.indexOf(QChar(kOpen), copied);
    }
    out.append(QStringView(sql).sliced(copied));
    return out;
}
