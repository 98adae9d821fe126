#include "data/SqlTokenizer.h"

#include "data/InsertedText.h"

namespace {

bool IsWordStart(QChar c) {
    return c.isLetter() || c == u'_' || c == u'@';
}
bool IsWordChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'@' || c == u'$';
}

bool IsTwoCharOperator(QChar c, QChar next) {
    switch (c.unicode()) {
    case u'<':
        return next == u'>' || next == u'=';
    case u'>':
    case u'!':
    case u'=':
        return next == u'=';
    case u'|':
        return next == u'|';
    case u':':
        return next == u':';
    default:
        return false;
    }
}

// Index just past a quoted run that starts at `open`; the quote doubles to escape itself.
qsizetype SkipQuoted(QStringView s, qsizetype open, QChar quote) {
    qsizetype j = open + 1;
    while (j < s.size()) {
        if (s[j] == quote) {
            if (j + 1 < s.size() && s[j + 1] == quote) {
                j += 2;
                continue;
            }
            return j + 1;
        }
        ++j;
    }
    return s.size();
}

} // namespace

bool SqlTokenizer::Next(SqlToken& token) {
    const QStringView s = sql_;
    const qsizetype n = s.size();
    const qsizetype i = position_;
    if (i >= n)
        return false;
    const QChar c = s[i];
    const QChar next = i + 1 < n ? s[i + 1] : QChar();
    qsizetype j = i + 1;
    SqlTokenKind kind = SqlTokenKind::Punct;
    qsizetype sealEnd = -1;
    if (c.isSpace()) {
        while (j < n && s[j].isSpace())
            ++j;
        kind = SqlTokenKind::Space;
    } else if (lexis_.lineComments && c == u'-' && next == u'-') {
        while (j < n && s[j] != u'\n')
            ++j;
        kind = SqlTokenKind::Comment;
    } else if (lexis_.blockComments && c == u'/' && next == u'*') {
        const qsizetype close = s.indexOf(QLatin1String("*/"), i + 2);
        j = close < 0 ? n : close + 2;
        kind = SqlTokenKind::Comment;
    } else if (lexis_.texts && c == u'\'') {
        j = SkipQuoted(s, i, u'\'');
        kind = SqlTokenKind::Text;
    } else if (lexis_.texts && (c == u'N' || c == u'n') && next == u'\'') {
        j = SkipQuoted(s, i + 1, u'\'');
        kind = SqlTokenKind::Text;
    } else if (lexis_.quotedNames && c == u'"') {
        j = SkipQuoted(s, i, u'"');
        kind = SqlTokenKind::QuotedName;
    } else if (lexis_.bracketNames && c == u'[') {
        const qsizetype close = s.indexOf(u']', i + 1);
        j = close < 0 ? n : close + 1;
        kind = SqlTokenKind::BracketName;
    } else if (c.isDigit() || (c == u'.' && next.isDigit())) {
        while (j < n && (s[j].isDigit() || s[j] == u'.'))
            ++j;
        if (j < n && (s[j] == u'e' || s[j] == u'E')) {
            qsizetype k = j + 1;
            if (k < n && (s[k] == u'+' || s[k] == u'-'))
                ++k;
            if (k < n && s[k].isDigit()) {
                j = k;
                while (j < n && s[j].isDigit())
                    ++j;
            }
        }
        kind = SqlTokenKind::Number;
    } else if (IsWordStart(c)) {
        while (j < n && IsWordChar(s[j]))
            ++j;
        kind = SqlTokenKind::Word;
    } else if ((sealEnd = SealedTextEnd(s, i)) > 0) {
        j = sealEnd;
        kind = SqlTokenKind::Sealed;
    } else if (IsTwoCharOperator(c, next)) {
        j = i + 2;
    }
    token = {kind, i, j};
    position_ = j;
    return true;
}

bool SqlTokenizer::IsClosed(const SqlToken& token) const {
    const QStringView text = Text(token);
    switch (token.kind) {
    case SqlTokenKind::Text:
        // An opening quote, doubled ones inside, the closing one: an even count when closed.
        return text.count(u'\'') % 2 == 0;
    case SqlTokenKind::QuotedName:
        return text.count(u'"') % 2 == 0;
    case SqlTokenKind::BracketName:
        return text.endsWith(u']');
    default:
        return true;
    }
}
