// Access's date functions and Format for SQLite. Dates travel as texts "yyyy-MM-dd" or
// "yyyy-MM-dd HH:mm:ss" (local time, as the account set stores them); a bare time stands on
// 1899-12-30, Access's day zero, and day numbers count from that day.
#include "data/AccessFormat.h"
#include "data/SqliteFunctionSet.h"

#include <QLocale>
#include <QRegularExpression>

#include <sqlite3.h>

#include <cmath>

namespace sqlite_access {

namespace {

const QDate kDayZero(1899, 12, 30);

QDateTime localDateTime(const QDate& date, const QTime& time) {
    // Local clock readings without a zone: no daylight-saving gap moves them.
    return QDateTime(date, time, Qt::UTC);
}

} // namespace

std::optional<QDateTime> ValueDate(sqlite3_value* v) {
    const int type = sqlite3_value_type(v);
    if (type == SQLITE_NULL)
        return std::nullopt;
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
        const double serial = sqlite3_value_double(v);
        const double days = std::floor(serial);
        const qint64 seconds = qint64(std::llround((serial - days) * 86400.0));
        return localDateTime(kDayZero.addDays(qint64(days)), QTime(0, 0)).addSecs(seconds);
    }
    static const QRegularExpression dateTime(QStringLiteral(
        R"(^\s*(\d{4})[-/](\d{1,2})[-/](\d{1,2})(?:[ T]+(\d{1,2}):(\d{2})(?::(\d{2})(?:\.\d+)?)?)?\s*$)"));
    static const QRegularExpression timeOnly(
        QStringLiteral(R"(^\s*(\d{1,2}):(\d{2})(?::(\d{2}))?\s*$)"));
    const QString text = ValueText(v);
    if (const auto m = dateTime.match(text); m.hasMatch()) {
        const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
        if (!date.isValid() || !time.isValid())
            return std::nullopt;
        return localDateTime(date, time);
    }
    if (const auto m = timeOnly.match(text); m.hasMatch()) {
        const QTime time(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        if (!time.isValid())
            return std::nullopt;
        return localDateTime(kDayZero, time);
    }
    return std::nullopt;
}

QString DateText(const QDateTime& value) {
    if (value.date() == kDayZero && value.time() != QTime(0, 0))
        return value.time().toString(QStringLiteral("HH:mm:ss"));
    if (value.time() == QTime(0, 0))
        return value.date().toString(QStringLiteral("yyyy-MM-dd"));
    return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace sqlite_access

namespace {

using namespace sqlite_access;

void resultDate(sqlite3_context* ctx, const QDateTime& value) {
    if (!value.isValid() || value.date().year() < 100 || value.date().year() > 9999)
        sqlite3_result_error(ctx, "日期超出范围", -1);
    else
        ResultText(ctx, DateText(value));
}

// The date of argument `index`; false (the result set: Null or an error) when there is none.
bool dateArgument(sqlite3_context* ctx, sqlite3_value** argv, int index, const char* name,
                  QDateTime& out) {
    if (IsNull(argv[index])) {
        sqlite3_result_null(ctx);
        return false;
    }
    const std::optional<QDateTime> value = ValueDate(argv[index]);
    if (!value) {
        ResultTypeMismatch(ctx, name);
        return false;
    }
    out = *value;
    return true;
}

// 1 Sunday (Access's default) to 7 Saturday; 0 means the system's, Sunday here.
int firstDay(int argc, sqlite3_value** argv, int index) {
    const int first =
        argc > index && !IsNull(argv[index]) ? int(sqlite3_value_int64(argv[index])) : 1;
    return first >= 1 && first <= 7 ? first : 1;
}

// Weekday counted from the first day of the week, 1 to 7.
int weekday(const QDate& date, int first) {
    const int sundayBased = date.dayOfWeek() % 7 + 1; // Sunday 1 ... Saturday 7
    return (sundayBased - first + 7) % 7 + 1;
}

int weekOfYear(const QDate& date, int first) {
    const QDate jan1(date.year(), 1, 1);
    return (date.dayOfYear() - 1 + weekday(jan1, first) - 1) / 7 + 1;
}

enum class Interval { Year, Quarter, Month, DayOfYear, Day, Weekday, Week, Hour, Minute, Second };

std::optional<Interval> interval(sqlite3_value* v) {
    const QString name = ValueText(v).trimmed().toLower();
    static const struct {
        const char* name;
        Interval interval;
    } names[] = {{"yyyy", Interval::Year},   {"q", Interval::Quarter}, {"m", Interval::Month},
                 {"y", Interval::DayOfYear}, {"d", Interval::Day},     {"w", Interval::Weekday},
                 {"ww", Interval::Week},     {"h", Interval::Hour},    {"n", Interval::Minute},
                 {"s", Interval::Second}};
    for (const auto& n : names)
        if (name == QLatin1String(n.name))
            return n.interval;
    return std::nullopt;
}

int part(const QDateTime& value, Interval i, int first) {
    const QDate d = value.date();
    switch (i) {
    case Interval::Year:
        return d.year();
    case Interval::Quarter:
        return (d.month() - 1) / 3 + 1;
    case Interval::Month:
        return d.month();
    case Interval::DayOfYear:
        return d.dayOfYear();
    case Interval::Day:
        return d.day();
    case Interval::Weekday:
        return weekday(d, first);
    case Interval::Week:
        return weekOfYear(d, first);
    case Interval::Hour:
        return value.time().hour();
    case Interval::Minute:
        return value.time().minute();
    case Interval::Second:
        return value.time().second();
    }
    return 0;
}

template <Interval I> void partFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    QDateTime value;
    if (dateArgument(ctx, argv, 0, "DatePart", value))
        sqlite3_result_int(ctx, part(value, I, firstDay(argc, argv, 1)));
}

void datePartFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const std::optional<Interval> i = interval(argv[0]);
    if (!i) {
        ResultInvalid(ctx, "DatePart");
        return;
    }
    QDateTime value;
    if (dateArgument(ctx, argv, 1, "DatePart", value))
        sqlite3_result_int(ctx, part(value, *i, firstDay(argc, argv, 2)));
}

void dateAddFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    const std::optional<Interval> i = interval(argv[0]);
    if (!i) {
        ResultInvalid(ctx, "DateAdd");
        return;
    }
    if (IsNull(argv[1])) {
        sqlite3_result_null(ctx);
        return;
    }
    const std::optional<double> number = ValueNumber(argv[1]);
    QDateTime value;
    if (!number) {
        ResultInvalid(ctx, "DateAdd");
        return;
    }
    if (!dateArgument(ctx, argv, 2, "DateAdd", value))
        return;
    const qint64 n = qint64(std::trunc(*number));
    switch (*i) {
    case Interval::Year:
        value = value.addYears(int(n));
        break;
    case Interval::Quarter:
        value = value.addMonths(int(n * 3));
        break;
    case Interval::Month:
        value = value.addMonths(int(n));
        break;
    case Interval::DayOfYear:
    case Interval::Day:
    case Interval::Weekday:
        value = value.addDays(n);
        break;
    case Interval::Week:
        value = value.addDays(n * 7);
        break;
    case Interval::Hour:
        value = value.addSecs(n * 3600);
        break;
    case Interval::Minute:
        value = value.addSecs(n * 60);
        break;
    case Interval::Second:
        value = value.addSecs(n);
        break;
    }
    resultDate(ctx, value);
}

