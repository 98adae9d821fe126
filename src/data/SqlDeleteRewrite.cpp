#include "data/SqlRewritePasses.h"

namespace AccessSql {

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
} // namespace AccessSql
