#include "data/SqlTokenList.h"

namespace AccessSql {

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

int prevSig(const Tokens& t, int i, int begin) {
    --i;
    while (i >= begin && !isSig(t[i]))
        --i;
    return i;
}

QString joinText(const Tokens& t, int b, int e) {
    QString s;
    for (int i = b; i < e; ++i)
        s += t[i].text;
    return s;
}

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

void append(Tokens& out, const Tokens& t, int b, int e) {
    out.insert(out.end(), t.begin() + b, t.begin() + e);
}

int matchParen(const Tokens& t, int open, int end) {
    return findScopeEnd(t, open + 1, end, [](const Token&) { return false; });
}

std::vector<std::pair<int, int>> splitTopLevel(const Tokens& t, int b, int e) {
    std::vector<std::pair<int, int>> parts;
    SqlDepth depth;
    int start = b;
    for (int i = b; i < e; ++i) {
        if (levelOf(depth, t[i]) == SqlLevel::Top && isPunct(t[i], u",")) {
            parts.emplace_back(start, i);
            start = i + 1;
        }
    }
    parts.emplace_back(start, e);
    return parts;
}

} // namespace AccessSql
