#include "data/SqlTranslator.h"

#include "data/SqlDialectSpelling.h"
#include "data/SqlEmitter.h"
#include "data/SqlRewritePasses.h"

#include <QHash>

// The translator works on a token list, never on raw text, so that quoted texts, quoted names
// and comments are copied as they are. The passes (SqlRewritePasses.h) run over the whole text
// and then statement by statement: DELETE and DISTINCTROW are tidied, TOP becomes a limit and
// the Access multi-table UPDATE becomes UPDATE ... FROM; finally the emitter writes the text,
// rewriting functions, operators and literals on the way. What the engines spell differently
// is one row per engine (SqlDialectSpelling).

namespace {

using namespace AccessSql;

QString translate(const QString& sql, SqlDialect dialect, QString* unsupported) {
    Tokens all = rewriteDateLiterals(tokenize(sql));
    if (SpellingOf(dialect).namesDerivedTables)
        all = nameDerivedTables(all);
    QString note;
    // Statements are rewritten one by one; the separators are kept.
    Tokens out;
    Tokens statement;
    auto flush = [&]() {
        const int first = nextSig(statement, 0, int(statement.size()));
        if (first < int(statement.size()) && isWord(statement[first], u"transform"))
            note = QStringLiteral("TRANSFORM … PIVOT");
        const Tokens done = rewriteUpdate(
            rewriteTop(rewriteDistinctRow(rewriteDelete(statement), note), dialect, note), note);
        out.insert(out.end(), done.begin(), done.end());
        statement.clear();
    };
    // A ";" ends a statement unless it stands inside parentheses; one after a stray ")" does.
    SqlDepth depth;
    for (const Token& tk : all) {
        levelOf(depth, tk);
        if (depth.Depth() <= 0 && isPunct(tk, u";")) {
            flush();
            out.push_back(tk);
            depth = {};
        } else {
            statement.push_back(tk);
        }
    }
    flush();
    QString emitted;
    const QString text = emitSql(out, dialect, emitted);
    if (note.isEmpty())
        note = emitted;
    if (unsupported)
        *unsupported = note;
    return text;
}

} // namespace

QString TranslateAccessSql(const QString& sql, SqlDialect dialect, QString* unsupported) {
    // A form sends the same statements each time it opens or pages; the translation of a text
    // never changes, so each thread keeps the recent ones (the sessions of the login and update
    // workers translate on their own threads).
    struct Translated {
        QString text;
        QString unsupported;
    };
    thread_local QHash<QString, Translated> recent[2]; // by SqlDialect
    // Scripts and statements carrying pasted data are rarely sent twice: not worth keeping.
    if (sql.size() > 4096) {
        QString note;
        const QString text = translate(sql, dialect, &note);
        if (unsupported)
            *unsupported = note;
        return text;
    }
    QHash<QString, Translated>& cache = recent[size_t(dialect)];
    auto found = cache.constFind(sql);
    if (found == cache.constEnd()) {
        if (cache.size() >= 512)
            cache.clear();
        Translated t;
        t.text = translate(sql, dialect, &t.unsupported);
        found = cache.insert(sql, t);
    }
    if (unsupported)
        *unsupported = found->unsupported;
    return found->text;
}