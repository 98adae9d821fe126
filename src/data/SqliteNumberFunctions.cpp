// Access's number functions and operators for SQLite: Int and Fix, Sgn, Sqr, Atn, Log, Round
// (half to even), the conversions CInt, CLng, CDbl, CBool, CVar and Val, and the operators that
// SQLite spells differently or computes otherwise (Mod, \, ^ and / on whole numbers).
#include "data/AccessFormat.h"
#include "data/SqliteFunctionSet.h"

#include <QStringList>

#include <sqlite3.h>

#include <cfenv>
#include <cmath>
#include <limits>

namespace sqlite_access {

std::optional<double> ValueNumber(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return double(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
        return sqlite3_value_double(v);
    case SQLITE_NULL:
        return std::nullopt;
    default: {
        bool ok = false;
        const double value = ValueText(v).trimmed().toDouble(&ok);
        return ok ? std::optional<double>(value) : std::nullopt;
    }
    }
}

void ResultNumber(sqlite3_context* ctx, double value) {
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 9.0e15)
        sqlite3_result_int64(ctx, sqlite3_int64(value));
    else
        sqlite3_result_double(ctx, value);
}

double RoundHalfEven(double value, int digits) {
    const double scale = std::pow(10.0, digits);
    const double scaled = value * scale;
    // The product of a decimal text and its scale lands a hair off .5; read it back at 15
    // significant digits first, as the decimal value it stands for.
    const double exact = QString::number(scaled, 'g', 15).toDouble();
    const int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(exact);
    std::fesetround(mode);
    return rounded / scale;
}

namespace {

// Splits a Format pattern at ";" outside quotes: the sections for positive, negative and zero.
QStringList sections(const QString& pattern) {
    QStringList out{QString()};
    bool quoted = false;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c == u'"')
            quoted = !quoted;
        if (c == u'\\' && i + 1 < pattern.size()) {
            out.last() += c;
            out.last() += pattern[++i];
            continue;
        }
        if (c == u';' && !quoted)
            out.append(QString());
        else
            out.last() += c;
    }
    return out;
}

// Literal text of a pattern piece: quotes and backslashes removed.
QString literal(const QString& piece) {
    QString out;
    for (qsizetype i = 0; i < piece.size(); ++i) {
        if (piece[i] == u'"')
            continue;
        if (piece[i] == u'\\' && i + 1 < piece.size())
            ++i;
        out += piece[i];
    }
    return out;
}

QString formatSection(double value, const QString& section, bool withSign) {
    // The digits part runs from the first to the last of 0 # , . outside quotes.
    qsizetype first = -1;
    qsizetype last = -1;
    bool percent = false;
    bool quoted = false;
    for (qsizetype i = 0; i < section.size(); ++i) {
        const QChar c = section[i];
        if (c == u'"') {
            quoted = !quoted;
            continue;
        }
        if (quoted)
            continue;
        if (c == u'\\') {
            ++i;
            continue;
        }
        if (c == u'%')
            percent = true;
        if (c == u'0' || c == u'#' || ((c == u',' || c == u'.') && first >= 0)) {
            if (first < 0)
                first = i;
            last = i;
        } else if (c == u'.' && first < 0) {
            first = last = i;
        }
    }
    if (percent)
        value *= 100;
    if (first < 0)
        return literal(section);
    const QString digits = section.mid(first, last - first + 1);
    const qsizetype dot = digits.indexOf(u'.');
    const QString whole = dot < 0 ? digits : digits.left(dot);
    const QString fraction = dot < 0 ? QString() : digits.mid(dot + 1);
    const int minWhole = int(whole.count(u'0'));
    const bool grouped = whole.contains(u',');
    const int maxFraction = int(fraction.count(u'0') + fraction.count(u'#'));
    const int minFraction = int(fraction.count(u'0'));

    // Format rounds half away from zero.
    const double scale = std::pow(10.0, maxFraction);
    const double scaled = QString::number(std::fabs(value) * scale, 'g', 15).toDouble();
    const double rounded = std::round(scaled);
    QString text = QString::number(rounded, 'f', 0);
    while (text.size() <= maxFraction)
        text.prepend(u'0');
    QString intPart = text.left(text.size() - maxFraction);
    QString fracPart = text.right(maxFraction);
    while (fracPart.size() > minFraction && fracPart.endsWith(u'0'))
        fracPart.chop(1);
    qsizetype zeros = 0;
    while (zeros < intPart.size() && intPart[zeros] == u'0')
        ++zeros;
    intPart.remove(0, zeros);
    while (intPart.size() < minWhole)
        intPart.prepend(u'0');
    if (grouped)
        for (qsizetype at = intPart.size() - 3; at > 0; at -= 3)
            intPart.insert(at, u',');
    QString number = intPart;
    if (dot >= 0)
        number += u'.' + fracPart;
    const bool negative = withSign && value < 0 && rounded != 0;
    return literal(section.left(first)) + (negative ? QStringLiteral("-") : QString()) + number +
           literal(section.mid(last + 1));
}

} // namespace

