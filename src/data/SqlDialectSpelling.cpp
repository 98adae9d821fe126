#include "data/SqlDialectSpelling.h"

#include "data/AccessFormat.h"

#include <QHash>
#include <QLocale>
#include <QRegularExpression>

#include <optional>

namespace AccessSql {

namespace {

// ---- LIKE classes ----------------------------------------------------------------------------

// A LIKE pattern with a class of several characters, a range or [!..]: LIKE has none, so the
// comparison becomes SQLite's REGEXP (a function of ours, ignoring case as Access's LIKE does)
// or PostgreSQL's SIMILAR TO, which reads % _ and classes as Access does. Null when a class is
// not closed.
QString ClassPattern(const QString& body, bool regex) {
    QString out = regex ? QStringLiteral("\\A(?:") : QString();
    for (qsizetype i = 0; i < body.size(); ++i) {
        const QChar c = body[i];
        if (c != u'[') {
            if (regex)
                out += c == u'%'   ? QStringLiteral(".*")
                       : c == u'_' ? QStringLiteral(".")
                                   : QRegularExpression::escape(QString(c));
            else
                out += QStringView(u"|*+?{}()\\").contains(c) ? QString(u'\\') + c : QString(c);
            continue;
        }
        const qsizetype close = body.indexOf(u']', i + 2);
        if (close < 0)
            return {};
        QString inside = body.mid(i + 1, close - i - 1);
        out += u'[';
        if (inside.startsWith(u'!') && inside.size() > 1) {
            out += u'^';
            inside.remove(0, 1);
        }
        for (QChar m : inside)
            out += QStringView(u"\\[]^").contains(m) ? QString(u'\\') + m : QString(m);
        out += u']';
        i = close;
    }
    return regex ? out + QStringLiteral(")\\z") : out;
}

QString RegexClasses(const QString& body) {
    return ClassPattern(body, true);
}
QString SimilarClasses(const QString& body) {
    return ClassPattern(body, false);
}

// ---- & ---------------------------------------------------------------------------------------

// Access reads Null as empty text in &; || would make the whole text Null.
QString SqliteConcat(const QStringList& terms) {
    return QStringLiteral("zv_concat(") + terms.join(QLatin1String(", ")) + ')';
}

// concat() joins any types and reads Null as empty text; only all Nulls give Null.
QString PostgresConcat(const QStringList& terms) {
    return QStringLiteral("CASE WHEN num_nulls(%1) = %2 THEN NULL ELSE concat(%1) END")
        .arg(terms.join(QLatin1String(", ")))
        .arg(terms.size());
}

// ---- SQLite's functions ----------------------------------------------------------------------

// LEFT and RIGHT are join keywords in SQLite and cannot be called.
QString SqliteLeft(const QString&, CallArguments& a) {
    return "substr(" + a.Arg(0) + ", 1, " + a.Arg(1) + ")";
}
QString SqliteRight(const QString&, CallArguments& a) {
    const QString len = a.IsNumber(1) ? a.Arg(1) : '(' + a.Arg(1) + ')';
    return "substr(" + a.Arg(0) + ", -" + len + ", " + a.Arg(1) + ")";
}
// SQLite's date() is the UTC date; Access means the local one.
QString SqliteDate(const QString&, CallArguments&) {
    return QStringLiteral("date('now','localtime')");
}
QString SqliteTime(const QString&, CallArguments&) {
    return QStringLiteral("zv_time()");
}
// ISNULL is an operator word in SQLite, so the function has a name of ours.
QString SqliteIsNull(const QString&, CallArguments& a) {
    return "zv_isnull(" + a.Arg(0) + ')';
}

const FunctionSpelling kSqliteFunctions[] = {
    {"left", 2, 2, SqliteLeft}, {"right", 2, 2, SqliteRight},   {"date", 0, 0, SqliteDate},
    {"time", 0, 0, SqliteTime}, {"isnull", 1, 1, SqliteIsNull},
};

// ---- PostgreSQL's functions ------------------------------------------------------------------
// PostgreSQL's text functions take no numbers: operands not known to be text are cast (Text).

QString PgInstr(const QString&, CallArguments& a) {
    if (a.Count() == 2)
        return "strpos(" + a.Text(0) + ", " + a.Text(1) + ")";
    // Compare mode 1 (text) and 2 (database) ignore case; 0 (binary) does not.
    const bool fold = a.Count() == 4 && a.IsNumber(3) && !a.IsNumber(3, u"0");
    const QString hay = fold ? "lower(" + a.Text(1) + ")" : a.Text(1);
    const QString needle = fold ? "lower(" + a.Text(2) + ")" : a.Text(2);
    if (a.IsNumber(0, u"1"))
        return "strpos(" + hay + ", " + needle + ")";
    const QString start = a.Arg(0);
    return "COALESCE(NULLIF(strpos(substr(" + hay + ", " + start + "), " + needle + "), 0) + (" +
           start + ") - 1, 0)";
}
QString PgCstr(const QString&, CallArguments& a) {
    return "CAST(" + a.Arg(0) + " AS text)";
}
QString PgLcase(const QString&, CallArguments& a) {
    return "lower(" + a.Text(0) + ")";
}
QString PgUcase(const QString&, CallArguments& a) {
    return "upper(" + a.Text(0) + ")";
}
QString PgLen(const QString&, CallArguments& a) {
    return "length(" + a.Text(0) + ")";
}
QString PgMid(const QString&, CallArguments& a) {
    return "substr(" + a.Text(0) + ", " + a.Arg(1) + (a.Count() == 3 ? ", " + a.Arg(2) : "") + ")";
}
QString PgLeftRight(const QString& name, CallArguments& a) {
    return name + '(' + a.Text(0) + ", " + a.Arg(1) + ')';
}
QString PgIif(const QString&, CallArguments& a) {
    return "CASE WHEN " + a.Arg(0) + " THEN " + a.Arg(1) + " ELSE " + a.Arg(2) + " END";
}
QString PgNz(const QString&, CallArguments& a) {
    if (a.Count() == 1)
        return "COALESCE(" + a.Text(0) + ", '')";
    return "COALESCE(" + (a.IsText(1) ? a.Text(0) : a.Arg(0)) + ", " + a.Arg(1) + ")";
}
// Access's Now() is local time in whole seconds.
QString PgNow(const QString&, CallArguments&) {
    return QStringLiteral("LOCALTIMESTAMP(0)");
}
QString PgDate(const QString&, CallArguments&) {
    return QStringLiteral("CURRENT_DATE");
}
QString PgIsNull(const QString&, CallArguments& a) {
    return "((" + a.Arg(0) + ") IS NULL)";
}
// Access has no text aggregate; the local file's group_concat serves both kinds.
QString PgGroupConcat(const QString&, CallArguments& a) {
    return "string_agg(CAST(" + a.Arg(0) + " AS text), " +
           (a.Count() == 2 ? a.Arg(1) : QStringLiteral("','")) + ')';
}
// Int rounds down, Fix toward zero.
QString PgInt(const QString&, CallArguments& a) {
    return "floor(" + a.Arg(0) + ')';
}
QString PgFix(const QString&, CallArguments& a) {
    return "trunc(" + a.Arg(0) + ')';
}
// Val of a text known here is read here, exactly as Access reads it.
QString PgVal(const QString&, CallArguments& a) {
    const QString text = a.Literal(0);
    if (text.isNull())
        return {};
    return "CAST(" + QString::number(AccessVal(text), 'g', QLocale::FloatingPointShortest) +
           " AS double precision)";
}
// Access rounds half to even; PostgreSQL's round() half away from zero.
QString PgRound(const QString&, CallArguments& a) {
    if (a.Count() == 2 && !a.IsNumber(1))
        return {};
    const QString scale = a.Count() == 2 ? a.Arg(1) : QStringLiteral("0");
    const QString v = "(CAST(" + a.Arg(0) + " AS numeric) * power(10::numeric, " + scale + "))";
    return "CAST(CASE WHEN abs(" + v + " - trunc(" + v + ")) = 0.5 THEN trunc(" + v +
           ") + CASE WHEN mod(trunc(" + v + "), 2) = 0 THEN 0 ELSE sign(" + v +
           ") END ELSE round(" + v + ") END / power(10::numeric, " + scale +
           ") AS double precision)";
}

// Access's date parts and DateAdd; dates are texts in the account set, so DateAdd gives the text
// the local file's DateAdd gives.
QString PgStamp(CallArguments& a, size_t k) {
    return "CAST(" + a.Arg(k) + " AS timestamp)";
}
QString PgDatePart(const QString& name, CallArguments& a) {
    return "CAST(floor(EXTRACT(" + name.toUpper() + " FROM " + PgStamp(a, 0) + ")) AS integer)";
}
QString PgWeekday(const QString&, CallArguments& a) {
    int first = 1;
    if (a.Count() == 2) {
        first = a.IsNumber(1) ? a.Arg(1).toInt() : 0;
        if (first < 1 || first > 7)
            return {};
    }
    return QStringLiteral("((CAST(EXTRACT(DOW FROM %1) AS integer) + %2) % 7 + 1)")
        .arg(PgStamp(a, 0))
        .arg(8 - first);
}
// Null when the interval is not a constant that PostgreSQL has.
QString PgDateAdd(const QString&, CallArguments& a) {
    static const QHash<QString, QString> units = {
        {"yyyy", "1 year"}, {"q", "3 months"}, {"m", "1 month"}, {"y", "1 day"},
        {"d", "1 day"},     {"w", "1 day"},    {"ww", "7 days"}, {"h", "1 hour"},
        {"n", "1 minute"},  {"s", "1 second"}};
    const QString unit = units.value(a.Literal(0).toLower());
    if (unit.isEmpty())
        return {};
    const QString value = "(" + PgStamp(a, 2) + " + CAST(trunc(" + a.Arg(1) +
                          ") AS integer) * interval '" + unit + "')";
    return "(to_char(" + value + ", 'YYYY-MM-DD') || CASE WHEN CAST(" + value +
           " AS time) <> '00:00' THEN to_char(" + value + ", ' HH24:MI:SS') ELSE '' END)";
}
// Format with a constant pattern, as to_char writes it. PostgreSQL's own format() is
// printf-like: an untranslated call would run with another result, so it is reported.
QString PgFormat(const QString&, CallArguments& a) {
    QString formatted;
    if (a.Count() == 2) {
        const QString pattern = a.Literal(1);
        const std::optional<ToCharTemplate> t =
            pattern.isNull() ? std::nullopt : AccessFormatToChar(pattern);
        if (t)
            formatted = "to_char(CAST(" + a.Arg(0) +
                        (t->date ? " AS timestamp), " : " AS numeric), ") + '\'' +
                        QString(t->text).replace(u'\'', QLatin1String("''")) + '\'' + ')';
    }
    if (formatted.isNull())
        a.Unsupported(QStringLiteral("Format 的格式 %1")
                          .arg(a.Count() == 2 ? a.Arg(1) : QStringLiteral("（缺省）")));
    return formatted;
}

const FunctionSpelling kPostgresFunctions[] = {
    {"instr", 2, 4, PgInstr},
    {"cstr", 1, 1, PgCstr},
    {"lcase", 1, 1, PgLcase},
    {"ucase", 1, 1, PgUcase},
    {"len", 1, 1, PgLen},
    {"mid", 2, 3, PgMid},
    {"left", 2, 2, PgLeftRight},
    {"right", 2, 2, PgLeftRight},
    {"iif", 3, 3, PgIif},
    {"nz", 1, 2, PgNz},
    {"now", 0, 0, PgNow},
    {"getdate", 0, 0, PgNow},
    {"date", 0, 0, PgDate},
    {"isnull", 1, 1, PgIsNull},
    {"group_concat", 1, 2, PgGroupConcat},
    {"int", 1, 1, PgInt},
    {"fix", 1, 1, PgFix},
    {"val", 1, 1, PgVal},
    {"round", 1, 2, PgRound},
    {"year", 1, 1, PgDatePart},
    {"month", 1, 1, PgDatePart},
    {"day", 1, 1, PgDatePart},
    {"hour", 1, 1, PgDatePart},
    {"minute", 1, 1, PgDatePart},
    {"second", 1, 1, PgDatePart},
    {"weekday", 1, 2, PgWeekday},
    {"dateadd", 3, 3, PgDateAdd},
    {"format", 0, 1000000, PgFormat},
};

// ---- the rows --------------------------------------------------------------------------------

// Access's bare Now is the function; True is -1.
const WordSpelling kSqliteWords[] = {{u"now", "now()"}, {u"true", "-1"}, {u"false", "0"}};

const SqlSpelling kSqlite{
    .namesDerivedTables = false,
    .fetchesTies = false,
    .quotesBracketNames = false,
    .identity = "last_insert_rowid()",
    .words = kSqliteWords,
    .truthBefore = "-",
    .truthAfter = "",
    // NOCASE folds ASCII only, as SQLite's indexes do; other cased letters take ours.
    .asciiNoCase = " COLLATE NOCASE",
    .otherNoCase = " COLLATE zv_nocase",
    .likeEscapesBackslash = false,
    .likeClassOfOneAsCharacter = true,
    .classOperator = "REGEXP",
    .classPattern = RegexClasses,
    .concat = SqliteConcat,
    // / divides decimals, \ and Mod work on rounded whole numbers and ^ is a power, each a
    // function of ours, so the engine's own precedence never applies to them.
    .divide = {"zv_div(", ", ", ")"},
    .intDivide = {"zv_intdiv(", ", ", ")"},
    .power = {"zv_pow(", ", ", ")"},
    .modulo = {"zv_mod(", ", ", ")"},
    .functions = kSqliteFunctions,
};

const SqlSpelling kPostgres{
    // PostgreSQL before 16 requires a name for a table made by a subquery.
    .namesDerivedTables = true,
    .fetchesTies = true,
    .quotesBracketNames = true,
    .identity = "lastval()",
    .words = {},
    .truthBefore = "-CAST(",
    .truthAfter = " AS integer)",
    .asciiNoCase = nullptr,
    .otherNoCase = nullptr,
    // PostgreSQL reads "\" in a LIKE pattern as its escape; Access reads it as itself.
    .likeEscapesBackslash = true,
    .likeClassOfOneAsCharacter = false,
    .classOperator = "SIMILAR TO",
    .classPattern = SimilarClasses,
    .concat = PostgresConcat,
    // PostgreSQL divides integers as integers and has its own ^; Mod and \ it lacks, and they
    // stay for it to refuse.
    .divide = {"CAST(", " AS double precision) / ", ""},
    .intDivide = {},
    .power = {"power(CAST(", " AS double precision), ", ")"},
    .modulo = {},
    .functions = kPostgresFunctions,
};

} // namespace

const SqlSpelling& SpellingOf(SqlDialect dialect) {
    return dialect == SqlDialect::Sqlite ? kSqlite : kPostgres;
}

} // namespace AccessSql
