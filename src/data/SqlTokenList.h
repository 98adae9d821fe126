#pragma once
// The translator's token list: each token with its own text, so that a pass can put new tokens
// among the ones it read. Every pass reads and writes this list; the emitter turns the last one
// into the statement's text.
#include "data/SqlTokenizer.h"
#include "data/SqlTopLevel.h"

#include <QString>

#include <initializer_list>
#include <utility>
#include <vector>

namespace AccessSql {

using Tk = SqlTokenKind;

struct Token {
    Tk kind;
    QString text;
};

using Tokens = std::vector<Token>;

Tokens tokenize(const QString& s);

bool isSig(const Token& t);
bool isWord(const Token& t, QStringView w);
bool isPunct(const Token& t, QStringView p);
bool isName(const Token& t);
bool isInteger(const Token& t);
bool isOneOf(const Token& t, std::initializer_list<QStringView> words);
bool isSetOperator(const Token& t);
// Words that never name a function and end an operand.
bool isKeyword(const Token& t);

// First significant index at or after i, or end.
int nextSig(const Tokens& t, int i, int end);
// Last significant index below i and not below begin, or begin - 1.
int prevSig(const Tokens& t, int i, int begin);

QString joinText(const Tokens& t, int b, int e);
// A name as the engine compares it: without [..] or "..", case-insensitive.
QString bareName(const Token& t);

Token space();
Token word(const QString& w);
Token punct(const QString& p);
void append(Tokens& out, const Tokens& t, int b, int e);

// Where the token stands for a scan of the list that started at depth 0.
inline SqlLevel levelOf(SqlDepth& depth, const Token& t) {
    return depth.Take(isPunct(t, u"("), isPunct(t, u")"));
}

// First index in [b, e) at the top level where `match` holds, or e.
template <typename Match> int findTopLevel(const Tokens& t, int b, int e, Match match) {
    SqlDepth depth;
    for (int i = b; i < e; ++i)
        if (levelOf(depth, t[i]) == SqlLevel::Top && match(t[i]))
            return i;
    return e;
}

// The end of the scope [b, ...) sits in: the first index in [b, e) that is a ")" closing a group
// opened before b, or a top-level token where `stop` holds; e when there is none.
template <typename Match> int findScopeEnd(const Tokens& t, int b, int e, Match stop) {
    SqlDepth depth;
    for (int i = b; i < e; ++i) {
        const SqlLevel level = levelOf(depth, t[i]);
        if (level == SqlLevel::Unmatched || (level == SqlLevel::Top && stop(t[i])))
            return i;
    }
    return e;
}

// Index of the ')' matching the '(' at open, or end when it is missing.
int matchParen(const Tokens& t, int open, int end);
// Splits [b, e) at commas at the top level.
std::vector<std::pair<int, int>> splitTopLevel(const Tokens& t, int b, int e);

} // namespace AccessSql
