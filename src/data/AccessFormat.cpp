#include "data/AccessFormat.h"

#include <QRegularExpression>

QString AccessNamedFormat(const QString& name) {
    static const struct {
        const char* name;
        const char* pattern;
    } names[] = {{"general date", ""},        {"long date", "yyyy\"年\"m\"月\"d\"日\""},
                 {"medium date", "yy-mm-dd"}, {"short date", "yyyy-mm-dd"},
                 {"long time", "hh:nn:ss"},   {"medium time", "hh:nn AM/PM"},
                 {"short time", "hh:nn"},     {"fixed", "0.00"},
                 {"standard", "#,##0.00"},    {"percent", "0.00%"},
                 {"currency", "¥#,##0.00"},   {"general number", ""}};
    const QString key = name.trimmed().toLower();
    for (const auto& n : names)
        if (key == QLatin1String(n.name))
            return QString::fromUtf8(n.pattern);
    return name;
}

bool IsAccessDatePattern(const QString& pattern) {
    bool quoted = false;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == u'"')
            quoted = !quoted;
        else if (c == u'\\')
            ++i;
        else if (!quoted && QStringView(u"yYqQmMdDhHnNsS").contains(c))
            return true;
    }
    return false;
}

void ForEachDatePatternPart(const QString& pattern,
                            const std::function<void(const DatePatternPart&)>& take) {
    static const QString fields = QStringLiteral("yqmdhns");
    bool afterHour = false;
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern[i];
        if (c == u'"') {
            const qsizetype end = pattern.indexOf(u'"', i + 1);
            take({pattern.mid(i + 1, (end < 0 ? pattern.size() : end) - i - 1), {}, 0, false});
            i = end < 0 ? pattern.size() : end + 1;
            continue;
        }
        if (c == u'\\' && i + 1 < pattern.size()) {
            take({QString(pattern[i + 1]), {}, 0, false});
            i += 2;
            continue;
        }
        if (pattern.mid(i, 5).compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0) {
            take({{}, u'a', 1, afterHour});
            i += 5;
            continue;
        }
        const QChar lower = c.toLower();
        qsizetype run = 1;
        while (i + run < pattern.size() && pattern[i + run].toLower() == lower)
            ++run;
        if (fields.contains(lower))
            take({{}, lower, run, afterHour});
        else
            take({pattern.mid(i, run), {}, 0, false});
        if (lower == u'h')
            afterHour = true;
        else if (lower.isLetter())
            afterHour = false;
        i += run;
    }
}