// Seconds from day zero, for the boundaries that DateDiff counts.
qint64 clockSeconds(const QDateTime& value) {
    return kDayZero.daysTo(value.date()) * 86400 + value.time().msecsSinceStartOfDay() / 1000;
}

qint64 floorDiv(qint64 a, qint64 b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// DateDiff counts the boundaries of the interval crossed from the first date to the second.
void dateDiffFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const std::optional<Interval> i = interval(argv[0]);
    if (!i) {
        ResultInvalid(ctx, "DateDiff");
        return;
    }
    QDateTime a;
    QDateTime b;
    if (!dateArgument(ctx, argv, 1, "DateDiff", a) || !dateArgument(ctx, argv, 2, "DateDiff", b))
        return;
    const QDate da = a.date();
    const QDate db = b.date();
    qint64 diff = 0;
    switch (*i) {
    case Interval::Year:
        diff = db.year() - da.year();
        break;
    case Interval::Quarter:
        diff = (db.year() * 4 + (db.month() - 1) / 3) - (da.year() * 4 + (da.month() - 1) / 3);
        break;
    case Interval::Month:
        diff = (db.year() * 12 + db.month()) - (da.year() * 12 + da.month());
        break;
    case Interval::DayOfYear:
    case Interval::Day:
        diff = da.daysTo(db);
        break;
    case Interval::Weekday:
        diff = da.daysTo(db) / 7;
        break;
    case Interval::Week: {
        const int first = firstDay(argc, argv, 3);
        const QDate wa = da.addDays(1 - weekday(da, first));
        const QDate wb = db.addDays(1 - weekday(db, first));
        diff = wa.daysTo(wb) / 7;
        break;
    }
    case Interval::Hour:
        diff = floorDiv(clockSeconds(b), 3600) - floorDiv(clockSeconds(a), 3600);
        break;
    case Interval::Minute:
        diff = floorDiv(clockSeconds(b), 60) - floorDiv(clockSeconds(a), 60);
        break;
    case Interval::Second:
        diff = clockSeconds(b) - clockSeconds(a);
        break;
    }
    sqlite3_result_int64(ctx, diff);
}

