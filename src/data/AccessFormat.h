#pragma once
// Access's Format patterns and its reading of numbers in texts, shared by the local file's
// functions and the translation for PostgreSQL.
#include <QString>

#include <functional>
#include <optional>

// The pattern a named format stands for ("Short Date" → "yyyy-mm-dd", "Fixed" → "0.00", ...);
// an empty pattern for the general ones, and the name itself when it names none.
QString AccessNamedFormat(const QString& name);

// Whether the pattern formats dates (it has y q m d h n s outside quotes).
bool IsAccessDatePattern(const QString& pattern);

// A PostgreSQL to_char template that writes what Access's Format writes with `pattern`, and
// whether it formats a date; null when there is none that gives the same text (sections,
// percent, optional decimals, month and day names).
struct ToCharTemplate {
    QString text;
    bool date = false;
};
std::optional<ToCharTemplate> AccessFormatToChar(const QString& pattern);

// One piece of an Access date pattern: literal text (quoted, \escaped or any character that is
// no field), or a field letter in lower case ('a' for AM/PM) written `run` times. `afterHour`:
// the field follows an hour, where "m" and "mm" mean minutes, as Access reads them.
struct DatePatternPart {
    QString literal;
    QChar field;
    qsizetype run = 0;
    bool afterHour = false;
};
void ForEachDatePatternPart(const QString& pattern,
                            const std::function<void(const DatePatternPart&)>& take);

// Access's Val: the number at the start of a text, blanks anywhere ignored, up to the first
// character that cannot continue it; "&H" and "&O" read hexadecimal and octal. No number: 0.
double AccessVal(QString text);
