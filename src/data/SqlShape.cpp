#include "data/SqlShape.h"

namespace {

bool IsWordChar(QChar c) {
    return c.isLetterOrNumber() || c == '_' || c == '.';
}

// Skips blanks, comments and (when asked) quoted texts and bracketed groups; the position of
// the next word at parenthesis depth 0, with that word in `word`.
int NextTopLevelWord(const QString& s, int pos, QString& word) {
    int depth = 0;
    while (pos < s.size()) {
        const QChar c = s.at(pos);
        if (c == '\'' || c == '"' || c == '[') {
            const QChar close = c == '[' ? QChar(']') : c;
            ++pos;
            while (pos < s.size() && s.at(pos) != close)
                ++pos;
            ++pos;
            continue;
        }
        if (c == '-' && pos + 1 < s.size() && s.at(pos + 1) == '-') {
            while (pos < s.size() && s.at(pos) != '\n')
                ++pos;
            continue;
        }
        if (c == '(') {
            ++depth;
            ++pos;
            continue;
        }
        if (c == ')') {
            --depth;
            ++pos;
            continue;
        }
        if (IsWordChar(c) || c == '@') {
            int end = pos;
            while (end < s.size() && (IsWordChar(s.at(end)) || s.at(end) == '@'))
                ++end;
            if (depth == 0) {
                word = s.mid(pos, end - pos);
                return pos;
            }
            pos = end;
            continue;
        }
        ++pos;
    }
    word.clear();
    return -1;
}

bool IsClauseWord(const QString& w) {
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
    if (name.isEmpty() || name.at(0).isDigit() || name.startsWith('.') || name.endsWith('.'))
        return false;
    for (QChar c : name)
        if (!IsWordChar(c))
            return false;
    return true;
}

bool ParseSelectShape(const QString& sql, SelectShape& shape, QString& normalizedSql) {
    const QString trimmed = sql.trimmed();
    if (IsPlainIdentifier(trimmed)) {
        normalizedSql = QStringLiteral("SELECT * FROM ") + trimmed;
    } else {
        normalizedSql = sql;
    }
    const QString& s = normalizedSql;

    QString word;
    int pos = NextTopLevelWord(s, 0, word);
    if (pos < 0 || word.compare(QLatin1String("SELECT"), Qt::CaseInsensitive) != 0)
        return false;
    pos += word.size();
    int listStart = pos;
    // Optional DISTINCT and TOP n stay outside the replaceable list.
    int next = NextTopLevelWord(s, pos, word);
    if (next >= 0 && word.compare(QLatin1String("DISTINCT"), Qt::CaseInsensitive) == 0) {
        listStart = next + word.size();
        next = NextTopLevelWord(s, listStart, word);
    }
    if (next >= 0 && word.compare(QLatin1String("TOP"), Qt::CaseInsensitive) == 0) {
        const int count = NextTopLevelWord(s, next + word.size(), word);
        if (count < 0)
            return false;
        listStart = count + word.size();
    }

    // The FROM that ends the select list.
    pos = listStart;
    int from = -1;
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
    int tablePos = from + 4;
    while (tablePos < s.size() && s.at(tablePos).isSpace())
        ++tablePos;
    int tableEnd = tablePos;
    while (tableEnd < s.size() && IsWordChar(s.at(tableEnd)))
        ++tableEnd;
    const QString table = s.mid(tablePos, tableEnd - tablePos);
    if (!IsPlainIdentifier(table))
        return false;

    QString prefix = table;
    const int aliasPos = NextTopLevelWord(s, tableEnd, word);
    if (aliasPos >= 0 && s.mid(tableEnd, aliasPos - tableEnd).trimmed().isEmpty()) {
        if (word.compare(QLatin1String("AS"), Qt::CaseInsensitive) == 0) {
            const int realAlias = NextTopLevelWord(s, aliasPos + 2, word);
            if (realAlias >= 0 && IsPlainIdentifier(word))
                prefix = word;
        } else if (!IsClauseWord(word) && IsPlainIdentifier(word)) {
            prefix = word;
        }
    }

    shape.baseTable = table;
    shape.rowPrefix = prefix;
    shape.listStart = listStart;
    shape.listEnd = from;
    return true;
}
