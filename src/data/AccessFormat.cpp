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
    bool afterHour = false;
    auto field = [&](const QString& f) {
        out += literal(text) + f;
        text.clear();
    };
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern[i];
        if (c == u'"') {
            const qsizetype end = pattern.indexOf(u'"', i + 1);
            text += pattern.mid(i + 1, (end < 0 ? pattern.size() : end) - i - 1);
            i = end < 0 ? pattern.size() : end + 1;
            continue;
        }
        if (c == u'\\' && i + 1 < pattern.size()) {
            text += pattern[i + 1];
            i += 2;
            continue;
        }
        if (pattern.mid(i, 5).compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0) {
            field(QStringLiteral("AM"));
            i += 5;
            continue;
        }
        const QChar lower = c.toLower();
        qsizetype run = 1;
        while (i + run < pattern.size() && pattern[i + run].toLower() == lower)
            ++run;
        const bool one = run == 1;
        if (lower == u'y' && run != 1) {
            field(run >= 3 ? QStringLiteral("YYYY") : QStringLiteral("YY"));
        } else if (lower == u'y') {
            field(QStringLiteral("FMDDD"));
        } else if (lower == u'q') {
            field(QStringLiteral("Q"));
        } else if ((lower == u'm' && afterHour && run <= 2) || lower == u'n') {
            field(one ? QStringLiteral("FMMI") : QStringLiteral("MI"));
        } else if (lower == u'm' && run <= 2) {
            field(one ? QStringLiteral("FMMM") : QStringLiteral("MM"));
        } else if (lower == u'd' && run <= 2) {
            field(one ? QStringLiteral("FMDD") : QStringLiteral("DD"));
        } else if (lower == u'h') {
            const QString hour = twelveHour ? QStringLiteral("HH12") : QStringLiteral("HH24");
            field(one ? QStringLiteral("FM") + hour : hour);
        } else if (lower == u's') {
            field(one ? QStringLiteral("FMSS") : QStringLiteral("SS"));
        } else if (lower == u'm' || lower == u'd') {
            return std::nullopt; // month and day names are Chinese in Access's output
        } else {
            text += pattern.mid(i, run);
        }
        if (lower == u'h')
            afterHour = true;
        else if (lower.isLetter())
            afterHour = false;
        i += run;
    }
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
