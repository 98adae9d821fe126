#include "data/SqliteFunctions.h"
#include "data/SqliteFunctionSet.h"

#include <QDateTime>
#include <QList>
#include <QRegularExpression>
#include <QString>

#include <sqlite3.h>

#include <algorithm>

// Positions and lengths count characters (code points), as SQLite's own instr and substr do.

namespace sqlite_access {

bool IsNull(sqlite3_value* v) {
    return sqlite3_value_type(v) == SQLITE_NULL;
}

bool AnyNull(int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i)
        if (IsNull(argv[i]))
            return true;
    return false;
}

QString ValueText(sqlite3_value* v) {
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

void ResultText(sqlite3_context* ctx, const QString& s) {
    const QByteArray utf8 = s.toUtf8();
    sqlite3_result_text(ctx, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

namespace {

void resultError(sqlite3_context* ctx, const char* function, const QString& what) {
    sqlite3_result_error(
        ctx, QStringLiteral("%1: %2").arg(QLatin1String(function), what).toUtf8().constData(), -1);
}

} // namespace

void ResultInvalid(sqlite3_context* ctx, const char* function) {
    resultError(ctx, function, QStringLiteral("无效的过程调用或参数"));
}

void ResultTypeMismatch(sqlite3_context* ctx, const char* function) {
    resultError(ctx, function, QStringLiteral("类型不匹配"));
}

} // namespace sqlite_access

namespace {

using namespace sqlite_access;

void cstrFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]))
        sqlite3_result_null(ctx);
    else
        ResultText(ctx, ValueText(argv[0]));
}

// SQLite's lower() and upper() only know ASCII.
void lcaseFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]))
        sqlite3_result_null(ctx);
    else
        ResultText(ctx, ValueText(argv[0]).toLower());
}

void ucaseFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]))
        sqlite3_result_null(ctx);
    else
        ResultText(ctx, ValueText(argv[0]).toUpper());
}

void lenFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]))
        sqlite3_result_null(ctx);
    else if (sqlite3_value_type(argv[0]) == SQLITE_BLOB)
        sqlite3_result_int(ctx, sqlite3_value_bytes(argv[0]));
    else
        sqlite3_result_int64(ctx, ValueText(argv[0]).toUcs4().size());
}

// Mid(s, start[, length]); Access refuses a start below 1 or a negative length.
void midFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i) {
        if (IsNull(argv[i])) {
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
    const QList<uint> chars = ValueText(argv[0]).toUcs4();
    const sqlite3_int64 from = qMin<sqlite3_int64>(start - 1, chars.size());
    sqlite3_int64 count = chars.size() - from;
    if (argc == 3)
        count = qMin(count, length);
    ResultText(ctx, QString::fromUcs4(reinterpret_cast<const char32_t*>(chars.constData()) + from,
                                      qsizetype(count)));
}

// InStr(start, s1, s2[, compare]): 1-based position of s2 in s1 at or after start, 0 when
// absent. A non-zero compare ignores case.
void instrFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    for (int i = 0; i < argc; ++i) {
        if (IsNull(argv[i])) {
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
    QList<uint> hay = ValueText(argv[1]).toUcs4();
    QList<uint> needle = ValueText(argv[2]).toUcs4();
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
    if (!IsNull(argv[0]))
        sqlite3_result_value(ctx, argv[0]);
    else if (argc == 2)
        sqlite3_result_value(ctx, argv[1]);
    else
        sqlite3_result_text(ctx, "", 0, SQLITE_STATIC);
}

void nowFn(sqlite3_context* ctx, int, sqlite3_value**) {
    ResultText(ctx, QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

// String(n, c): n times the first character of c, or the character with code c.
void stringFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (AnyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    const sqlite3_int64 count = sqlite3_value_int64(argv[0]);
    QString unit;
    if (sqlite3_value_type(argv[1]) == SQLITE_INTEGER ||
        sqlite3_value_type(argv[1]) == SQLITE_FLOAT)
        unit = QString(QChar(char16_t(sqlite3_value_int64(argv[1]) & 0xFFFF)));
    else
        unit = ValueText(argv[1]).left(1);
    if (count < 0 || count > 1'000'000 || unit.isEmpty()) {
        ResultInvalid(ctx, "String");
        return;
    }
    ResultText(ctx, unit.repeated(qsizetype(count)));
}

void spaceFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (AnyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    const sqlite3_int64 count = sqlite3_value_int64(argv[0]);
    if (count < 0 || count > 1'000'000) {
        ResultInvalid(ctx, "Space");
        return;
    }
    ResultText(ctx, QString(qsizetype(count), QLatin1Char(' ')));
}

QList<uint> folded(const QString& text, bool fold) {
    QList<uint> chars = text.toUcs4();
    if (fold)
        for (uint& c : chars)
            c = QChar::toCaseFolded(c);
    return chars;
}

// InStrRev(s, find[, start[, compare]]): the last position of find that ends at or before
// start (-1: the end), 0 when absent.
void instrRevFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (AnyNull(argc, argv)) {
        sqlite3_result_null(ctx);
        return;
    }
    const sqlite3_int64 start = argc >= 3 ? sqlite3_value_int64(argv[2]) : -1;
    if (start == 0 || start < -1) {
        ResultInvalid(ctx, "InStrRev");
        return;
    }
    const bool fold = argc == 4 && sqlite3_value_int64(argv[3]) != 0;
    const QList<uint> hay = folded(ValueText(argv[0]), fold);
    const QList<uint> needle = folded(ValueText(argv[1]), fold);
    const sqlite3_int64 limit = start == -1 ? hay.size() : qMin<sqlite3_int64>(start, hay.size());
    if (needle.isEmpty()) {
        sqlite3_result_int64(ctx, start == -1 ? hay.size() : start);
        return;
    }
    for (sqlite3_int64 i = limit - needle.size(); i >= 0; --i) {
        if (std::equal(needle.begin(), needle.end(), hay.begin() + i)) {
            sqlite3_result_int64(ctx, i + 1);
            return;
        }
    }
    sqlite3_result_int(ctx, 0);
}

// StrComp(a, b[, compare]): -1, 0 or 1. Without a compare argument texts compare as the
// database compares them, ignoring case; 0 compares binary.
void strCompFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) {
        sqlite3_result_null(ctx);
        return;
    }
    const bool fold = argc < 3 || sqlite3_value_int64(argv[2]) != 0;
    const QList<uint> a = folded(ValueText(argv[0]), fold);
    const QList<uint> b = folded(ValueText(argv[1]), fold);
    const bool less = std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
    const bool more = std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end());
    sqlite3_result_int(ctx, less ? -1 : (more ? 1 : 0));
}

