#include "data/SqlRewritePasses.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>

namespace AccessSql {

// #2018-12-28#, #2018/12/28 10:30#, #12/28/2018# (month first, as Access reads it) become the
// texts the account set stores dates as. Anything else between # is left for the engine.
Tokens rewriteDateLiterals(const Tokens& t) {
    const int n = int(t.size());
    Tokens out;
    for (int i = 0; i < n; ++i) {
        if (!isPunct(t[i], u"#")) {
            out.push_back(t[i]);
            continue;
        }
        int close = i + 1;
        while (close < n && close - i < 16 && !isPunct(t[close], u"#") &&
               (t[close].kind == Tk::Number || t[close].kind == Tk::Space ||
                t[close].kind == Tk::Punct || isOneOf(t[close], {u"am", u"pm"})))
            ++close;
        if (close >= n || !isPunct(t[close], u"#")) {
            out.push_back(t[i]);
            continue;
        }
        static const QRegularExpression shape(QStringLiteral(
            R"(^\s*(\d{1,4})([-/])(\d{1,2})[-/](\d{1,4})(?:\s+(\d{1,2}):(\d{2})(?::(\d{2}))?\s*([AaPp][Mm])?)?\s*$)"));
        const QRegularExpressionMatch m = shape.match(joinText(t, i + 1, close));
        if (!m.hasMatch()) {
            out.push_back(t[i]);
            continue;
        }
        const bool yearFirst = m.captured(1).size() == 4;
        const int year = (yearFirst ? m.captured(1) : m.captured(4)).toInt();
        const int month = (yearFirst ? m.captured(3) : m.captured(1)).toInt();
        const int day = (yearFirst ? m.captured(4) : m.captured(3)).toInt();
        int hour = m.captured(5).toInt();
        const QString half = m.captured(8).toLower();
        if (half == QLatin1String("pm") && hour < 12)
            hour += 12;
        else if (half == QLatin1String("am") && hour == 12)
            hour = 0;
        const QDate date(year, month, day);
        const QTime time(hour, m.captured(6).toInt(), m.captured(7).toInt());
        if (!date.isValid() || !time.isValid()) {
            out.push_back(t[i]);
            continue;
        }
        QString text = date.toString(QStringLiteral("yyyy-MM-dd"));
        if (!m.captured(5).isEmpty())
            text += time.toString(QStringLiteral(" HH:mm:ss"));
        out.push_back({Tk::Text, '\'' + text + '\''});
        i = close;
    }
    return out;
}
} // namespace AccessSql
