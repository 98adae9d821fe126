#include "data/SqlRewritePasses.h"

#include "data/SqlDialectSpelling.h"

#include <QStringList>

namespace AccessSql {

namespace {

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

} // namespace

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

        // The SELECT's own scope ends at the ")" around it, a set operator or the statement's end.
        const int end = findScopeEnd(t, s + 1, n, isSetOperator);
        const bool followed = end < n && isSetOperator(t[end]);
        const bool ordered =
            findTopLevel(t, s + 1, end, [](const Token& k) { return isWord(k, u"order"); }) < end;
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
        } else if (SpellingOf(dialect).fetchesTies) {
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
} // namespace AccessSql
