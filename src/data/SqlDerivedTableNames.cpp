#include "data/SqlRewritePasses.h"

namespace AccessSql {

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
} // namespace AccessSql