// DateSerial(y, m, d): months and days outside their range carry into the next unit; years
// 0 to 29 are 2000 to 2029 and 30 to 99 are 1930 to 1999.
void dateSerialFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (AnyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    qint64 year = sqlite3_value_int64(argv[0]);
    if (year >= 0 && year < 30)
        year += 2000;
    else if (year >= 30 && year < 100)
        year += 1900;
    const qint64 month = sqlite3_value_int64(argv[1]);
    const qint64 day = sqlite3_value_int64(argv[2]);
    if (year < 100 || year > 9999 || qAbs(month) > 120000 || qAbs(day) > 3650000) {
        sqlite3_result_error(ctx, "日期超出范围", -1);
        return;
    }
    const QDate date = QDate(int(year), 1, 1).addMonths(int(month - 1)).addDays(day - 1);
    resultDate(ctx, localDateTime(date, QTime(0, 0)));
}

void timeSerialFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (AnyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    const qint64 seconds = sqlite3_value_int64(argv[0]) * 3600 + sqlite3_value_int64(argv[1]) * 60 +
                           sqlite3_value_int64(argv[2]);
    resultDate(ctx, localDateTime(kDayZero, QTime(0, 0)).addSecs(seconds));
}

void dateValueFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    QDateTime value;
    if (dateArgument(ctx, argv, 0, "DateValue", value))
        resultDate(ctx, localDateTime(value.date(), QTime(0, 0)));
}

void timeValueFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    QDateTime value;
    if (dateArgument(ctx, argv, 0, "TimeValue", value))
        resultDate(ctx, localDateTime(kDayZero, value.time()));
}

void cdateFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    QDateTime value;
    if (dateArgument(ctx, argv, 0, "CDate", value))
        resultDate(ctx, value);
}

