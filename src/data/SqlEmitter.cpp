#include "data/SqlEmitter.h"

#include "data/SqlDialectSpelling.h"

#include <QStringList>

#include <set>

namespace AccessSql {

namespace {

QString quoteLowerIdent(const QString& bracketed) {
    QString name = bracketed.mid(1, bracketed.size() - 2);
    // Bare names fold to lower case on PostgreSQL; fold ASCII the same way so that [Name] finds
    // the column that `Name` would find.
    for (QChar& c : name)
        if (c.unicode() < 128)
            c = c.toLower();
    return '"' + name.replace('"', QLatin1String("\"\"")) + '"';
}

// Writes a token list as the engine's text, rewriting functions, operators and literals on the
// way. It keeps what it met (the first construct without a faithful rewrite, the comparisons
// used as values, the operator that replaces a LIKE), so it emits once.
class Emitter {
public:
    Emitter(const Tokens& t, const SqlSpelling& spelling) : t_(t), s_(spelling) {}

    QString render() { return level(0, int(t_.size())); }
    // The first construct met that has no faithful rewrite; empty when none.
    QString unsupported() { return unsupported_; }

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
        if (!s_.asciiNoCase)
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
        return text.left(tail) + QLatin1String(ascii ? s_.asciiNoCase : s_.otherNoCase) +
               text.mid(tail);
    }

    // A condition as Access's value of it: -1 for true, 0 for false. `grouped`: the condition
    // is one parenthesised group already.
    QString truthValue(const QString& condition, bool grouped) const {
        const QString inner = grouped ? condition : '(' + condition + ')';
        return QLatin1String(s_.truthBefore) + inner + QLatin1String(s_.truthAfter);
    }

