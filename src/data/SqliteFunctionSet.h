#pragma once
// What the files of SQLite's Access functions share: the shape of a registration, the reading
// of argument values as Access reads them, and the three groups of functions (text, numbers,
// dates) that RegisterAccessFunctions puts on a connection.
#include <QDateTime>
#include <QString>

#include <optional>
#include <span>

struct sqlite3_context;
struct sqlite3_value;

namespace sqlite_access {

using SqlFunction = void (*)(sqlite3_context*, int, sqlite3_value**);

struct Function {
    const char* name;
    int argc;
    SqlFunction fn;
    bool deterministic;
};

std::span<const Function> TextFunctions();
std::span<const Function> NumberFunctions();
std::span<const Function> DateFunctions();

bool IsNull(sqlite3_value* v);
// True when any of the arguments is Null; the result is then Null, as in Access.
bool AnyNull(int argc, sqlite3_value** argv);
// A value as Access's CStr writes it: doubles with up to 15 significant digits and no ".0".
QString ValueText(sqlite3_value* v);
void ResultText(sqlite3_context* ctx, const QString& s);
// A number as Access reads it from a value: numbers as they are, texts by their leading number
// (none: not a number).
std::optional<double> ValueNumber(sqlite3_value* v);
// Integers stay integers (whole values within 64 bits); everything else is a double.
void ResultNumber(sqlite3_context* ctx, double value);
// Fail the statement with Access's messages for a bad argument or one of the wrong type, naming
// the function.
void ResultInvalid(sqlite3_context* ctx, const char* function);
void ResultTypeMismatch(sqlite3_context* ctx, const char* function);

// Half to even, as Access rounds in Round, CInt and CLng.
double RoundHalfEven(double value, int digits = 0);

// A date and time as Access reads it from a value: texts "yyyy-mm-dd[ hh:mm[:ss]]" (also with
// "/" or a "T"), "hh:mm[:ss]" (on 1899-12-30, Access's day zero) and day numbers counted from
// that day. Nothing for anything else.
std::optional<QDateTime> ValueDate(sqlite3_value* v);
// "yyyy-MM-dd", with " HH:mm:ss" unless the time is midnight.
QString DateText(const QDateTime& value);
// Access's Format of a number with a pattern of 0 # , . % and literal text.
QString FormatNumber(double value, const QString& pattern);

} // namespace sqlite_access
