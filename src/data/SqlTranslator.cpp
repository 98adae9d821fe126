#include "data/SqlTranslator.h"

#include "data/AccessFormat.h"
#include "data/SqlTokenizer.h"

#include <QDate>
#include <QHash>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <QTime>

#include <optional>
#include <set>
#include <utility>
#include <vector>

// The translator works on a token list, never on raw text, so that quoted texts, quoted names
// and comments are copied as they are. Three passes run per statement: TOP becomes LIMIT,
// the Access multi-table UPDATE becomes UPDATE ... FROM, and finally the expression rewriter
// emits the text, rewriting functions, operators and literals on the way.

namespace {

using Tk = SqlTokenKind;

struct Token {
    Tk kind;
    QString text;
};

using Tokens = std::vector<Token>;

Tokens tokenize(const QString& s) {
    Tokens out;
    SqlTokenizer reader(s);
    SqlToken token;
    while (reader.Next(token))
        out.push_back({token.kind, s.mid(token.begin, token.end - token.begin)});
    return out;
}

bool isSig(const Token& t) {
    return t.kind != Tk::Space && t.kind != Tk::Comment;
}
bool isWord(const Token& t, QStringView w) {
    return t.kind == Tk::Word && t.text.compare(w, Qt::CaseInsensitive) == 0;
}
bool isPunct(const Token& t, QStringView p) {
    return t.kind == Tk::Punct && t.text == p;
}
bool isName(const Token& t) {
    return t.kind == Tk::Word || t.kind == Tk::QuotedName || t.kind == Tk::BracketName;
}
bool isInteger(const Token& t) {
    if (t.kind != Tk::Number)
        return false;
    for (QChar c : t.text)
        if (!c.isDigit())
            return false;
    return true;
}

bool isOneOf(const Token& t, std::initializer_list<QStringView> words) {
    if (t.kind != Tk::Word)
        return false;
    for (QStringView w : words)
        if (t.text.compare(w, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool isSetOperator(const Token& t) {
    return isOneOf(t, {u"union", u"except", u"intersect"});
}

// Words that never name a function and end an operand.
bool isKeyword(const Token& t) {
    return isOneOf(t, {u"and",        u"or",       u"not",    u"select", u"from",      u"where",
                       u"as",         u"on",       u"set",    u"values", u"like",      u"in",
                       u"is",         u"between",  u"when",   u"then",   u"else",      u"end",
                       u"case",       u"order",    u"group",  u"by",     u"having",    u"union",
                       u"all",        u"distinct", u"join",   u"inner",  u"left",      u"right",
                       u"outer",      u"full",     u"cross",  u"limit",  u"into",      u"update",
                       u"insert",     u"delete",   u"top",    u"escape", u"asc",       u"desc",
                       u"exists",     u"except",   u"offset", u"with",   u"intersect", u"returning",
                       u"distinctrow"});
}

int nextSig(const Tokens& t, int i, int end) {
    while (i < end && !isSig(t[i]))
        ++i;
    return i;
}

// Last significant index below i and not below begin, or begin - 1.
int prevSig(const Tokens& t, int i, int begin) {
    --i;
    while (i >= begin && !isSig(t[i]))
        --i;
    return i;
}

// Index of the ')' matching the '(' at open, or end when it is missing.
int matchParen(const Tokens& t, int open, int end) {
    int depth = 0;
    for (int i = open; i < end; ++i) {
        if (isPunct(t[i], u"("))
            ++depth;
        else if (isPunct(t[i], u")") && --depth == 0)
            return i;
    }
    return end;
}

QString joinText(const Tokens& t, int b, int e) {
    QString s;
    for (int i = b; i < e; ++i)
        s += t[i].text;
    return s;
}

// A name as the engine compares it: without [..] or "..", case-insensitive.
QString bareName(const Token& t) {
    if (t.kind == Tk::BracketName)
        return t.text.mid(1, t.text.size() - 2).toLower();
    if (t.kind == Tk::QuotedName)
        return t.text.mid(1, t.text.size() - 2).replace(QLatin1String("\"\""), "\"").toLower();
    return t.text.toLower();
}

Token space() {
    return {Tk::Space, " "};
}
Token word(const QString& w) {
    return {Tk::Word, w};
}
Token punct(const QString& p) {
    return {Tk::Punct, p};
}

// ---- TOP n -> LIMIT n ------------------------------------------------------------------------

// Splits [b, e) at commas outside parentheses.
std::vector<std::pair<int, int>> splitTopLevel(const Tokens& t, int b, int e) {
    std::vector<std::pair<int, int>> parts;
    int depth = 0;
    int start = b;
    for (int i = b; i < e; ++i) {
        if (isPunct(t[i], u"("))
            ++depth;
        else if (isPunct(t[i], u")"))
            --depth;
        else if (depth == 0 && isPunct(t[i], u",")) {
            parts.emplace_back(start, i);
            start = i + 1;
        }
    }
    parts.emplace_back(start, e);
    return parts;
}

// First index in [b, e) outside parentheses where `match` holds, or e.
template <typename Match> int findTopLevel(const Tokens& t, int b, int e, Match match) {
    int depth = 0;
    for (int i = b; i < e; ++i) {
        if (isPunct(t[i], u"("))
            ++depth;
        else if (isPunct(t[i], u")"))
            --depth;
        else if (depth == 0 && match(t[i]))
            return i;
    }
    return e;
}

struct TopSite {
    int select; // the SELECT word
    int top;    // the TOP word
    int rest;   // first significant token after the count
    int end;    // end of the SELECT's own scope
    QString count;
    bool distinct;
    bool compound;   // a member of a UNION, wrapped in a derived table
    bool lastMember; // after a UNION
};

// Access's TOP n returns the rows tied with the n-th in the ORDER BY as well. LIMIT cannot say
// that, so the limit becomes the count of rows that sort no later than the n-th one (at least n,
// which also covers a result of fewer rows). SQLite compares the keys the way it sorts them,
// Null first. Null when the ORDER BY names what the count cannot evaluate.
QString tiesLimit(const Tokens& t, const TopSite& site) {
    const int from =
        findTopLevel(t, site.rest, site.end, [](const Token& k) { return isWord(k, u"from"); });
    const int order =
        findTopLevel(t, site.rest, site.end, [](const Token& k) { return isWord(k, u"order"); });
    const int by = nextSig(t, order + 1, site.end);
    if (from >= order || by >= site.end || !isWord(t[by], u"by"))
        return {};
    const auto columns = splitTopLevel(t, site.rest, from);
    const QString source = joinText(t, from, order).trimmed();
    QStringList keys;
    QStringList descending;
    for (auto [b, e] : splitTopLevel(t, by + 1, prevSig(t, site.end, by) + 1)) {
        const int last = prevSig(t, e, b);
        const bool desc = last >= b && isWord(t[last], u"desc");
        if (last >= b && (desc || isWord(t[last], u"asc")))
            e = last;
        const int first = nextSig(t, b, e);
        if (first >= e)
            return {};
        QString key = joinText(t, first, prevSig(t, e, first) + 1);
        // A position or an alias of the select list stands for that column's expression.
        if (isInteger(t[first]) && nextSig(t, first + 1, e) >= e) {
            const int at = t[first].text.toInt() - 1;
            if (at < 0 || at >= int(columns.size()))
                return {};
            const auto [cb, ce] = columns[size_t(at)];
            const int as = findTopLevel(t, cb, ce, [](const Token& k) { return isWord(k, u"as"); });
            key = joinText(t, cb, as).trimmed();
            if (key == QLatin1String("*") || key.endsWith(QLatin1String(".*")))
                return {};
        } else if (isName(t[first]) && nextSig(t, first + 1, e) >= e) {
            for (auto [cb, ce] : columns) {
                const int as =
                    findTopLevel(t, cb, ce, [](const Token& k) { return isWord(k, u"as"); });
                const int alias = nextSig(t, as + 1, ce);
                if (as < ce && alias < ce && bareName(t[alias]) == bareName(t[first]))
                    key = joinText(t, cb, as).trimmed();
            }
        }
        keys << key;
        descending << (desc ? QStringLiteral(" DESC") : QString());
    }
    const QString list = site.distinct ? joinText(t, site.rest, from).trimmed() + ", " : QString();
    const QString distinct = site.distinct ? QStringLiteral("DISTINCT ") : QString();
    QStringList all;
    QStringList nth;
    QStringList order2;
    for (int i = 0; i < keys.size(); ++i) {
        all << QStringLiteral("%1 AS zv_k%2").arg(keys[i]).arg(i);
        nth << QStringLiteral("%1 AS zv_n%2").arg(keys[i]).arg(i);
        order2 << keys[i] + descending[i];
    }
    // Sorts no later: earlier on a key, or equal on it and no later on the next ones.
    QString condition;
    for (qsizetype i = keys.size() - 1; i >= 0; --i) {
        const QString a = QStringLiteral("zv_all.zv_k%1").arg(i);
        const QString b = QStringLiteral("zv_nth.zv_n%1").arg(i);
        const QString earlier =
            descending[i].isEmpty()
                ? QStringLiteral("%1 < %2 OR (%1 IS NULL AND %2 IS NOT NULL)").arg(a, b)
                : QStringLiteral("%1 > %2 OR (%2 IS NULL AND %1 IS NOT NULL)").arg(a, b);
        const QString same = QStringLiteral("%1 IS %2").arg(a, b);
        condition = condition.isEmpty() ? earlier + " OR " + same
                                        : earlier + " OR (" + same + " AND (" + condition + "))";
    }
    const int n = site.count.toInt();
    return QStringLiteral("max(%1, (SELECT count(*) FROM (SELECT %2%3%4 %5) AS zv_all, (SELECT "
                          "%2%3%6 %5 ORDER BY %7 LIMIT 1 OFFSET %8) AS zv_nth WHERE %9))")
        .arg(site.count, distinct, list, all.join(", "), source, nth.join(", "), order2.join(", "),
             QString::number(n - 1), condition);
}

// Drops `TOP n` after SELECT [DISTINCT|ALL] and appends a limit after the last token of that
// SELECT's own scope (its closing parenthesis or the end of the statement), i.e. after any ORDER
// BY. A member of a UNION cannot carry LIMIT itself, so it is wrapped in a derived table.
// With an ORDER BY the rows tied with the n-th come along, as in Access: FETCH ... WITH TIES on
// PostgreSQL, a counted limit on SQLite. Nested TOPs, the form the paged search sends, keep the
// plain limit, so that every page has its size and a tied row never shows on two pages.
// TOP n PERCENT has no equivalent: it is reported, not rewritten.
Tokens rewriteTop(const Tokens& t, SqlDialect dialect, QString& unsupported) {
    const int n = int(t.size());
    std::vector<TopSite> sites;
    for (int s = 0; s < n; ++s) {
        if (!isWord(t[s], u"select"))
            continue;
        int k = nextSig(t, s + 1, n);
        const bool distinct = k < n && isOneOf(t[k], {u"distinct", u"distinctrow"});
        if (k < n && isOneOf(t[k], {u"distinct", u"all", u"distinctrow"}))
            k = nextSig(t, k + 1, n);
        if (k >= n || !isWord(t[k], u"top"))
            continue;
        const int top = k;
        QString count;
        int last = -1;
        k = nextSig(t, top + 1, n);
        if (k < n && isInteger(t[k])) {
            count = t[k].text;
            last = k;
        } else if (k < n && isPunct(t[k], u"(")) {
            const int m = nextSig(t, k + 1, n);
            const int c = m < n ? nextSig(t, m + 1, n) : n;
            if (c < n && isInteger(t[m]) && isPunct(t[c], u")")) {
                count = t[m].text;
                last = c;
            }
        }
        if (last < 0)
            continue;
        const int rest = nextSig(t, last + 1, n);
        if (rest >= n)
            continue;
        if (isWord(t[rest], u"percent")) {
            // The count of rows depends on the whole result: no LIMIT says that.
            unsupported = QStringLiteral("TOP n PERCENT");
            continue;
        }

        int depth = 0;
        int end = n;
        bool followed = false;
        bool ordered = false;
        for (int j = s + 1; j < n; ++j) {
            if (isPunct(t[j], u"(")) {
                ++depth;
            } else if (isPunct(t[j], u")")) {
                if (depth-- == 0) {
                    end = j;
                    break;
                }
            } else if (depth == 0 && isSetOperator(t[j])) {
                end = j;
                followed = true;
                break;
            } else if (depth == 0 && isWord(t[j], u"order")) {
                ordered = true;
            }
        }
        // The last member of a UNION is wrapped too, except when it has an ORDER BY: that sorts
        // the whole union, and LIMIT stays at the end with it.
        int previous = prevSig(t, s, 0);
        if (previous >= 0 && isWord(t[previous], u"all"))
            previous = prevSig(t, previous, 0);
        const bool preceded = previous >= 0 && isSetOperator(t[previous]);
        sites.push_back(
            {s, top, rest, end, count, distinct, followed || (preceded && !ordered), preceded});
    }
    if (sites.empty())
        return t;

    std::vector<bool> drop(n, false);
    std::vector<Tokens> before(n + 1);
    int wrapped = 0;
    for (const TopSite& site : sites) {
        bool nested = false;
        for (const TopSite& other : sites)
            nested = nested ||
                     (&other != &site && ((other.select > site.select && other.select < site.end) ||
                                          (site.select > other.select && site.select < other.end)));
        // A TOP in the last member of a UNION limits that member, but its ORDER BY sorts the
        // whole union, so there is no member order to find ties in.
        const QString ties = nested || site.lastMember ? QString() : tiesLimit(t, site);
        for (int j = site.top; j < site.rest; ++j)
            drop[j] = true;
        Tokens suffix{space()};
        if (ties.isEmpty()) {
            suffix.insert(suffix.end(), {word("LIMIT"), space(), {Tk::Number, site.count}});
        } else if (dialect == SqlDialect::Postgres) {
            suffix.insert(suffix.end(), {word("FETCH"),
                                         space(),
                                         word("FIRST"),
                                         space(),
                                         {Tk::Number, site.count},
                                         space(),
                                         word("ROWS"),
                                         space(),
                                         word("WITH"),
                                         space(),
                                         word("TIES")});
        } else {
            const Tokens limit = tokenize("LIMIT " + ties);
            suffix.insert(suffix.end(), limit.begin(), limit.end());
        }
        if (site.compound) {
            Tokens& prefix = before[site.select];
            for (const Token& tk :
                 {word("SELECT"), space(), punct("*"), space(), word("FROM"), space(), punct("(")})
                prefix.push_back(tk);
            suffix.push_back(punct(")"));
            suffix.push_back(space());
            suffix.push_back(word("AS"));
            suffix.push_back(space());
            suffix.push_back(word(QString("zv_top%1").arg(++wrapped)));
        }
        Tokens& at = before[prevSig(t, site.end, site.select) + 1];
        at.insert(at.end(), suffix.begin(), suffix.end());
    }
    Tokens out;
    for (int i = 0; i <= n; ++i) {
        out.insert(out.end(), before[i].begin(), before[i].end());
        if (i < n && !drop[i])
            out.push_back(t[i]);
    }
    return out;
}

// ---- Access multi-table UPDATE -> UPDATE ... FROM --------------------------------------------

struct TableRef {
    int begin = 0;   // first token of the name (or the '(' of a derived table)
    int nameEnd = 0; // past the name
    int end = 0;     // past the alias
    QString name;    // last part of the name, bare
    QString alias;   // bare alias, empty when none
    int aliasTok = -1;
    bool derived = false;
};

// Reads the table part of `UPDATE <tables> SET`: tables joined by commas or by [INNER] JOIN
// ... ON, with grouping parentheses. Outer joins are refused: moving their condition to WHERE
// would drop the rows without a match.
class JoinParser {
public:
    JoinParser(const Tokens& t, int begin, int end) : t_(t), pos_(begin), end_(end) {}

    bool parse() { return list(false) && peek() >= end_; }

    std::vector<TableRef> refs;
    std::vector<std::pair<int, int>> conditions;

private:
    int peek() { return pos_ = nextSig(t_, pos_, end_); }

    bool list(bool nested) {
        if (!source())
            return false;
        for (;;) {
            int p = peek();
            if (p >= end_ || isPunct(t_[p], u")"))
                return nested == (p < end_);
            if (isPunct(t_[p], u",")) {
                pos_ = p + 1;
                if (!source())
                    return false;
                continue;
            }
            if (isWord(t_[p], u"inner")) {
                pos_ = p + 1;
                p = peek();
            }
            if (p >= end_ || !isWord(t_[p], u"join"))
                return false;
            pos_ = p + 1;
            if (!source())
                return false;
            p = peek();
            if (p >= end_ || !isWord(t_[p], u"on"))
                return false;
            pos_ = p + 1;
            condition();
        }
    }

    bool source() {
        const int p = peek();
        if (p >= end_)
            return false;
        TableRef ref;
        ref.begin = p;
        if (isPunct(t_[p], u"(")) {
            const int q = nextSig(t_, p + 1, end_);
            if (q < end_ && isWord(t_[q], u"select")) {
                const int close = matchParen(t_, p, end_);
                if (close >= end_)
                    return false;
                ref.derived = true;
                ref.nameEnd = close + 1;
                pos_ = close + 1;
            } else {
                pos_ = p + 1;
                if (!list(true))
                    return false;
                pos_ = peek() + 1; // the ')' checked by list()
                return true;
            }
        } else {
            if (!isName(t_[p]) || isKeyword(t_[p]))
                return false;
            int last = p;
            pos_ = p + 1;
            for (;;) {
                const int dot = peek();
                const int part = dot < end_ ? nextSig(t_, dot + 1, end_) : end_;
                if (part >= end_ || !isPunct(t_[dot], u".") || !isName(t_[part]))
                    break;
                last = part;
                pos_ = part + 1;
            }
            ref.name = bareName(t_[last]);
            ref.nameEnd = last + 1;
        }
        ref.end = ref.nameEnd;
        int a = peek();
        if (a < end_ && isWord(t_[a], u"as")) {
            pos_ = a + 1;
            a = peek();
            if (a >= end_ || !isName(t_[a]))
                return false;
        }
        if (a < end_ && isName(t_[a]) && !isKeyword(t_[a])) {
            ref.alias = bareName(t_[a]);
            ref.aliasTok = a;
            ref.end = a + 1;
            pos_ = a + 1;
        }
        refs.push_back(ref);
        return true;
    }

    void condition() {
        const int begin = peek();
        int depth = 0;
        int j = begin;
        for (; j < end_; ++j) {
            if (isPunct(t_[j], u"(")) {
                ++depth;
            } else if (isPunct(t_[j], u")")) {
                if (depth-- == 0)
                    break;
            } else if (depth == 0 &&
                       (isPunct(t_[j], u",") || isOneOf(t_[j], {u"inner", u"left", u"right",
                                                                u"full", u"cross", u"join"}))) {
                break;
            }
        }
        conditions.emplace_back(begin, prevSig(t_, j, begin) + 1);
        pos_ = j;
    }

    const Tokens& t_;
    int pos_;
    int end_;
};

bool hasTopLevelOr(const Tokens& t, int b, int e) {
    int depth = 0;
    for (int i = b; i < e; ++i) {
        if (isPunct(t[i], u"("))
            ++depth;
        else if (isPunct(t[i], u")"))
            --depth;
        else if (depth == 0 && isWord(t[i], u"or"))
            return true;
    }
    return false;
}

void append(Tokens& out, const Tokens& t, int b, int e) {
    out.insert(out.end(), t.begin() + b, t.begin() + e);
}

// SQLite and PostgreSQL reject qualified SET targets and the Access join syntax. The target is
// the table that the SET targets name (the first table when they are unqualified); the other
// tables move to FROM and the join conditions to WHERE, ahead of the original condition.
Tokens rewriteUpdate(const Tokens& t, QString& unsupported) {
    const int n = int(t.size());
    const int upd = nextSig(t, 0, n);
    if (upd >= n || !isWord(t[upd], u"update"))
        return t;
    int set = -1;
    int where = n;
    int depth = 0;
    for (int i = upd + 1; i < n; ++i) {
        if (isPunct(t[i], u"("))
            ++depth;
        else if (isPunct(t[i], u")"))
            --depth;
        else if (depth == 0 && set < 0 && isWord(t[i], u"set"))
            set = i;
        else if (depth == 0 && set >= 0 && isWord(t[i], u"where")) {
            where = i;
            break;
        }
    }
    if (set < 0)
        return t;
    JoinParser tables(t, upd + 1, set);
    if (!tables.parse()) {
        for (int i = upd + 1; i < set; ++i)
            if (isOneOf(t[i], {u"left", u"right", u"full"}))
                unsupported = QStringLiteral("UPDATE 中的外连接");
        return t;
    }

    // Qualifier of each SET target ("a.c = ..."): the tokens to drop and the table they name.
    std::vector<bool> drop(n, false);
    int target = -1;
    bool qualified = false;
    depth = 0;
    int itemStart = set + 1;
    for (int i = set + 1; i <= where; ++i) {
        if (i < where && isPunct(t[i], u"("))
            ++depth;
        else if (i < where && isPunct(t[i], u")"))
            --depth;
        if (i < where && !(depth == 0 && isPunct(t[i], u",")))
            continue;
        // One assignment in [itemStart, i): name (. name)* = expression.
        std::vector<int> parts;
        int k = nextSig(t, itemStart, i);
        while (k < i && isName(t[k])) {
            parts.push_back(k);
            const int dot = nextSig(t, k + 1, i);
            if (dot >= i || !isPunct(t[dot], u"."))
                break;
            k = nextSig(t, dot + 1, i);
        }
        if (parts.size() >= 2) {
            const QString q = bareName(t[parts[parts.size() - 2]]);
            int match = -1;
            for (int r = 0; r < int(tables.refs.size()); ++r) {
                const TableRef& ref = tables.refs[r];
                if (!ref.derived && (ref.alias == q || (ref.alias.isEmpty() && ref.name == q)))
                    match = r;
            }
            if (match < 0 || (target >= 0 && target != match))
                return t;
            target = match;
            qualified = true;
            for (int d = parts.front(); d < parts.back(); ++d)
                drop[d] = true;
        }
        itemStart = i + 1;
    }
    if (target < 0)
        target = 0;
    const TableRef& tgt = tables.refs[target];
    if (tgt.derived)
        return t;
    // SQLite accepts an alias on the UPDATE target only after AS.
    const bool needsAs = tgt.aliasTok >= 0 && !isWord(t[prevSig(t, tgt.aliasTok, 0)], u"as");
    if (tables.refs.size() == 1) {
        if (!qualified && !needsAs)
            return t;
        Tokens out;
        for (int i = 0; i < n; ++i) {
            if (needsAs && i == tgt.aliasTok) {
                out.push_back(word("AS"));
                out.push_back(space());
            }
            if (!drop[i])
                out.push_back(t[i]);
        }
        return out;
    }

    const int last = prevSig(t, n, 0);
    Tokens out;
    append(out, t, 0, upd + 1);
    out.push_back(space());
    append(out, t, tgt.begin, tgt.nameEnd);
    if (tgt.aliasTok >= 0) {
        for (const Token& tk : {space(), word("AS"), space(), t[tgt.aliasTok]})
            out.push_back(tk);
    }
    out.push_back(space());
    const int setEnd = prevSig(t, where, set) + 1;
    for (int i = set; i < setEnd; ++i)
        if (!drop[i])
            out.push_back(t[i]);
    out.push_back(space());
    out.push_back(word("FROM"));
    bool first = true;
    for (int r = 0; r < int(tables.refs.size()); ++r) {
        if (r == target)
            continue;
        if (!first)
            out.push_back(punct(","));
        out.push_back(space());
        append(out, t, tables.refs[r].begin, tables.refs[r].end);
        first = false;
    }
    const bool hasWhere = where < n && where < last;
    if (!tables.conditions.empty() || hasWhere) {
        out.push_back(space());
        out.push_back(word("WHERE"));
        first = true;
        for (const auto& [b, e] : tables.conditions) {
            if (!first) {
                out.push_back(space());
                out.push_back(word("AND"));
            }
            out.push_back(space());
            const bool wrap = hasTopLevelOr(t, b, e);
            if (wrap)
                out.push_back(punct("("));
            append(out, t, b, e);
            if (wrap)
                out.push_back(punct(")"));
            first = false;
        }
        if (hasWhere) {
            const int body = nextSig(t, where + 1, n);
            if (!first) {
                for (const Token& tk : {space(), word("AND"), space(), punct("(")})
                    out.push_back(tk);
            } else {
                out.push_back(space());
            }
            append(out, t, body, last + 1);
            if (!first)
                out.push_back(punct(")"));
        }
    }
    append(out, t, last + 1, n);
    return out;
}

// ---- date literals, DELETE, DISTINCTROW, TRANSFORM ------------------------------------------

// #2018-12-28#, #2018/12/28 10:30#, #12/28/2018# (month first, as Access reads it) become the
// texts the account set stores dates as. Anything else between # is left for the engine.
Tokens rewriteDateLiterals(const Tokens& t) {
    const int n = int(t.size());
    Tokens out;
    for (int i = 0; i < n; ++i) {
        if (!isPunct(t[i], u"#")) {
            out.push_back(t[i]);
            continue;
        }
        int close = i + 1;
        while (close < n && close - i < 16 && !isPunct(t[close], u"#") &&
               (t[close].kind == Tk::Number || t[close].kind == Tk::Space ||
                t[close].kind == Tk::Punct || isOneOf(t[close], {u"am", u"pm"})))
            ++close;
        if (close >= n || !isPunct(t[close], u"#")) {
            out.push_back(t[i]);
            continue;
        }
        static const QRegularExpression shape(QStringLiteral(
            R"(^\s*(\d{1,4})([-/])(\d{1,2})[-/](\d{1,4})(?:\s+(\d{1,2}):(\d{2})(?::(\d{2}))?\s*([AaPp][Mm])?)?\s*$)"));
        const QRegularExpressionMatch m = shape.match(joinText(t, i + 1, close));
        if (!m.hasMatch()) {
            out.push_back(t[i]);
            continue;
        }
        const bool yearFirst = m.captured(1).size() == 4;
        const int year = (yearFirst ? m.captured(1) : m.captured(4)).toInt();
        const int month = (yearFirst ? m.captured(3) : m.captured(1)).toInt();
        const int day = (yearFirst ? m.captured(4) : m.captured(3)).toInt();
        int hour = m.captured(5).toInt();
        const QString half = m.captured(8).toLower();
        if (half == QLatin1String("pm") && hour < 12)
            hour += 12;
        else if (half == QLatin1String("am") && hour == 12)
            hour = 0;
        const QDate date(year, month, day);
        const QTime time(hour, m.captured(6).toInt(), m.captured(7).toInt());
        if (!date.isValid() || !time.isValid()) {
            out.push_back(t[i]);
            continue;
        }
        QString text = date.toString(QStringLiteral("yyyy-MM-dd"));
        if (!m.captured(5).isEmpty())
            text += time.toString(QStringLiteral(" HH:mm:ss"));
        out.push_back({Tk::Text, '\'' + text + '\''});
        i = close;
    }
    return out;
}

// A table in a FROM clause made by a subquery may go without a name in Access and SQLite;
// PostgreSQL before 16 requires one, so each unnamed one gets its own.
Tokens nameDerivedTables(const Tokens& t) {
    const int n = int(t.size());
    std::vector<bool> inFrom{false}; // per parenthesis depth: between FROM and the clause's end
    std::vector<int> opens;          // '(' positions, innermost last
    std::vector<int> derived;        // the ')' of unnamed derived tables
    for (int i = 0; i < n; ++i) {
        const Token& tk = t[i];
        if (!isSig(tk))
            continue;
        if (isPunct(tk, u"(")) {
            opens.push_back(i);
            inFrom.push_back(false);
        } else if (isPunct(tk, u")") && !opens.empty()) {
            const int open = opens.back();
            opens.pop_back();
            inFrom.pop_back();
            const int first = nextSig(t, open + 1, n);
            const bool fromItem = inFrom.back() && first < n && isWord(t[first], u"select");
            const int before = prevSig(t, open, 0);
            const bool placed =
                before >= 0 && (isOneOf(t[before], {u"from", u"join"}) ||
                                isPunct(t[before], u",") || isPunct(t[before], u"("));
            const int after = nextSig(t, i + 1, n);
            const bool named = after < n && (isWord(t[after], u"as") ||
                                             (isName(t[after]) && !isKeyword(t[after])));
            if (fromItem && placed && !named)
                derived.push_back(i);
        } else if (isWord(tk, u"from") || isWord(tk, u"join")) {
            inFrom.back() = true;
        } else if (isOneOf(tk, {u"where", u"group", u"order", u"having", u"union", u"except",
                                u"intersect", u"limit", u"on", u"select", u"set"})) {
            inFrom.back() = false;
        }
    }
    if (derived.empty())
        return t;
    Tokens out;
    size_t next = 0;
    for (int i = 0; i < n; ++i) {
        out.push_back(t[i]);
        if (next < derived.size() && derived[next] == i) {
            out.insert(out.end(),
                       {space(), word("AS"), space(), word(QStringLiteral("zv_t%1").arg(++next))});
        }
    }
    return out;
}

// DELETE * FROM t, DELETE t.* FROM t and DELETE FROM t alias: Access's forms of DELETE. The
// column list goes and an alias takes AS, which both engines accept.
Tokens rewriteDelete(const Tokens& t) {
    const int n = int(t.size());
    const int del = nextSig(t, 0, n);
    if (del >= n || !isWord(t[del], u"delete"))
        return t;
    int from = nextSig(t, del + 1, n);
    while (from < n && !isWord(t[from], u"from") &&
           (t[from].kind != Tk::Punct || isPunct(t[from], u"*") || isPunct(t[from], u".")))
        from = nextSig(t, from + 1, n);
    if (from >= n || !isWord(t[from], u"from"))
        return t;
    const bool listed = from != nextSig(t, del + 1, n);
    int name = nextSig(t, from + 1, n);
    if (name >= n || !isName(t[name]))
        return t;
    for (int dot = nextSig(t, name + 1, n); dot < n && isPunct(t[dot], u".");
         dot = nextSig(t, name + 1, n))
        name = nextSig(t, dot + 1, n);
    const int alias = nextSig(t, name + 1, n);
    const bool bareAlias = alias < n && isName(t[alias]) && !isKeyword(t[alias]);
    if (!listed && !bareAlias)
        return t;
    Tokens out;
    append(out, t, 0, del + 1);
    out.push_back(space());
    append(out, t, from, name + 1);
    if (bareAlias) {
        out.push_back(space());
        out.push_back(word("AS"));
    }
    append(out, t, name + 1, n);
    return out;
}

// DISTINCTROW drops duplicate records of the tables, which on one table is no rewrite at all;
// over a join it is not DISTINCT and is reported.
Tokens rewriteDistinctRow(const Tokens& t, QString& unsupported) {
    const int n = int(t.size());
    std::vector<bool> drop(n, false);
    bool changed = false;
    for (int i = 0; i < n; ++i) {
        if (!isWord(t[i], u"distinctrow"))
            continue;
        int depth = 0;
        bool inFrom = false;
        bool joined = false;
        for (int j = i + 1; j < n; ++j) {
            if (isPunct(t[j], u"("))
                ++depth;
            else if (isPunct(t[j], u")") && depth-- == 0)
                break;
            else if (depth == 0 && isWord(t[j], u"from"))
                inFrom = true;
            else if (depth == 0 && (isOneOf(t[j], {u"where", u"group", u"order", u"having"}) ||
                                    isSetOperator(t[j])))
                break;
            else if (inFrom && depth == 0 && (isWord(t[j], u"join") || isPunct(t[j], u",")))
                joined = true;
        }
        if (joined) {
            unsupported = QStringLiteral("多表查询中的 DISTINCTROW");
            continue;
        }
        drop[i] = true;
        const int next = i + 1;
        if (next < n && t[next].kind == Tk::Space)
            drop[next] = true;
        changed = true;
    }
    if (!changed)
        return t;
    Tokens out;
    for (int i = 0; i < n; ++i)
        if (!drop[i])
            out.push_back(t[i]);
    return out;
}

// ---- expressions ---------------------------------------------------------------------------

QString quoteLowerIdent(const QString& bracketed) {
    QString name = bracketed.mid(1, bracketed.size() - 2);
    // Bare names fold to lower case on PostgreSQL; fold ASCII the same way so that [Name] finds
    // the column that `Name` would find.
    for (QChar& c : name)
        if (c.unicode() < 128)
            c = c.toLower();
    return '"' + name.replace('"', QLatin1String("\"\"")) + '"';
}

class Emitter {
public:
    Emitter(const Tokens& t, SqlDialect d) : t_(t), d_(d) {}

    QString render() const { return level(0, int(t_.size())); }
    // The first construct met that has no faithful rewrite; empty when none.
    QString unsupported() const { return unsupported_; }

private:
    struct Item {
        enum Kind { Tok, Group, Call } kind;
        int begin;
        int end;
        int open;  // '(' of a group or call
        int close; // its ')', or the range end when missing
    };
    using Items = std::vector<Item>;

    const Token& tok(const Item& it) const { return t_[it.begin]; }
    bool sig(const Item& it) const { return it.kind != Item::Tok || isSig(tok(it)); }
    bool isOp(const Item& it, QStringView p) const {
        return it.kind == Item::Tok && isPunct(tok(it), p);
    }

    // The one significant item of [s, e); null when there is none or more than one.
    const Item* loneItem(const Items& its, size_t s, size_t e) const {
        const Item* only = nullptr;
        for (size_t k = s; k < e; ++k) {
            if (!sig(its[k]))
                continue;
            if (only)
                return nullptr;
            only = &its[k];
        }
        return only;
    }

    Items items(int b, int e) const {
        Items out;
        int prev = -1; // last significant token, to keep "x.len(" a name
        for (int i = b; i < e;) {
            const Token& tk = t_[i];
            if (isPunct(tk, u"(")) {
                const int c = matchParen(t_, i, e);
                out.push_back({Item::Group, i, c < e ? c + 1 : e, i, c});
            } else if (tk.kind == Tk::Word &&
                       (!isKeyword(tk) || isOneOf(tk, {u"left", u"right"})) &&
                       !isWord(tk, u"mod") && !(prev >= 0 && isPunct(t_[prev], u"."))) {
                const int p = nextSig(t_, i + 1, e);
                if (p < e && isPunct(t_[p], u"(")) {
                    const int c = matchParen(t_, p, e);
                    out.push_back({Item::Call, i, c < e ? c + 1 : e, p, c});
                } else {
                    out.push_back({Item::Tok, i, i + 1, -1, -1});
                }
            } else {
                out.push_back({Item::Tok, i, i + 1, -1, -1});
            }
            if (isSig(tk))
                prev = i;
            i = out.back().end;
        }
        return out;
    }

    bool isBoundary(const Item& it) const {
        if (it.kind != Item::Tok)
            return false;
        const Token& tk = tok(it);
        static const QStringList stops = {",", ";", "=", "<", ">", "<>", "<=", ">=", "!=", "=="};
        if (tk.kind == Tk::Punct)
            return stops.contains(tk.text);
        return isKeyword(tk);
    }

    bool isEquality(const Item& it) const {
        return isOp(it, u"=") || isOp(it, u"<>") || isOp(it, u"!=") || isOp(it, u"==");
    }

    // An operator or keyword that makes a truth value of its operands.
    bool isConditionOperator(const Item& it) const {
        static const QStringList comparisons = {"=", "<", ">", "<>", "<=", ">=", "!=", "=="};
        return it.kind == Item::Tok &&
               ((tok(it).kind == Tk::Punct && comparisons.contains(tok(it).text)) ||
                isOneOf(tok(it), {u"like", u"is", u"in", u"between", u"not", u"and", u"or"}));
    }

    // Whether [b, e) is a comparison or a logical expression, alone or in parentheses; a CASE
    // or a subquery is not, though it holds comparisons.
    bool isCondition(int b, int e) const {
        const Items its = items(b, e);
        const Item* only = nullptr;
        int count = 0;
        bool condition = false;
        for (const Item& it : its) {
            if (!sig(it))
                continue;
            if (it.kind == Item::Tok && isOneOf(tok(it), {u"case", u"select", u"exists"}))
                return false;
            condition = condition || isConditionOperator(it);
            only = &it;
            ++count;
        }
        if (condition)
            return true;
        return count == 1 && only->kind == Item::Group && isCondition(only->open + 1, only->close);
    }

    // The select-list items of [0, its.size()) whose value is a truth value, as [first, last]
    // significant item indexes. Access gives such a value as -1 or 0, SQLite as 1 or 0 and
    // PostgreSQL as a boolean.
    std::vector<std::pair<size_t, size_t>> truthColumns(const Items& its) const {
        std::vector<std::pair<size_t, size_t>> out;
        for (size_t k = 0; k < its.size(); ++k) {
            if (its[k].kind != Item::Tok || !isWord(tok(its[k]), u"select"))
                continue;
            size_t start = k + 1;
            while (start < its.size() &&
                   (!sig(its[start]) ||
                    (its[start].kind == Item::Tok &&
                     isOneOf(tok(its[start]), {u"distinct", u"all", u"distinctrow"}))))
                ++start;
            size_t j = start;
            size_t alias = its.size();
            for (; j <= its.size(); ++j) {
                const bool last =
                    j == its.size() ||
                    (its[j].kind == Item::Tok &&
                     (isPunct(tok(its[j]), u",") || isPunct(tok(its[j]), u";") ||
                      isOneOf(tok(its[j]), {u"from", u"into", u"union", u"except", u"intersect",
                                            u"order", u"where", u"group", u"having", u"limit"})));
                if (j < its.size() && its[j].kind == Item::Tok && isWord(tok(its[j]), u"as"))
                    alias = std::min(alias, j);
                if (!last)
                    continue;
                const size_t end = std::min(alias, j);
                size_t first = start;
                while (first < end && !sig(its[first]))
                    ++first;
                size_t final = end;
                while (final > first && !sig(its[final - 1]))
                    --final;
                if (first < final && isCondition(its[first].begin, its[final - 1].end))
                    out.emplace_back(first, final - 1);
                if (j == its.size() || !isPunct(tok(its[j]), u","))
                    break;
                start = j + 1;
                alias = its.size();
            }
            k = j;
        }
        return out;
    }

    // A text compared with = or <> the way Access compares texts, ignoring case. Only a text
    // with letters that have case needs it, so a comparison with a number, a date or Chinese
    // text keeps the engine's index. SQLite's NOCASE folds ASCII only, as its indexes do; a
    // text with other cased letters takes a collation of ours.
    QString caseless(const Items& its, size_t s, size_t e, const QString& text) const {
        if (d_ != SqlDialect::Sqlite)
            return text;
        const Item* only = loneItem(its, s, e);
        if (!only || only->kind != Item::Tok || tok(*only).kind != Tk::Text)
            return text;
        bool cased = false;
        bool ascii = true;
        for (QChar c : tok(*only).text) {
            if (c.toLower() != c.toUpper()) {
                cased = true;
                ascii = ascii && c.unicode() < 128;
            }
        }
        if (!cased)
            return text;
        qsizetype tail = text.size();
        while (tail > 0 && text[tail - 1].isSpace())
            --tail;
        return text.left(tail) + (ascii ? " COLLATE NOCASE" : " COLLATE zv_nocase") +
               text.mid(tail);
    }

    // A condition as Access's value of it: -1 for true, 0 for false. `grouped`: the condition
    // is one parenthesised group already.
    QString truthValue(const QString& condition, bool grouped) const {
        const QString inner = grouped ? condition : '(' + condition + ')';
        return d_ == SqlDialect::Sqlite ? '-' + inner : "-CAST(" + inner + " AS integer)";
    }

    // A comparison in parentheses that is an operand of arithmetic or & is a value, -1 or 0 in
    // Access; alone between boundaries it is a condition and stays as it is.
    void markTruthOperands(const Items& its, size_t s, size_t e) const {
        int count = 0;
        for (size_t k = s; k < e; ++k)
            count += sig(its[k]) ? 1 : 0;
        if (count < 2)
            return;
        for (size_t k = s; k < e; ++k)
            if (its[k].kind == Item::Group && isCondition(its[k].open + 1, its[k].close))
                truthGroups_.insert(its[k].open);
    }

    // Expression text with boundaries (commas, comparisons, keywords) copied through and the
    // operands in between rewritten.
    QString level(int b, int e) const {
        const Items its = items(b, e);
        const auto truth = truthColumns(its);
        QString out;
        size_t start = 0;
        bool afterLike = false;
        qsizetype likeAt = 0; // where the last boundary word, LIKE or not, was written
        bool afterEquality = false;
        bool assigning = false;
        size_t column = 0;
        qsizetype columnAt = -1;
        for (size_t k = 0; k <= its.size(); ++k) {
            if (column < truth.size() && k == truth[column].first)
                columnAt = out.size();
            const bool boundary = k == its.size() || isBoundary(its[k]);
            if (boundary) {
                const bool escaped = k < its.size() && isWord(tok(its[k]), u"escape");
                likeOperator_.clear();
                const QString pattern =
                    afterLike && !escaped ? likePattern(its, start, k) : QString();
                if (!likeOperator_.isEmpty())
                    out.replace(likeAt, 4, likeOperator_);
                markTruthOperands(its, start, k);
                QString text = pattern.isNull() ? segment(its, start, k) : pattern;
                // PostgreSQL reads "\" in a LIKE pattern as its escape; Access and SQLite read
                // it as itself.
                if (afterLike && !escaped && pattern.isNull() && d_ == SqlDialect::Postgres)
                    text = withEscapeOff(text);
                if (!assigning && (afterEquality || (k < its.size() && isEquality(its[k]))))
                    text = caseless(its, start, k, text);
                out += text;
            }
            if (columnAt >= 0 && boundary && k > truth[column].second) {
                qsizetype lead = columnAt;
                while (lead < out.size() && out[lead].isSpace())
                    ++lead;
                qsizetype tail = out.size();
                while (tail > lead && out[tail - 1].isSpace())
                    --tail;
                out =
                    out.left(lead) + truthValue(out.mid(lead, tail - lead), false) + out.mid(tail);
                columnAt = -1;
                ++column;
            }
            if (!boundary)
                continue;
            likeAt = out.size();
            if (k < its.size())
                out += token(its[k].begin);
            afterLike = k < its.size() && isWord(tok(its[k]), u"like");
            afterEquality = k < its.size() && isEquality(its[k]);
            // SET a = 'X' assigns; its = compares nothing.
            if (k < its.size() && isWord(tok(its[k]), u"set"))
                assigning = true;
            else if (k < its.size() && isWord(tok(its[k]), u"where"))
                assigning = false;
            start = k + 1;
        }
        return out;
    }

    // `operand` followed by ESCAPE '', before its trailing blanks.
    static QString withEscapeOff(const QString& operand) {
        qsizetype tail = operand.size();
        while (tail > 0 && operand[tail - 1].isSpace())
            --tail;
        return operand.left(tail) + QStringLiteral(" ESCAPE ''") + operand.mid(tail);
    }

    // A LIKE pattern with a class of several characters, a range or [!..]: LIKE has none, so
    // the comparison becomes SQLite's REGEXP (a function of ours, ignoring case as Access's
    // LIKE does) or PostgreSQL's SIMILAR TO, which reads % _ and classes as Access does. Null
    // when a class is not closed.
    QString classPattern(const QString& body) const {
        const bool sqlite = d_ == SqlDialect::Sqlite;
        QString out = sqlite ? QStringLiteral("\\A(?:") : QString();
        for (qsizetype i = 0; i < body.size(); ++i) {
            const QChar c = body[i];
            if (c != u'[') {
                if (sqlite)
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
        return sqlite ? out + QStringLiteral(")\\z") : out;
    }

    // A LIKE pattern written as one text with Access's [..] classes. On SQLite a class of one
    // character stands for that character (escaped when it is % or _); other classes take
    // classPattern, and `likeOperator_` says what replaces LIKE. Null when the operand is not
    // such a text.
    QString likePattern(const Items& its, size_t s, size_t e) const {
        const Item* only = loneItem(its, s, e);
        if (!only || only->kind != Item::Tok || tok(*only).kind != Tk::Text)
            return {};
        const QString quoted = token(only->begin);
        if (!quoted.contains(u'['))
            return {};
        const QString body = quoted.mid(1, quoted.size() - 2);
        auto replaced = [&](const QString& pattern) {
            QString out;
            for (size_t k = s; k < e; ++k)
                out += k == size_t(only - its.data()) ? pattern : item(its[k]);
            return out;
        };
        QString pattern;
        bool escape = false;
        for (qsizetype i = 0; i < body.size(); ++i) {
            if (body[i] != u'[') {
                pattern += body[i] == u'\\' ? QStringLiteral("\\\\") : QString(body[i]);
                escape = escape || body[i] == u'\\';
                continue;
            }
            const qsizetype close = body.indexOf(u']', i + 2);
            const QString inside = close < 0 ? QString() : body.mid(i + 1, close - i - 1);
            if (inside.size() != 1 || inside == QLatin1String("!") || d_ != SqlDialect::Sqlite) {
                const QString classes = classPattern(body);
                if (classes.isNull()) {
                    unsupported_ = QStringLiteral("LIKE 中的字符类 %1").arg(body.mid(i));
                    return {};
                }
                likeOperator_ = d_ == SqlDialect::Sqlite ? QStringLiteral("REGEXP")
                                                         : QStringLiteral("SIMILAR TO");
                return replaced(quoteText(classes));
            }
            if (inside == QLatin1String("%") || inside == QLatin1String("_")) {
                pattern += u'\\';
                escape = true;
            }
            pattern += inside;
            i = close;
        }
        QString out = replaced('\'' + pattern + '\'');
        if (escape) {
            qsizetype tail = out.size();
            while (tail > 0 && out[tail - 1].isSpace())
                --tail;
            out = out.left(tail) + QStringLiteral(" ESCAPE '\\'") + out.mid(tail);
        }
        return out;
    }

    // Splits [s, e) at items that are the operator `op`.
    std::vector<std::pair<size_t, size_t>> split(const Items& its, size_t s, size_t e,
                                                 QStringView op) const {
        std::vector<std::pair<size_t, size_t>> parts;
        size_t start = s;
        for (size_t k = s; k <= e; ++k) {
            if (k == e || isOp(its[k], op)) {
                parts.emplace_back(start, k);
                start = k + 1;
            }
        }
        return parts;
    }

    bool hasSig(const Items& its, size_t s, size_t e) const {
        for (size_t k = s; k < e; ++k)
            if (sig(its[k]))
                return true;
        return false;
    }

    // One operand between boundaries. Access joins texts with & always and with + when a term
    // is text; both become ||, with the terms parenthesised where || would bind differently.
    QString segment(const Items& its, size_t s, size_t e) const {
        const auto parts = split(its, s, e, u"&");
        if (parts.size() == 1)
            return chain(its, s, e);
        if (d_ == SqlDialect::Sqlite) {
            // Access reads Null as empty text in &; || would make the whole text Null.
            QString out;
            for (size_t p = 0; p < parts.size(); ++p)
                out += (p > 0 ? QStringLiteral(", ") : QString()) +
                       chain(its, parts[p].first, parts[p].second).trimmed();
            const QString lead = leadingBlanks(its, s, e);
            return lead + QStringLiteral("zv_concat(") + out + ')' + trailingBlanks(its, s, e);
        }
        // concat() joins any types and reads Null as empty text; only all Nulls give Null.
        QStringList terms;
        for (const auto& [b, f] : parts)
            terms << chain(its, b, f).trimmed();
        const QString list = terms.join(QLatin1String(", "));
        return leadingBlanks(its, s, e) +
               QStringLiteral("CASE WHEN num_nulls(%1) = %2 THEN NULL ELSE concat(%1) END")
                   .arg(list)
                   .arg(terms.size()) +
               trailingBlanks(its, s, e);
    }

    // The blanks before the first and after the last significant item of [s, e).
    QString leadingBlanks(const Items& its, size_t s, size_t e) const {
        QString out;
        for (size_t k = s; k < e && !sig(its[k]); ++k)
            out += item(its[k]);
        return out;
    }
    QString trailingBlanks(const Items& its, size_t s, size_t e) const {
        QString out;
        for (size_t k = e; k > s && !sig(its[k - 1]); --k)
            out.prepend(item(its[k - 1]));
        return out;
    }

    bool isArithmetic(const Item& it) const {
        return it.kind == Item::Tok && (isPunct(tok(it), u"/") || isPunct(tok(it), u"\\") ||
                                        isPunct(tok(it), u"^") || isWord(tok(it), u"mod"));
    }

    // An operator item: + - * / \ ^ or Mod.
    bool isOperator(const Item& it) const {
        return isArithmetic(it) || isOp(it, u"+") || isOp(it, u"-") || isOp(it, u"*");
    }

    // Indexes of the significant items of [s, e) that are the binary operators `ops`: an
    // operator right after another one (or first) is a sign, not a binary operator.
    std::vector<size_t> binaryAt(const Items& its, size_t s, size_t e,
                                 std::initializer_list<QStringView> ops) const {
        std::vector<size_t> at;
        bool operand = false;
        for (size_t k = s; k < e; ++k) {
            if (!sig(its[k]))
                continue;
            bool match = false;
            if (its[k].kind == Item::Tok)
                for (QStringView op : ops)
                    match = match || isPunct(tok(its[k]), op) ||
                            (op == u"mod" && isWord(tok(its[k]), u"mod"));
            if (match && operand)
                at.push_back(k);
            operand = !isOperator(its[k]);
        }
        return at;
    }

    // Access's arithmetic for SQLite, by Access's precedence (^, sign, * and /, \, Mod, + and
    // -): / divides decimals, \ and Mod work on rounded whole numbers and ^ is a power, each a
    // function of ours, so the engine's own precedence never applies to them.
    QString arithmetic(const Items& its, size_t s, size_t e) const {
        static const std::initializer_list<QStringView> levels[] = {
            {u"+", u"-"}, {u"mod"}, {u"\\"}, {u"*", u"/"}, {u"^"}};
        return operation(its, s, e, 0, levels);
    }

    template <size_t N>
    QString operation(const Items& its, size_t s, size_t e, size_t depth,
                      const std::initializer_list<QStringView> (&levels)[N]) const {
        if (depth == N) {
            QString out;
            for (size_t k = s; k < e; ++k)
                out += item(its[k]);
            return out.trimmed();
        }
        const std::vector<size_t> at = binaryAt(its, s, e, levels[depth]);
        if (depth == N - 1 && !at.empty()) {
            // A sign before a power applies to the power: -2 ^ 2 is -4.
            size_t first = s;
            while (first < e && !sig(its[first]))
                ++first;
            if (isOp(its[first], u"-") || isOp(its[first], u"+"))
                return tok(its[first]).text + '(' + operation(its, first + 1, e, depth, levels) +
                       ')';
        }
        if (at.empty())
            return operation(its, s, e, depth + 1, levels);
        QString acc = operation(its, s, at[0], depth + 1, levels);
        bool infix = false;
        for (size_t i = 0; i < at.size(); ++i) {
            const size_t end = i + 1 < at.size() ? at[i + 1] : e;
            const QString right = operation(its, at[i] + 1, end, depth + 1, levels);
            const Token& op = tok(its[at[i]]);
            const bool sqlite = d_ == SqlDialect::Sqlite;
            if (!sqlite && isPunct(op, u"/"))
                acc = "CAST(" + acc + " AS double precision) / " + right;
            else if (!sqlite && isPunct(op, u"^"))
                acc = "power(CAST(" + acc + " AS double precision), " + right + ')';
            else if (!sqlite)
                acc += ' ' + op.text + ' ' + right;
            else if (isWord(op, u"mod"))
                acc = "zv_mod(" + acc + ", " + right + ')';
            else if (isPunct(op, u"\\"))
                acc = "zv_intdiv(" + acc + ", " + right + ')';
            else if (isPunct(op, u"/"))
                acc = "zv_div(" + acc + ", " + right + ')';
            else if (isPunct(op, u"^"))
                acc = "zv_pow(" + acc + ", " + right + ')';
            else
                acc += ' ' + op.text + ' ' + right;
            infix = !isArithmetic(its[at[i]]);
        }
        // A sum or product inside a higher operator keeps its own order.
        return depth > 0 && infix ? '(' + acc + ')' : acc;
    }

    QString chain(const Items& its, size_t s, size_t e) const {
        // PostgreSQL divides integers as integers and has its own ^; Mod and \ it lacks, and
        // they stay for it to refuse.
        for (size_t k = s; k < e; ++k)
            if (d_ == SqlDialect::Sqlite ? isArithmetic(its[k])
                                         : isOp(its[k], u"/") || isOp(its[k], u"^"))
                return leadingBlanks(its, s, e) + arithmetic(its, s, e) + trailingBlanks(its, s, e);
        const auto terms = split(its, s, e, u"+");
        bool text = false;
        bool complete = true;
        for (const auto& [b, f] : terms) {
            complete = complete && hasSig(its, b, f);
            text = text || isTextTerm(its, b, f);
        }
        if (terms.size() < 2 || !text || !complete) {
            QString out;
            for (size_t k = s; k < e; ++k)
                out += item(its[k]);
            return out;
        }
        QString out;
        for (size_t p = 0; p < terms.size(); ++p) {
            if (p > 0)
                out += QLatin1String("||");
            QString body;
            for (size_t k = terms[p].first; k < terms[p].second; ++k)
                body += item(its[k]);
            out += term(its, terms[p].first, terms[p].second, body);
        }
        return out;
    }

    // `body` (the emitted text of items [s, e)) in parentheses, keeping the surrounding blanks,
    // unless the term is a single operand or a dotted name.
    QString term(const Items& its, size_t s, size_t e, const QString& body) const {
        std::vector<size_t> core;
        for (size_t k = s; k < e; ++k)
            if (sig(its[k]))
                core.push_back(k);
        bool simple = core.size() % 2 == 1;
        for (size_t c = 0; simple && c < core.size(); ++c) {
            const Item& it = its[core[c]];
            simple = c % 2 == 1 ? isOp(it, u".")
                                : core.size() == 1 || (it.kind == Item::Tok && isName(tok(it)));
        }
        if (simple || core.empty())
            return body;
        qsizetype lead = 0;
        while (lead < body.size() && body[lead].isSpace())
            ++lead;
        qsizetype tail = body.size();
        while (tail > lead && body[tail - 1].isSpace())
            --tail;
        return body.left(lead) + '(' + body.mid(lead, tail - lead) + ')' + body.mid(tail);
    }

    bool isTextTerm(const Items& its, size_t s, size_t e) const {
        const Item* only = loneItem(its, s, e);
        if (!only)
            return false;
        switch (only->kind) {
        case Item::Tok:
            return tok(*only).kind == Tk::Text;
        case Item::Group:
            return isTextExpr(only->open + 1, only->close);
        case Item::Call:
            return isTextCall(*only);
        }
        return false;
    }

    bool isTextExpr(int b, int e) const {
        const Items its = items(b, e);
        for (const Item& it : its)
            if (isBoundary(it))
                return false;
        if (split(its, 0, its.size(), u"&").size() > 1)
            return true;
        for (const auto& [s, f] : split(its, 0, its.size(), u"+"))
            if (isTextTerm(its, s, f))
                return true;
        return false;
    }

    bool isTextCall(const Item& call) const {
        const QString name = tok(call).text.toLower();
        static const QStringList textFunctions = {
            "cstr",   "lcase",  "ucase", "lower",  "upper",   "mid",      "left",
            "right",  "substr", "trim",  "ltrim",  "rtrim",   "chr",      "replace",
            "format", "space",  "str",   "string", "strconv", "substring"};
        if (textFunctions.contains(name))
            return true;
        const auto args = arguments(call);
        if (name == QLatin1String("iif") && args.size() == 3)
            return isTextExpr(args[1].first, args[1].second) ||
                   isTextExpr(args[2].first, args[2].second);
        if (name == QLatin1String("nz")) {
            for (const auto& [b, e] : args)
                if (isTextExpr(b, e))
                    return true;
        }
        return false;
    }

    // Argument token ranges of a call, split at top-level commas; none for "f()".
    std::vector<std::pair<int, int>> arguments(const Item& call) const {
        const int b = call.open + 1;
        const int e = call.close;
        if (nextSig(t_, b, e) >= e)
            return {};
        return splitTopLevel(t_, b, e);
    }

    bool isNumber(const std::pair<int, int>& arg, QStringView value = {}) const {
        const int k = nextSig(t_, arg.first, arg.second);
        if (k >= arg.second || t_[k].kind != Tk::Number ||
            nextSig(t_, k + 1, arg.second) < arg.second)
            return false;
        return value.isNull() || t_[k].text == value;
    }

    QString item(const Item& it) const {
        switch (it.kind) {
        case Item::Tok:
            if (d_ == SqlDialect::Sqlite && !afterDot(it.begin)) {
                // Access's bare Now is the function; True is -1.
                if (isWord(tok(it), u"now"))
                    return QStringLiteral("now()");
                if (isWord(tok(it), u"true"))
                    return QStringLiteral("-1");
                if (isWord(tok(it), u"false"))
                    return QStringLiteral("0");
            }
            return token(it.begin);
        case Item::Group: {
            const QString group =
                '(' + level(it.open + 1, it.close) + (it.close < it.end ? ")" : "");
            return truthGroups_.count(it.open) ? truthValue(group, true) : group;
        }
        case Item::Call:
            return call(it);
        }
        return {};
    }

    bool afterDot(int i) const {
        const int p = prevSig(t_, i, 0);
        return p >= 0 && isPunct(t_[p], u".");
    }

    QString token(int i) const {
        const Token& tk = t_[i];
        if (tk.kind == Tk::Word &&
            tk.text.compare(QLatin1String("@@identity"), Qt::CaseInsensitive) == 0)
            return d_ == SqlDialect::Sqlite ? "last_insert_rowid()" : "lastval()";
        // N'..' is SQL Server's Unicode text; SQLite rejects it and PostgreSQL reads it as
        // char(n), which drops trailing blanks. Every text is Unicode on both.
        if (tk.kind == Tk::Text && tk.text.front() != u'\'')
            return tk.text.mid(1);
        if (tk.kind == Tk::BracketName && d_ == SqlDialect::Postgres)
            return quoteLowerIdent(tk.text);
        return tk.text;
    }

    // A text literal's content, or null when the argument is not one text.
    QString literalText(const std::pair<int, int>& arg) const {
        const int k = nextSig(t_, arg.first, arg.second);
        if (k >= arg.second || t_[k].kind != Tk::Text ||
            nextSig(t_, k + 1, arg.second) < arg.second)
            return {};
        const QString quoted = token(k);
        return quoted.mid(1, quoted.size() - 2).replace(QLatin1String("''"), QLatin1String("'"));
    }

    QString quoteText(const QString& text) const {
        return '\'' + QString(text).replace(u'\'', QLatin1String("''")) + '\'';
    }

    // Format with a constant pattern, as to_char writes it.
    QString formatPostgres(const std::vector<std::pair<int, int>>& args) const {
        const QString pattern = literalText(args[1]);
        if (pattern.isNull())
            return {};
        const std::optional<ToCharTemplate> t = AccessFormatToChar(pattern);
        if (!t)
            return {};
        const QString value = level(args[0].first, args[0].second).trimmed();
        return "to_char(CAST(" + value + (t->date ? " AS timestamp), " : " AS numeric), ") +
               quoteText(t->text) + ')';
    }

    // Access's date parts and DateAdd on PostgreSQL; dates are texts in the account set, so
    // DateAdd gives the text the local file's DateAdd gives. Null when `name` is none of them
    // or its interval is not a constant that PostgreSQL has.
    QString datePostgres(const QString& name, const std::vector<std::pair<int, int>>& args) const {
        auto arg = [&](size_t k) { return level(args[k].first, args[k].second).trimmed(); };
        auto stamp = [&](size_t k) { return "CAST(" + arg(k) + " AS timestamp)"; };
        static const QStringList parts = {"year", "month", "day", "hour", "minute", "second"};
        if (parts.contains(name) && args.size() == 1)
            return "CAST(floor(EXTRACT(" + name.toUpper() + " FROM " + stamp(0) + ")) AS integer)";
        if (name == QLatin1String("weekday") && (args.size() == 1 || args.size() == 2)) {
            int first = 1;
            if (args.size() == 2) {
                const int k = nextSig(t_, args[1].first, args[1].second);
                first = isNumber(args[1]) ? t_[k].text.toInt() : 0;
                if (first < 1 || first > 7)
                    return {};
            }
            return QStringLiteral("((CAST(EXTRACT(DOW FROM %1) AS integer) + %2) % 7 + 1)")
                .arg(stamp(0))
                .arg(8 - first);
        }
        if (name == QLatin1String("dateadd") && args.size() == 3) {
            static const QHash<QString, QString> units = {
                {"yyyy", "1 year"}, {"q", "3 months"}, {"m", "1 month"}, {"y", "1 day"},
                {"d", "1 day"},     {"w", "1 day"},    {"ww", "7 days"}, {"h", "1 hour"},
                {"n", "1 minute"},  {"s", "1 second"}};
            const QString unit = units.value(literalText(args[0]).toLower());
            if (unit.isEmpty())
                return {};
            const QString value = "(" + stamp(2) + " + CAST(trunc(" + arg(1) +
                                  ") AS integer) * interval '" + unit + "')";
            return "(to_char(" + value + ", 'YYYY-MM-DD') || CASE WHEN CAST(" + value +
                   " AS time) <> '00:00' THEN to_char(" + value + ", ' HH24:MI:SS') ELSE '' END)";
        }
        return {};
    }

    QString call(const Item& it) const {
        const QString name = tok(it).text.toLower();
        const auto args = arguments(it);
        const size_t argc = args.size();
        auto arg = [&](size_t k) { return level(args[k].first, args[k].second).trimmed(); };
        // PostgreSQL's text functions take no numbers: cast operands not known to be text.
        auto text = [&](size_t k) {
            return isTextExpr(args[k].first, args[k].second) ? arg(k)
                                                             : "CAST(" + arg(k) + " AS text)";
        };
        const auto is = [&](const char* n) { return name == QLatin1String(n); };

        if (d_ == SqlDialect::Sqlite) {
            // LEFT and RIGHT are join keywords in SQLite and cannot be called.
            if (is("left") && argc == 2)
                return "substr(" + arg(0) + ", 1, " + arg(1) + ")";
            if (is("right") && argc == 2) {
                const QString len = isNumber(args[1]) ? arg(1) : '(' + arg(1) + ')';
                return "substr(" + arg(0) + ", -" + len + ", " + arg(1) + ")";
            }
            // SQLite's date() is the UTC date; Access means the local one.
            if (is("date") && argc == 0)
                return "date('now','localtime')";
            if (is("time") && argc == 0)
                return "zv_time()";
            // ISNULL is an operator word in SQLite, so the function has a name of ours.
            if (is("isnull") && argc == 1)
                return "zv_isnull(" + arg(0) + ')';
        } else {
            if (is("instr") && argc >= 2 && argc <= 4) {
                if (argc == 2)
                    return "strpos(" + text(0) + ", " + text(1) + ")";
                // Compare mode 1 (text) and 2 (database) ignore case; 0 (binary) does not.
                const bool fold = argc == 4 && isNumber(args[3]) && !isNumber(args[3], u"0");
                const QString hay = fold ? "lower(" + text(1) + ")" : text(1);
                const QString needle = fold ? "lower(" + text(2) + ")" : text(2);
                if (isNumber(args[0], u"1"))
                    return "strpos(" + hay + ", " + needle + ")";
                const QString start = arg(0);
                return "COALESCE(NULLIF(strpos(substr(" + hay + ", " + start + "), " + needle +
                       "), 0) + (" + start + ") - 1, 0)";
            }
            if (is("cstr") && argc == 1)
                return "CAST(" + arg(0) + " AS text)";
            if (is("lcase") && argc == 1)
                return "lower(" + text(0) + ")";
            if (is("ucase") && argc == 1)
                return "upper(" + text(0) + ")";
            if (is("len") && argc == 1)
                return "length(" + text(0) + ")";
            if (is("mid") && (argc == 2 || argc == 3))
                return "substr(" + text(0) + ", " + arg(1) + (argc == 3 ? ", " + arg(2) : "") + ")";
            if ((is("left") || is("right")) && argc == 2)
                return name + '(' + text(0) + ", " + arg(1) + ')';
            if (is("iif") && argc == 3)
                return "CASE WHEN " + arg(0) + " THEN " + arg(1) + " ELSE " + arg(2) + " END";
            if (is("nz") && argc == 1)
                return "COALESCE(" + text(0) + ", '')";
            if (is("nz") && argc == 2) {
                const bool textDefault = isTextExpr(args[1].first, args[1].second);
                return "COALESCE(" + (textDefault ? text(0) : arg(0)) + ", " + arg(1) + ")";
            }
            // Access's Now() is local time in whole seconds.
            if ((is("now") || is("getdate")) && argc == 0)
                return "LOCALTIMESTAMP(0)";
            if (is("date") && argc == 0)
                return "CURRENT_DATE";
            if (is("isnull") && argc == 1)
                return "((" + arg(0) + ") IS NULL)";
            // Access has no text aggregate; the local file's group_concat serves both kinds.
            if (is("group_concat") && (argc == 1 || argc == 2))
                return "string_agg(CAST(" + arg(0) + " AS text), " +
                       (argc == 2 ? arg(1) : QStringLiteral("','")) + ')';
            // Int rounds down, Fix toward zero.
            if ((is("int") || is("fix")) && argc == 1)
                return (is("int") ? "floor(" : "trunc(") + arg(0) + ')';
            // Val of a text known here is read here, exactly as Access reads it.
            if (is("val") && argc == 1 && !literalText(args[0]).isNull())
                return "CAST(" +
                       QString::number(AccessVal(literalText(args[0])), 'g',
                                       QLocale::FloatingPointShortest) +
                       " AS double precision)";
            // Access rounds half to even; PostgreSQL's round() half away from zero.
            if (is("round") && (argc == 1 || argc == 2) && (argc == 1 || isNumber(args[1]))) {
                const QString scale = argc == 2 ? arg(1) : QStringLiteral("0");
                const QString v =
                    "(CAST(" + arg(0) + " AS numeric) * power(10::numeric, " + scale + "))";
                return "CAST(CASE WHEN abs(" + v + " - trunc(" + v + ")) = 0.5 THEN trunc(" + v +
                       ") + CASE WHEN mod(trunc(" + v + "), 2) = 0 THEN 0 ELSE sign(" + v +
                       ") END ELSE round(" + v + ") END / power(10::numeric, " + scale +
                       ") AS double precision)";
            }
            const QString dated = datePostgres(name, args);
            if (!dated.isNull())
                return dated;
            if (is("format")) {
                // PostgreSQL's own format() is printf-like: an untranslated call would run with
                // another result.
                const QString formatted = argc == 2 ? formatPostgres(args) : QString();
                if (formatted.isNull() && unsupported_.isEmpty())
                    unsupported_ = QStringLiteral("Format 的格式 %1")
                                       .arg(argc == 2 ? arg(1) : QStringLiteral("（缺省）"));
                if (!formatted.isNull())
                    return formatted;
            }
        }
        QString out =
            tok(it).text + joinText(t_, it.begin + 1, it.open) + '(' + level(it.open + 1, it.close);
        return it.close < it.end ? out + ')' : out;
    }

    const Tokens& t_;
    SqlDialect d_;
    mutable QString unsupported_;
    mutable std::set<int> truthGroups_; // '(' of comparisons used as values
    mutable QString likeOperator_;      // what replaces the LIKE just written, if anything
};

} // namespace

namespace {

QString translate(const QString& sql, SqlDialect dialect, QString* unsupported) {
    Tokens all = rewriteDateLiterals(tokenize(sql));
    if (dialect == SqlDialect::Postgres)
        all = nameDerivedTables(all);
    QString note;
    // Statements are rewritten one by one; the separators are kept.
    Tokens out;
    Tokens statement;
    int depth = 0;
    auto flush = [&]() {
        const int first = nextSig(statement, 0, int(statement.size()));
        if (first < int(statement.size()) && isWord(statement[first], u"transform"))
            note = QStringLiteral("TRANSFORM … PIVOT");
        const Tokens done = rewriteUpdate(
            rewriteTop(rewriteDistinctRow(rewriteDelete(statement), note), dialect, note), note);
        out.insert(out.end(), done.begin(), done.end());
        statement.clear();
    };
    for (const Token& tk : all) {
        if (isPunct(tk, u"("))
            ++depth;
        else if (isPunct(tk, u")"))
            --depth;
        if (depth <= 0 && isPunct(tk, u";")) {
            flush();
            out.push_back(tk);
            depth = 0;
        } else {
            statement.push_back(tk);
        }
    }
    flush();
    Emitter emitter(out, dialect);
    const QString text = emitter.render();
    if (note.isEmpty())
        note = emitter.unsupported();
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
    thread_local QHash<QString, Translated> recent[2];
    // Scripts and statements carrying pasted data are rarely sent twice: not worth keeping.
    if (sql.size() > 4096) {
        QString note;
        const QString text = translate(sql, dialect, &note);
        if (unsupported)
            *unsupported = note;
        return text;
    }
    QHash<QString, Translated>& cache = recent[dialect == SqlDialect::Sqlite ? 0 : 1];
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