QString FormatNumber(double value, const QString& pattern) {
    const QStringList parts = sections(pattern);
    if (value == 0 && parts.size() >= 3 && !parts[2].isEmpty())
        return formatSection(value, parts[2], false);
    if (value < 0 && parts.size() >= 2 && !parts[1].isEmpty())
        return formatSection(-value, parts[1], false);
    return formatSection(value, parts[0], true);
}

} // namespace sqlite_access

namespace {

using namespace sqlite_access;

// Runs `f` on the number of argument 0: Null gives Null, a text that is no number an error.
template <typename F>
void unary(sqlite3_context* ctx, sqlite3_value** argv, const char* name, F f) {
    if (IsNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    const std::optional<double> x = ValueNumber(argv[0]);
    if (!x) {
        ResultTypeMismatch(ctx, name);
        return;
    }
    f(*x);
}

void intFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    unary(ctx, argv, "Int", [ctx](double x) { ResultNumber(ctx, std::floor(x)); });
}

void fixFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    unary(ctx, argv, "Fix", [ctx](double x) { ResultNumber(ctx, std::trunc(x)); });
}

void sgnFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    unary(ctx, argv, "Sgn", [ctx](double x) { sqlite3_result_int(ctx, (x > 0) - (x < 0)); });
}

void sqrFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    unary(ctx, argv, "Sqr", [ctx](double x) {
        if (x < 0)
            ResultInvalid(ctx, "Sqr");
        else
            ResultNumber(ctx, std::sqrt(x));
    });
}

void atnFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    unary(ctx, argv, "Atn", [ctx](double x) { sqlite3_result_double(ctx, std::atan(x)); });
}

// Access's Log is the natural logarithm.
void logFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    unary(ctx, argv, "Log", [ctx](double x) {
        if (x <= 0)
            ResultInvalid(ctx, "Log");
        else
            sqlite3_result_double(ctx, std::log(x));
    });
}

void roundFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    const int digits = argc == 2 ? int(sqlite3_value_int64(argv[1])) : 0;
    if (argc == 2 && IsNull(argv[1])) {
        sqlite3_result_null(ctx);
        return;
    }
    if (digits < 0 || digits > 15) {
        ResultInvalid(ctx, "Round");
        return;
    }
    unary(ctx, argv, "Round",
          [ctx, digits](double x) { ResultNumber(ctx, RoundHalfEven(x, digits)); });
}

// CInt and CLng round half to even and refuse values outside their range.
template <sqlite3_int64 Low, sqlite3_int64 High>
void wholeFn(sqlite3_context* ctx, sqlite3_value** argv, const char* name) {
    unary(ctx, argv, name, [ctx](double x) {
        const double r = RoundHalfEven(x);
        if (r < double(Low) || r > double(High))
            sqlite3_result_error(ctx, "溢出", -1);
        else
            sqlite3_result_int64(ctx, sqlite3_int64(r));
    });
}

void cintFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    wholeFn<-32768, 32767>(ctx, argv, "CInt");
}

void clngFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    wholeFn<-2147483648LL, 2147483647LL>(ctx, argv, "CLng");
}

void cdblFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    unary(ctx, argv, "CDbl", [ctx](double x) { sqlite3_result_double(ctx, x); });
}

// CBool: True is -1. The texts "True" and "False" are read as themselves.
void cboolFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString text = ValueText(argv[0]).trimmed();
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
        sqlite3_result_int(ctx, -1);
        return;
    }
    if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    unary(ctx, argv, "CBool", [ctx](double x) { sqlite3_result_int(ctx, x != 0 ? -1 : 0); });
}

void cvarFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_value(ctx, argv[0]);
}

void valFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0])) {
        sqlite3_result_null(ctx);
        return;
    }
    ResultNumber(ctx, AccessVal(ValueText(argv[0])));
}

// The operators, for operands already known not to be Null-free: Null gives Null.
bool twoNumbers(sqlite3_context* ctx, sqlite3_value** argv, const char* name, double& a,
                double& b) {
    if (IsNull(argv[0]) || IsNull(argv[1])) {
        sqlite3_result_null(ctx);
        return false;
    }
    const std::optional<double> x = ValueNumber(argv[0]);
    const std::optional<double> y = ValueNumber(argv[1]);
    if (!x || !y) {
        ResultTypeMismatch(ctx, name);
        return false;
    }
    a = *x;
    b = *y;
    return true;
}

// The whole-number operands of Mod and \: both rounded half to even, the divisor not zero.
bool wholeOperands(sqlite3_context* ctx, sqlite3_value** argv, const char* name, double& x,
                   double& y) {
    if (!twoNumbers(ctx, argv, name, x, y))
        return false;
    x = RoundHalfEven(x);
    y = RoundHalfEven(y);
    if (y == 0) {
        sqlite3_result_error(ctx, "除数为零", -1);
        return false;
    }
    return true;
}

// a Mod b: the remainder with the sign of a.
void modFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double x = 0;
    double y = 0;
    if (wholeOperands(ctx, argv, "Mod", x, y))
        ResultNumber(ctx, std::fmod(x, y));
}

// a \ b: the quotient truncated toward zero.
void integerDivideFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double x = 0;
    double y = 0;
    if (wholeOperands(ctx, argv, "\\", x, y))
        ResultNumber(ctx, std::trunc(x / y));
}

// a / b: always a division of decimals (7 / 2 is 3.5).
void divideFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double a = 0;
    double b = 0;
    if (!twoNumbers(ctx, argv, "/", a, b))
        return;
    if (b == 0) {
        sqlite3_result_error(ctx, "除数为零", -1);
        return;
    }
    ResultNumber(ctx, a / b);
}

void powerFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    double a = 0;
    double b = 0;
    if (!twoNumbers(ctx, argv, "^", a, b))
        return;
    const double r = std::pow(a, b);
    if (!std::isfinite(r))
        ResultInvalid(ctx, "^");
    else
        ResultNumber(ctx, r);
}

constexpr Function kNumberFunctions[] = {
    {"int", 1, intFn, true},       {"fix", 1, fixFn, true},
    {"sgn", 1, sgnFn, true},       {"sqr", 1, sqrFn, true},
    {"atn", 1, atnFn, true},       {"log", 1, logFn, true},
    {"round", 1, roundFn, true},   {"round", 2, roundFn, true},
    {"cint", 1, cintFn, true},     {"clng", 1, clngFn, true},
    {"cdbl", 1, cdblFn, true},     {"cbool", 1, cboolFn, true},
    {"cvar", 1, cvarFn, true},     {"val", 1, valFn, true},
    {"zv_mod", 2, modFn, true},    {"zv_intdiv", 2, integerDivideFn, true},
    {"zv_div", 2, divideFn, true}, {"zv_pow", 2, powerFn, true},
};

} // namespace

std::span<const sqlite_access::Function> sqlite_access::NumberFunctions() {
    return kNumberFunctions;
}
