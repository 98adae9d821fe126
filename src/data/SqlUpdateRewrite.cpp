#include "data/SqlRewritePasses.h"

namespace AccessSql {

namespace {

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

    // A join condition runs to the end of its group, a comma or the next join.
    void condition() {
        const int begin = peek();
        const int j = findScopeEnd(t_, begin, end_, [](const Token& k) {
            return isPunct(k, u",") ||
                   isOneOf(k, {u"inner", u"left", u"right", u"full", u"cross", u"join"});
        });
        conditions.emplace_back(begin, prevSig(t_, j, begin) + 1);
        pos_ = j;
    }

    const Tokens& t_;
    int pos_;
    int end_;
};

bool hasTopLevelOr(const Tokens& t, int b, int e) {
    return findTopLevel(t, b, e, [](const Token& k) { return isWord(k, u"or"); }) < e;
}

} // namespace

// SQLite and PostgreSQL reject qualified SET targets and the Access join syntax. The target is
// the table that the SET targets name (the first table when they are unqualified); the other
// tables move to FROM and the join conditions to WHERE, ahead of the original condition.
Tokens rewriteUpdate(const Tokens& t, QString& unsupported) {
    const int n = int(t.size());
    const int upd = nextSig(t, 0, n);
    if (upd >= n || !isWord(t[upd], u"update"))
        return t;
    const int set = findTopLevel(t, upd + 1, n, [](const Token& k) { return isWord(k, u"set"); });
    if (set >= n)
        return t;
    const int where =
        findTopLevel(t, set + 1, n, [](const Token& k) { return isWord(k, u"where"); });
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
    for (const auto& [itemStart, i] : splitTopLevel(t, set + 1, where)) {
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
} // namespace AccessSql
