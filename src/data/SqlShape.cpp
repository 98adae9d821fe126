#include "data/SqlShape.h"

#include "data/SqlTopLevel.h"

namespace {

bool IsWordChar(QChar c) {
    return c.isLetterOrNumber() || c == '_' || c == '.';
}

bool IsPlainName(QStringView name) {
    if (name.isEmpty() || name.front().isDigit() || name.startsWith(u'.') || name.endsWith(u'.'))
        return false;
    for (QChar c : name)
        if (!IsWordChar(c))
            return false;
    return true;
}

// "/* */" is not a comment to this reader: the words inside it count.
constexpr SqlLexis kShapeLexis{.blockComments = false};

// A word here is a run of letters, digits, "_", "." and "@" ("dbo.c_user", "t.name_0", "10"),
// read on from the token that starts it: a "$" or an exponent's sign ends it.
bool IsInWord(QChar c) {
    return IsWordChar(c) || c == u'@';
}

// Skips blanks, comments, quoted texts and names and bracketed groups; the position of the next
// word at parenthesis depth 0, with that word in `word`. A sealed value is a word of its own, as
// the literal it stands for.
qsizetype NextTopLevelWord(QStringView s, qsizetype pos, QStringView& word) {
    SqlTopLevelReader reader(s, kShapeLexis);
    reader.Seek(pos);
    SqlToken token;
    SqlLevel level;
    while (reader.Next(token, level)) {
        if (level != SqlLevel::Top && level != SqlLevel::Nested)
            continue;
        qsizetype end = token.end;
        if (token.kind != SqlTokenKind::Sealed) {
            const bool code = token.kind == SqlTokenKind::Word ||
                              token.kind == SqlTokenKind::Number ||
                              token.kind == SqlTokenKind::Punct;
            if (!code || !IsInWord(s[token.begin]))
                continue;
            end = token.begin;
            while (end < s.size() && IsInWord(s[end]))
                ++end;
        }
        if (level == SqlLevel::Top) {
            word = s.sliced(token.begin, end - token.begin);
            return token.begin;
        }
        reader.Seek(end);
    }
    word = {};
    return -1;
}

bool IsClauseWord(QStringView w) {
    static const char* const words[] = {"WHERE", "ORDER", "GROUP",   "HAVING", "LEFT", "RIGHT",
                                        "INNER", "OUTER", "JOIN",    "CROSS",  "FULL", "UNION",
                                        "LIMIT", "ON",    "NATURAL", "WITH",   "FOR"};
    for (const char* k : words)
        if (w.compare(QLatin1String(k), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

bool IsPlainIdentifier(const QString& name) {
    return IsPlainName(name);
}

bool ParseSelectShape(const QString& sql, SelectShape& shape, QString& normalizedSql) {
    const QString trimmed = sql.trimmed();
    if (IsPlainIdentifier(trimmed)) {
        normalizedSql = QStringLiteral("SELECT * FROM ") + trimmed;
    } else {
        normalizedSql = sql;
    }
    const QString& s = normalizedSql;

    QStringView word;
    qsizetype pos = NextTopLevelWord(s, 0, word);
    if (pos < 0 || word.compare(QLatin1String("SELECT"), Qt::CaseInsensitive) != 0)
        return false;
    pos += word.size();
    qsizetype listStart = pos;
    // Optional DISTINCT and TOP n stay outside the replaceable list.
    qsizetype next = NextTopLevelWord(s, pos, word);
    if (next >= 0 && word.compare(QLatin1String("DISTINCT"), Qt::CaseInsensitive) == 0) {
        listStart = next + word.size();
        next = NextTopLevelWord(s, listStart, word);
    }
    if (next >= 0 && word.compare(QLatin1String("TOP"), Qt::CaseInsensitive) == 0) {
        const qsizetype count = NextTopLevelWord(s, next + word.size(), word);
        if (count < 0)
            return false;
        listStart = count + word.size();
    }

    // The FROM that ends the select list.
    pos = listStart;
    qsizetype from = -1;
    while ((pos = NextTopLevelWord(s, pos, word)) >= 0) {
        if (word.compare(QLatin1String("FROM"), Qt::CaseInsensitive) == 0) {
            from = pos;
            break;
        }
        pos += word.size();
    }
    if (from < 0)
        return false;

    // The first thing after FROM must be a plain table (a sub-query is not updatable).
    qsizetype tablePos = from + 4;
    while (tablePos < s.size() && s.at(tablePos).isSpace())
        ++tablePos;
    qsizetype tableEnd = tablePos;
    while (tableEnd < s.size() && IsWordChar(s.at(tableEnd)))
        ++tableEnd;
    const QStringView table = QStringView(s).sliced(tablePos, tableEnd - tablePos);
    if (!IsPlainName(table))
        return false;

    QStringView prefix = table;
    const qsizetype aliasPos = NextTopLevelWord(s, tableEnd, word);
    if (aliasPos >= 0 && QStringView(s).sliced(tableEnd, aliasPos - tableEnd).trimmed().isEmpty()) {
        if (word.compare(QLatin1String("AS"), Qt::CaseInsensitive) == 0) {
            const qsizetype realAlias = NextTopLevelWord(s, aliasPos + 2, word);
            if (realAlias >= 0 && IsPlainName(word))
                prefix = word;
        } else if (!IsClauseWord(word) && IsPlainName(word)) {
            prefix = word;
        }
    }

    shape.baseTable = table.toString();
    shape.rowPrefix = prefix.toString();
    shape.listStart = int(listStart);
    shape.listEnd = int(from);
    return true;
}
