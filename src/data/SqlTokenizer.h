#pragma once
// One reading of SQL text into tokens for everything in this folder that looks into a statement:
// the translator, the SELECT shape, the script splitter and the text-file names. A token is a
// range of the text, so reading allocates nothing, and the tokens laid end to end give the text
// back unchanged.
#include <QString>
#include <QStringView>

enum class SqlTokenKind : unsigned char {
    Space,       // blanks and line breaks
    Comment,     // "--" up to the line break, or "/* ... */"
    Word,        // a name or keyword: a letter, "_" or "@", then letters, digits, "_", "@", "$"
    Number,      // digits and dots, with an exponent
    Text,        // '...' or N'...', a doubled quote standing for one
    QuotedName,  // "...", a doubled quote standing for one
    BracketName, // [...]
    Sealed,      // a value sealed by SealInsertedText, whole: nothing inside it is read
    Punct,       // one character, or one of the operators <> <= >= != || :: ==
};

// The constructs a reader takes as one token. One it does not take is read as punctuation,
// words and numbers: a quote is then a one-character Punct.
struct SqlLexis {
    bool texts = true;
    bool lineComments = true;
    bool blockComments = true;
    bool quotedNames = true;
    bool bracketNames = true;
};

struct SqlToken {
    SqlTokenKind kind = SqlTokenKind::Punct;
    qsizetype begin = 0;
    qsizetype end = 0; // past the last character
};

// Reads tokens left to right. A quoted text, name or comment that is never closed runs to the
// end of the text.
class SqlTokenizer {
public:
    explicit SqlTokenizer(QStringView sql, SqlLexis lexis = {}) : sql_(sql), lexis_(lexis) {}

    // The token at the reading position, which moves past it; false at the end of the text.
    bool Next(SqlToken& token);
    // Reading goes on at `position`.
    void Seek(qsizetype position) { position_ = position; }
    QStringView Text(const SqlToken& token) const {
        return sql_.sliced(token.begin, token.end - token.begin);
    }
    // True when the token is the punctuation `c`.
    bool IsPunct(const SqlToken& token, char16_t c) const {
        return token.kind == SqlTokenKind::Punct && token.end == token.begin + 1 &&
               sql_[token.begin] == c;
    }
    // False for a quoted text or name that the text ends inside of.
    bool IsClosed(const SqlToken& token) const;

private:
    QStringView sql_;
    SqlLexis lexis_;
    qsizetype position_ = 0;
};