void timeFn(sqlite3_context* ctx, int, sqlite3_value**) {
    ResultText(ctx, QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
}

// --- Format ---

// A date pattern: yyyy yy q m mm mmm mmmm d dd ddd dddd h hh n nn s ss AM/PM, "quoted" and
// \escaped literals; "m"/"mm" right after an hour means minutes, as Access reads it.
QString formatDate(const QDateTime& value, const QString& pattern) {
    static const QLocale chinese(QLocale::Chinese, QLocale::China);
    const bool twelveHour = pattern.contains(QLatin1String("AM/PM"), Qt::CaseInsensitive);
    const QDate d = value.date();
    const QTime t = value.time();
    auto two = [](int n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    QString out;
    ForEachDatePatternPart(pattern, [&](const DatePatternPart& part) {
        const QChar f = part.field;
        const qsizetype run = part.run;
        if (f.isNull()) {
            out += part.literal;
        } else if (f == u'a') {
            out += t.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
        } else if (f == u'y') {
            out += run >= 3 ? QString::number(d.year())
                            : (run == 2 ? two(d.year() % 100) : QString::number(d.dayOfYear()));
        } else if (f == u'q') {
            out += QString::number((d.month() - 1) / 3 + 1);
        } else if (f == u'm' && part.afterHour && run <= 2) {
            out += run == 2 ? two(t.minute()) : QString::number(t.minute());
        } else if (f == u'm') {
            out += run >= 4   ? chinese.monthName(d.month(), QLocale::LongFormat)
                   : run == 3 ? chinese.monthName(d.month(), QLocale::ShortFormat)
                   : run == 2 ? two(d.month())
                              : QString::number(d.month());
        } else if (f == u'd') {
            out += run >= 4   ? chinese.dayName(d.dayOfWeek(), QLocale::LongFormat)
                   : run == 3 ? chinese.dayName(d.dayOfWeek(), QLocale::ShortFormat)
                   : run == 2 ? two(d.day())
                              : QString::number(d.day());
        } else if (f == u'h') {
            const int hour = twelveHour ? (t.hour() % 12 == 0 ? 12 : t.hour() % 12) : t.hour();
            out += run >= 2 ? two(hour) : QString::number(hour);
        } else if (f == u'n') {
            out += run >= 2 ? two(t.minute()) : QString::number(t.minute());
        } else if (f == u's') {
            out += run >= 2 ? two(t.second()) : QString::number(t.second());
        }
    });
    return out;
}

void formatFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString name = argc == 2 && !IsNull(argv[1]) ? ValueText(argv[1]) : QString();
    const QString pattern = AccessNamedFormat(name);
    const bool numeric = sqlite3_value_type(argv[0]) == SQLITE_INTEGER ||
                         sqlite3_value_type(argv[0]) == SQLITE_FLOAT;
    if (pattern.isEmpty()) {
        const std::optional<QDateTime> date = numeric ? std::nullopt : ValueDate(argv[0]);
        ResultText(ctx, date ? DateText(*date) : ValueText(argv[0]));
        return;
    }
    if (IsAccessDatePattern(pattern)) {
        const std::optional<QDateTime> date = ValueDate(argv[0]);
        ResultText(ctx, date ? formatDate(*date, pattern) : ValueText(argv[0]));
        return;
    }
    const std::optional<double> number = ValueNumber(argv[0]);
    ResultText(ctx, number ? FormatNumber(*number, pattern) : ValueText(argv[0]));
}

constexpr Function kDateFunctions[] = {
    {"year", 1, partFn<Interval::Year>, true},
    {"month", 1, partFn<Interval::Month>, true},
    {"day", 1, partFn<Interval::Day>, true},
    {"hour", 1, partFn<Interval::Hour>, true},
    {"minute", 1, partFn<Interval::Minute>, true},
    {"second", 1, partFn<Interval::Second>, true},
    {"weekday", 1, partFn<Interval::Weekday>, true},
    {"weekday", 2, partFn<Interval::Weekday>, true},
    {"datepart", 2, datePartFn, true},
    {"datepart", 3, datePartFn, true},
    {"datepart", 4, datePartFn, true},
    {"dateadd", 3, dateAddFn, true},
    {"datediff", 3, dateDiffFn, true},
    {"datediff", 4, dateDiffFn, true},
    {"datediff", 5, dateDiffFn, true},
    {"dateserial", 3, dateSerialFn, true},
    {"timeserial", 3, timeSerialFn, true},
    {"datevalue", 1, dateValueFn, true},
    {"timevalue", 1, timeValueFn, true},
    {"cdate", 1, cdateFn, true},
    {"zv_time", 0, timeFn, false},
    {"format", 1, formatFn, true},
    {"format", 2, formatFn, true},
};

} // namespace

std::span<const sqlite_access::Function> sqlite_access::DateFunctions() {
    return kDateFunctions;
}