// a & b & ...: Access joins the texts with Null read as empty text; only all Null gives Null.
void concatFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    QString out;
    bool any = false;
    for (int i = 0; i < argc; ++i) {
        if (IsNull(argv[i]))
            continue;
        any = true;
        out += ValueText(argv[i]);
    }
    if (any)
        ResultText(ctx, out);
    else
        sqlite3_result_null(ctx);
}

// IsNull(x) as a value: True is -1 in Access.
void isNullFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_int(ctx, IsNull(argv[0]) ? -1 : 0);
}

// x REGEXP p, which SQLite sends here as regexp(p, x): the form Access's LIKE classes take.
// Case is ignored as in LIKE; the compiled pattern is kept with the statement.
void regexpFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (IsNull(argv[0]) || IsNull(argv[1])) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString text = ValueText(argv[1]);
    if (const auto* kept = static_cast<const QRegularExpression*>(sqlite3_get_auxdata(ctx, 0))) {
        sqlite3_result_int(ctx, kept->match(text).hasMatch() ? 1 : 0);
        return;
    }
    auto* re = new QRegularExpression(ValueText(argv[0]),
                                      QRegularExpression::CaseInsensitiveOption |
                                          QRegularExpression::DotMatchesEverythingOption);
    if (!re->isValid()) {
        delete re;
        ResultInvalid(ctx, "LIKE");
        return;
    }
    const bool matched = re->match(text).hasMatch();
    // SQLite may free it at once; it has been used by then.
    sqlite3_set_auxdata(ctx, 0, re, [](void* p) { delete static_cast<QRegularExpression*>(p); });
    sqlite3_result_int(ctx, matched ? 1 : 0);
}

constexpr Function kTextFunctions[] = {
    {"regexp", 2, regexpFn, true},
    {"instr", 3, instrFn, true},
    {"instr", 4, instrFn, true},
    {"cstr", 1, cstrFn, true},
    {"lcase", 1, lcaseFn, true},
    {"ucase", 1, ucaseFn, true},
    {"len", 1, lenFn, true},
    {"mid", 2, midFn, true},
    {"mid", 3, midFn, true},
    {"nz", 1, nzFn, true},
    {"nz", 2, nzFn, true},
    {"now", 0, nowFn, false},
    {"getdate", 0, nowFn, false},
    {"string", 2, stringFn, true},
    {"space", 1, spaceFn, true},
    {"instrrev", 2, instrRevFn, true},
    {"instrrev", 3, instrRevFn, true},
    {"instrrev", 4, instrRevFn, true},
    {"strcomp", 2, strCompFn, true},
    {"strcomp", 3, strCompFn, true},
    {"zv_concat", -1, concatFn, true},
    {"zv_isnull", 1, isNullFn, true},
};

} // namespace

std::span<const sqlite_access::Function> sqlite_access::TextFunctions() {
    return kTextFunctions;
}

namespace {

// Access compares texts without regard to case in every alphabet; SQLite's NOCASE folds ASCII
// only. Used where a compared text has other letters with case.
int compareNoCase(void*, int leftBytes, const void* left, int rightBytes, const void* right) {
    const QString a = QString::fromUtf8(static_cast<const char*>(left), leftBytes);
    const QString b = QString::fromUtf8(static_cast<const char*>(right), rightBytes);
    return a.compare(b, Qt::CaseInsensitive);
}

} // namespace

bool RegisterAccessFunctions(sqlite3* db) {
    if (!db)
        return false;
    if (sqlite3_create_collation_v2(db, "zv_nocase", SQLITE_UTF8, nullptr, compareNoCase,
                                    nullptr) != SQLITE_OK)
        return false;
    for (const auto& group : {TextFunctions(), NumberFunctions(), DateFunctions()}) {
        for (const Function& f : group) {
            const int flags =
                SQLITE_UTF8 | SQLITE_INNOCUOUS | (f.deterministic ? SQLITE_DETERMINISTIC : 0);
            if (sqlite3_create_function_v2(db, f.name, f.argc, flags, nullptr, f.fn, nullptr,
                                           nullptr, nullptr) != SQLITE_OK)
                return false;
        }
    }
    return true;
}
