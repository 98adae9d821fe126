#pragma once
// What SQLite and PostgreSQL spell differently when they run Access SQL: one row per engine,
// looked up once per statement. The passes and the emitter ask their row and never the engine.
#include "data/SqlTranslator.h"

#include <QString>
#include <QStringList>

#include <span>

namespace AccessSql {

// A call as a function row sees it: its arguments, emitted for the engine.
class CallArguments {
public:
    virtual ~CallArguments() = default;
    virtual size_t Count() const = 0;
    // Argument k as emitted, without its surrounding blanks.
    virtual QString Arg(size_t k) = 0;
    // Argument k as a text: cast to one unless it is known to be text.
    virtual QString Text(size_t k) = 0;
    virtual bool IsText(size_t k) = 0;
    // Whether argument k is one number literal (equal to `value` when one is given).
    virtual bool IsNumber(size_t k, QStringView value = {}) const = 0;
    // The content of argument k when it is one text literal, else null.
    virtual QString Literal(size_t k) const = 0;
    // Names a construct with no faithful rewrite, unless one is named already.
    virtual void Unsupported(const QString& what) = 0;
};

// An Access function the engine lacks or reads otherwise, for calls with [minArgs, maxArgs]
// arguments. `spell` gives the engine's text, or null to leave the call as written.
struct FunctionSpelling {
    const char* name; // lower case
    int minArgs;
    int maxArgs;
    QString (*spell)(const QString& name, CallArguments& args);
};

// How an arithmetic operator is written: before + left + between + right + after; null `before`
// keeps it as an infix operator.
struct OperatorSpelling {
    const char* before = nullptr;
    const char* between = nullptr;
    const char* after = nullptr;
};

// A bare word that stands for a value.
struct WordSpelling {
    const char16_t* word;
    const char* spelling;
};

struct SqlSpelling {
    // Unnamed tables made by subqueries get names.
    bool namesDerivedTables;
    // TOP n with an ORDER BY takes FETCH FIRST n ROWS WITH TIES; else a counted LIMIT.
    bool fetchesTies;
    // [Name] becomes a quoted name folded as a bare one.
    bool quotesBracketNames;
    const char* identity; // @@identity
    std::span<const WordSpelling> words;
    // Access's truth value -1/0 of a parenthesised condition: before + condition + after.
    const char* truthBefore;
    const char* truthAfter;
    // Collations that make = ignore case as Access does, for a text with only ASCII letters of
    // case and for one with others; null when the engine's = is left as it is.
    const char* asciiNoCase;
    const char* otherNoCase;
    // "\" is an escape in the engine's LIKE patterns.
    bool likeEscapesBackslash;
    // A class of one character ([*]) is written as that character.
    bool likeClassOfOneAsCharacter;
    // The operator and pattern for LIKE patterns with character classes; null when a class is
    // not closed.
    const char* classOperator;
    QString (*classPattern)(const QString& body);
    // Access's & over the emitted terms.
    QString (*concat)(const QStringList& terms);
    OperatorSpelling divide;    // /
    OperatorSpelling intDivide; // "\"
    OperatorSpelling power;     // ^
    OperatorSpelling modulo;    // Mod
    std::span<const FunctionSpelling> functions;
};

const SqlSpelling& SpellingOf(SqlDialect dialect);

} // namespace AccessSql
