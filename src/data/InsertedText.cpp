#include "data/InsertedText.h"

#include "data/SqlTokenizer.h"

#include <QRegularExpression>

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

QString SealKeyList(const QStringList& keys) {
    QStringList sealed;
    sealed.reserve(keys.size());
    for (const QString& key : keys)
        sealed.append(key.isEmpty() ? QStringLiteral("''") : SealInsertedText(key));
    return sealed.join(QLatin1Char(','));
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

QString OpenInsertedTextsWith(QStringView text,
                              const std::function<QString(const QString&)>& write) {
    QString out;
    out.reserve(text.size());
    qsizetype copied = 0;
    for (qsizetype open = text.indexOf(QChar(kOpen)); open >= 0;
         open = text.indexOf(QChar(kOpen), open + 1)) {
        const qsizetype end = SealedTextEnd(text, open);
        if (end < 0)
            continue;
        out.append(text.sliced(copied, open - copied));
        out.append(write(OpenInsertedTexts(text.sliced(open, end - open).toString())));
        copied = end;
        open = end - 1;
    }
    out.append(text.sliced(copied));
    return out;
}

namespace {

QString Doubled(QString text, QChar quote) {
    return text.replace(quote, QString(2, quote));
}

bool IsPlainNumber(const QString& text) {
    static const QRegularExpression number(
        QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    return number.match(text).hasMatch();
}

} // namespace

QString OpenInsertedValuesInSql(const QString& sql) {
    if (!sql.contains(QChar(kOpen)))
        return sql;
    QString out;
    out.reserve(sql.size());
    SqlTokenizer reader(sql);
    SqlToken token;
    while (reader.Next(token)) {
        const QStringView text = reader.Text(token);
        if (!text.contains(QChar(kOpen))) {
            out.append(text);
            continue;
        }
        switch (token.kind) {
        case SqlTokenKind::Text:
            out.append(
                OpenInsertedTextsWith(text, [](const QString& v) { return Doubled(v, u'\''); }));
            break;
        case SqlTokenKind::QuotedName:
            out.append(
                OpenInsertedTextsWith(text, [](const QString& v) { return Doubled(v, u'"'); }));
            break;
        case SqlTokenKind::BracketName:
            out.append(
                OpenInsertedTextsWith(text, [](const QString& v) { return Doubled(v, u']'); }));
            break;
        case SqlTokenKind::Comment:
            out.append(OpenInsertedTextsWith(text, [](QString v) {
                v.replace(QLatin1Char('\n'), QLatin1Char(' '));
                v.replace(QLatin1Char('\r'), QLatin1Char(' '));
                return v.replace(QLatin1String("*/"), QLatin1String("* /"));
            }));
            break;
        default:
            out.append(OpenInsertedTextsWith(text, [](const QString& v) {
                const QString number = v.trimmed();
                if (!IsPlainNumber(number))
                    return QLatin1Char('\'') + Doubled(v, u'\'') + QLatin1Char('\'');
                if (number.front() == u'-' || number.front() == u'+')
                    return QLatin1Char('(') + number + QLatin1Char(')');
                return number;
            }));
            break;
        }
    }
    return out;
}
