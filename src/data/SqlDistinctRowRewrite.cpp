#include "data/SqlRewritePasses.h"

namespace AccessSql {

// DISTINCTROW drops duplicate records of the tables, which on one table is no rewrite at all;
// over a join it is not DISTINCT and is reported.
Tokens rewriteDistinctRow(const Tokens& t, QString& unsupported) {
    const int n = int(t.size());
    std::vector<bool> drop(n, false);
    bool changed = false;
    for (int i = 0; i < n; ++i) {
        if (!isWord(t[i], u"distinctrow"))
            continue;
        // The SELECT's own FROM clause: up to its next clause, the ")" around it or the end.
        const int end = findScopeEnd(t, i + 1, n, [](const Token& k) {
            return isOneOf(k, {u"where", u"group", u"order", u"having"}) || isSetOperator(k);
        });
        const int from =
            findTopLevel(t, i + 1, end, [](const Token& k) { return isWord(k, u"from"); });
        const bool joined = from < end && findTopLevel(t, from + 1, end, [](const Token& k) {
                                              return isWord(k, u"join") || isPunct(k, u",");
                                          }) < end;
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
} // namespace AccessSql