    // A comparison in parentheses that is an operand of arithmetic or & is a value, -1 or 0 in
    // Access; alone between boundaries it is a condition and stays as it is.
    void markTruthOperands(const Items& its, size_t s, size_t e) {
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
    QString level(int b, int e) {
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
                // An engine that reads "\" in a LIKE pattern as its escape is told it has none:
                // Access reads it as itself.
                if (afterLike && !escaped && pattern.isNull() && s_.likeEscapesBackslash)
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

    // A LIKE pattern written as one text with Access's [..] classes. Where the spelling says so,
    // a class of one character stands for that character (escaped when it is % or _); other
    // classes take the spelling's class pattern, and `likeOperator_` says what replaces LIKE. Null
    // when the operand is not such a text.
    QString likePattern(const Items& its, size_t s, size_t e) {
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
            if (inside.size() != 1 || inside == QLatin1String("!") ||
                !s_.likeClassOfOneAsCharacter) {
                const QString classes = s_.classPattern(body);
                if (classes.isNull()) {
                    unsupported_ = QStringLiteral("LIKE 中的字符类 %1").arg(body.mid(i));
                    return {};
                }
                likeOperator_ = QLatin1String(s_.classOperator);
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
    QString segment(const Items& its, size_t s, size_t e) {
        const auto parts = split(its, s, e, u"&");
        if (parts.size() == 1)
            return chain(its, s, e);
        // Access reads Null as empty text in &, where || would make the whole text Null.
        QStringList terms;
        for (const auto& [b, f] : parts)
            terms << chain(its, b, f).trimmed();
        return leadingBlanks(its, s, e) + s_.concat(terms) + trailingBlanks(its, s, e);
    }

    // The blanks before the first and after the last significant item of [s, e).
    QString leadingBlanks(const Items& its, size_t s, size_t e) {
        QString out;
        for (size_t k = s; k < e && !sig(its[k]); ++k)
            out += item(its[k]);
        return out;
    }
    QString trailingBlanks(const Items& its, size_t s, size_t e) {
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
    QString arithmetic(const Items& its, size_t s, size_t e) {
        static const std::initializer_list<QStringView> levels[] = {
            {u"+", u"-"}, {u"mod"}, {u"\\"}, {u"*", u"/"}, {u"^"}};
        return operation(its, s, e, 0, levels);
    }

    template <size_t N>
    QString operation(const Items& its, size_t s, size_t e, size_t depth,
                      const std::initializer_list<QStringView> (&levels)[N]) {
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
            if (const OperatorSpelling* spelled = operatorSpelling(op))
                acc = QLatin1String(spelled->before) + acc + QLatin1String(spelled->between) +
                      right + QLatin1String(spelled->after);
            else
                acc += ' ' + op.text + ' ' + right;
            infix = !isArithmetic(its[at[i]]);
        }
        // A sum or product inside a higher operator keeps its own order.
        return depth > 0 && infix ? '(' + acc + ')' : acc;
    }

    // How the engine writes the arithmetic operator `op`; null when it keeps it as it is.
    const OperatorSpelling* operatorSpelling(const Token& op) const {
        const OperatorSpelling* spelled = isPunct(op, u"/")    ? &s_.divide
                                          : isPunct(op, u"\\") ? &s_.intDivide
                                          : isPunct(op, u"^")  ? &s_.power
                                          : isWord(op, u"mod") ? &s_.modulo
                                                               : nullptr;
        return spelled && spelled->before ? spelled : nullptr;
    }

    QString chain(const Items& its, size_t s, size_t e) {
        for (size_t k = s; k < e; ++k)
            if (its[k].kind == Item::Tok && operatorSpelling(tok(its[k])))
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
    QString term(const Items& its, size_t s, size_t e, const QString& body) {
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

    QString item(const Item& it) {
        switch (it.kind) {
        case Item::Tok:
            if (!s_.words.empty() && !afterDot(it.begin)) {
                for (const WordSpelling& w : s_.words)
                    if (isWord(tok(it), w.word))
                        return QLatin1String(w.spelling);
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
            return QLatin1String(s_.identity);
        // N'..' is SQL Server's Unicode text; SQLite rejects it and PostgreSQL reads it as
        // char(n), which drops trailing blanks. Every text is Unicode on both.
        if (tk.kind == Tk::Text && tk.text.front() != u'\'')
            return tk.text.mid(1);
        if (tk.kind == Tk::BracketName && s_.quotesBracketNames)
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

    // A call's arguments for the spelling's function rows.
    class Arguments : public CallArguments {
    public:
        Arguments(Emitter& emitter, const Item& call)
            : e_(emitter), args_(emitter.arguments(call)) {}
        size_t Count() const override { return args_.size(); }
        QString Arg(size_t k) override {
            return e_.level(args_[k].first, args_[k].second).trimmed();
        }
        QString Text(size_t k) override {
            return IsText(k) ? Arg(k) : "CAST(" + Arg(k) + " AS text)";
        }
        bool IsText(size_t k) override { return e_.isTextExpr(args_[k].first, args_[k].second); }
        bool IsNumber(size_t k, QStringView value) const override {
            return e_.isNumber(args_[k], value);
        }
        QString Literal(size_t k) const override { return e_.literalText(args_[k]); }
        void Unsupported(const QString& what) override {
            if (e_.unsupported_.isEmpty())
                e_.unsupported_ = what;
        }

    private:
        Emitter& e_;
        std::vector<std::pair<int, int>> args_;
    };

    QString call(const Item& it) {
        const QString name = tok(it).text.toLower();
        Arguments args(*this, it);
        const int argc = int(args.Count());
        for (const FunctionSpelling& f : s_.functions) {
            if (name != QLatin1String(f.name) || argc < f.minArgs || argc > f.maxArgs)
                continue;
            const QString spelled = f.spell(name, args);
            if (!spelled.isNull())
                return spelled;
            break;
        }
        QString out =
            tok(it).text + joinText(t_, it.begin + 1, it.open) + '(' + level(it.open + 1, it.close);
        return it.close < it.end ? out + ')' : out;
    }

    const Tokens& t_;
    const SqlSpelling& s_;
    QString unsupported_;
    std::set<int> truthGroups_; // '(' of comparisons used as values
    QString likeOperator_;      // what replaces the LIKE just written, if anything
};

} // namespace

QString emitSql(const Tokens& t, SqlDialect dialect, QString& unsupported) {
    Emitter emitter(t, SpellingOf(dialect));
    const QString text = emitter.render();
    unsupported = emitter.unsupported();
    return text;
}
} // namespace AccessSql