namespace {

// Whole digits, optionally grouped, then forced decimals: 0, 000, #,##0, 0.00, #,##0.00.
std::optional<QString> numberTemplate(const QString& pattern) {
    static const QRegularExpression shape(QStringLiteral("^([#0,]*)(\\.(0*))?$"));
    const QRegularExpressionMatch m = shape.match(pattern);
    if (!m.hasMatch() || pattern.isEmpty())
        return std::nullopt;
    const QString whole = m.captured(1);
    // Access forces as many digits as the pattern has zeros after its first one.
    const qsizetype firstZero = whole.indexOf(u'0');
    const int forced = firstZero < 0 ? 0 : int(whole.mid(firstZero).count(u'0'));
    if (firstZero >= 0 && whole.mid(firstZero).contains(u'#'))
        return std::nullopt;
    const bool grouped = whole.contains(u',');
    QString digits;
    for (int position = 1; position <= 15; ++position) {
        digits.prepend(position <= forced ? u'0' : u'9');
        if (grouped && position % 3 == 0 && position < 15)
            digits.prepend(u',');
    }
    return QStringLiteral("FM") + digits +
           (m.hasCaptured(2) ? QStringLiteral(".") + m.captured(3) : QString());
}

// Literal text in a to_char template: quoted, so that no letter of it is read as a field.
QString literal(const QString& text) {
    if (text.isEmpty())
        return {};
    QString out = QStringLiteral("\"");
    for (QChar c : text)
        out += c == u'"' || c == u'\\' ? QString(u'\\') + c : QString(c);
    return out + u'"';
}

std::optional<QString> dateTemplate(const QString& pattern) {
    const bool twelveHour = pattern.contains(QLatin1String("AM/PM"), Qt::CaseInsensitive);
    QString out;
    QString text; // literal text waiting to be quoted
    bool named = false;
    ForEachDatePatternPart(pattern, [&](const DatePatternPart& part) {
        if (part.field.isNull()) {
            text += part.literal;
            return;
        }
        const QChar f = part.field;
        const bool one = part.run == 1;
        QString field;
        if (f == u'a')
            field = QStringLiteral("AM");
        else if (f == u'y')
            field = one ? QStringLiteral("FMDDD")
                        : (part.run >= 3 ? QStringLiteral("YYYY") : QStringLiteral("YY"));
        else if (f == u'q')
            field = QStringLiteral("Q");
        else if ((f == u'm' && part.afterHour && part.run <= 2) || f == u'n')
            field = one ? QStringLiteral("FMMI") : QStringLiteral("MI");
        else if (f == u'm' && part.run <= 2)
            field = one ? QStringLiteral("FMMM") : QStringLiteral("MM");
        else if (f == u'd' && part.run <= 2)
            field = one ? QStringLiteral("FMDD") : QStringLiteral("DD");
        else if (f == u'h')
            field = (one ? QStringLiteral("FM") : QString()) +
                    (twelveHour ? QStringLiteral("HH12") : QStringLiteral("HH24"));
        else if (f == u's')
            field = one ? QStringLiteral("FMSS") : QStringLiteral("SS");
        else
            named = true; // month and day names are Chinese in Access's output
        out += literal(text) + field;
        text.clear();
    });
    if (named)
        return std::nullopt;
    return out + literal(text);
}

} // namespace

std::optional<ToCharTemplate> AccessFormatToChar(const QString& pattern) {
    const QString resolved = AccessNamedFormat(pattern);
    if (resolved.isEmpty())
        return std::nullopt;
    if (IsAccessDatePattern(resolved)) {
        const std::optional<QString> t = dateTemplate(resolved);
        return t ? std::optional<ToCharTemplate>({*t, true}) : std::nullopt;
    }
    const std::optional<QString> t = numberTemplate(resolved);
    return t ? std::optional<ToCharTemplate>({*t, false}) : std::nullopt;
}

double AccessVal(QString text) {
    text.remove(QLatin1Char(' ')).remove(QLatin1Char('\t'));
    if (text.startsWith(QLatin1String("&H"), Qt::CaseInsensitive) ||
        text.startsWith(QLatin1String("&O"), Qt::CaseInsensitive)) {
        const int base = text[1].toUpper() == QLatin1Char('H') ? 16 : 8;
        const QString digits = QStringLiteral("0123456789abcdef").left(base);
        qsizetype end = 2;
        while (end < text.size() && digits.contains(text[end].toLower()))
            ++end;
        return double(text.mid(2, end - 2).toLongLong(nullptr, base));
    }
    qsizetype end = 0;
    if (end < text.size() && (text[end] == u'-' || text[end] == u'+'))
        ++end;
    bool dot = false;
    bool digits = false;
    while (end < text.size() && (text[end].isDigit() || (text[end] == u'.' && !dot))) {
        dot = dot || text[end] == u'.';
        digits = digits || text[end].isDigit();
        ++end;
    }
    if (digits && end < text.size() && (text[end] == u'e' || text[end] == u'E')) {
        qsizetype exp = end + 1;
        if (exp < text.size() && (text[exp] == u'-' || text[exp] == u'+'))
            ++exp;
        if (exp < text.size() && text[exp].isDigit()) {
            end = exp;
            while (end < text.size() && text[end].isDigit())
                ++end;
        }
    }
    return digits ? text.left(end).toDouble() : 0.0;
}
