#include "data/SqliteFunctions.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <sqlite3.h>

#include <algorithm>

// Positions and lengths count characters (code points), as SQLite's own instr and substr do.

namespace {

bool isNull(sqlite3_value* v) {
    return sqlite3_value_type(v) == SQLITE_NULL;
}

// A value as Access's CStr writes it: doubles with up to 15 significant digits and no ".0".
QString valueText(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return QString::number(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
        return QString::number(sqlite3_value_double(v), 'g', 15).toUpper();
    default: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
        return QString::fromUtf8(text, sqlite3_value_bytes(v));
    }
    }
}

void resultText(sqlite3_context* ctx, const QString& s) {
    const QByteArray utf8 = s.toUtf8();
    sqlite3_result_text(ctx, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

void cstrFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]))
        sqlite3_result_null(ctx);
    else
        resultText(ctx, valueText(argv[0]));
}

// SQLite's lower() and upper() only know ASCII.
void lcaseFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]))
        sqlite3_result_null(ctx);
    else
        resultText(ctx, valueText(argv[0]).toLower());
}

void ucaseFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]))
        sqlite3_result_null(ctx);
    else
        resultText(ctx, valueText(argv[0]).toUpper());
}

void lenFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (isNull(argv[0]))
        sqlite3_result_null(ctx);
    else if (sqlite3_value_type(argv[0]) == SQLITE_BLOB)
        sqlite3_result_int(ctx, sqlite3_value_bytes(argv[0]));
    else
        sqlite3_result_int64(ctx, valueText(argv[0]).toUcs4().size());
}

// Mid(s, start[, length]); Access refuses a start below 1 or a negative length.
void midFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i) {
        if (isNull(argv[i])) {
            sqlite3_result_null(ctx);
            return;
        }
    }
    const sqlite3_int64 start = sqlite3_value_int64(argv[1]);
    const sqlite3_int64 length = argc == 3 ? sqlite3_value_int64(argv[2]) : -1;
    if (start < 1 || (argc == 3 && length < 0)) {
        sqlite3_result_error(ctx, "mid: invalid start or length", -1);
        return;
    }
    const QList<uint> chars = valueText(argv[0]).toUcs4();
    const sqlite3_int64 from = qMin<sqlite3_int64>(start - 1, chars.size());
    sqlite3_int64 count = chars.size() - from;
    if (argc == 3)
        count = qMin(count, length);
    resultText(ctx, QString::fromUcs4(reinterpret_cast<const char32_t*>(chars.constData()) + from,
                                      qsizetype(count)));
}

// InStr(start, s1, s2[, compare]): 1-based position of s2 in s1 at or after start, 0 when
// absent. A non-zero compare ignores case.
void instrFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i) {
        if (isNull(argv[i])) {
            sqlite3_result_null(ctx);
            return;
        }
    }
    const sqlite3_int64 start = sqlite3_value_int64(argv[0]);
    if (start < 1) {
        sqlite3_result_error(ctx, "instr: start must be 1 or greater", -1);
        return;
    }
    const bool fold = argc == 4 && sqlite3_value_int64(argv[3]) != 0;
    QList<uint> hay = valueText(argv[1]).toUcs4();
    QList<uint> needle = valueText(argv[2]).toUcs4();
    if (fold) {
        for (uint& c : hay)
            c = QChar::toCaseFolded(c);
        for (uint& c : needle)
            c = QChar::toCaseFolded(c);
    }
    if (needle.isEmpty()) {
        sqlite3_result_int64(ctx, start);
        return;
    }
    for (sqlite3_int64 i = start - 1; i + needle.size() <= hay.size(); ++i) {
        if (std::equal(needle.begin(), needle.end(), hay.begin() + i)) {
            sqlite3_result_int64(ctx, i + 1);
            return;
        }
    }
    sqlite3_result_int(ctx, 0);
}

// Nz(x) gives the empty text for Null, Nz(x, d) gives d.
void nzFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (!isNull(argv[0]))
        sqlite3_result_value(ctx, argv[0]);
    else if (argc == 2)
        sqlite3_result_value(ctx, argv[1]);
    else
        sqlite3_result_text(ctx, "", 0, SQLITE_STATIC);
}

void nowFn(sqlite3_context* ctx, int, sqlite3_value**) {
    resultText(ctx, QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

struct Function {
    const char* name;
    int argc;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
    bool deterministic;
};

// instr with two arguments is SQLite's own and stays so.
constexpr Function kFunctions[] = {
    {"instr", 3, instrFn, true}, {"instr", 4, instrFn, true}, {"cstr", 1, cstrFn, true},
    {"lcase", 1, lcaseFn, true}, {"ucase", 1, ucaseFn, true}, {"len", 1, lenFn, true},
    {"mid", 2, midFn, true},     {"mid", 3, midFn, true},     {"nz", 1, nzFn, true},
    {"nz", 2, nzFn, true},       {"now", 0, nowFn, false},    {"getdate", 0, nowFn, false},
};

} // namespace

bool RegisterAccessFunctions(sqlite3* db) {
    if (!db)
        return false;
    for (const Function& f : kFunctions) {
        const int flags =
            SQLITE_UTF8 | SQLITE_INNOCUOUS | (f.deterministic ? SQLITE_DETERMINISTIC : 0);
        if (sqlite3_create_function_v2(db, f.name, f.argc, flags, nullptr, f.fn, nullptr, nullptr,
                                       nullptr) != SQLITE_OK)
            return false;
    }
    return true;
}
