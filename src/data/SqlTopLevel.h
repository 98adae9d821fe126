#pragma once
// Parentheses counted one way for every reader of a statement: a word, a comma or a clause belongs
// to the statement (or to the group a scan starts in) only at depth 0. The translator, the SELECT
// shape, the paged search's ORDER BY and the statement splitter all ask this, so that a
// parenthesis inside a quoted text or a sealed value never counts for one and does for another.
#include "data/SqlTokenizer.h"

// Where a token stands for a scan that started at depth 0.
enum class SqlLevel : unsigned char {
    Top,       // at depth 0, not a parenthesis
    Nested,    // at any other depth, not a parenthesis
    Open,      // "("
    Close,     // ")" closing a group opened in the scan
    Unmatched, // ")" closing a group opened before the scan started
};

// The depth of a scan, token by token. After an unmatched ")" the depth stays below 0 and what
// follows is Nested until a "(" brings it back: readers that go on past one see the statement
// the way they always have.
class SqlDepth {
public:
    // Takes the next token, which is "(" when `open`, ")" when `close`, and says where it stands.
    SqlLevel Take(bool open, bool close) {
        if (open) {
            ++depth_;
            return SqlLevel::Open;
        }
        if (close)
            return --depth_ < 0 ? SqlLevel::Unmatched : SqlLevel::Close;
        return depth_ == 0 ? SqlLevel::Top : SqlLevel::Nested;
    }
    int Depth() const { return depth_; }

private:
    int depth_ = 0;
};

// Reads the tokens of a text with the level each stands at, counted from the first token read.
class SqlTopLevelReader {
public:
    explicit SqlTopLevelReader(QStringView sql, SqlLexis lexis = {}) : reader_(sql, lexis) {}

    bool Next(SqlToken& token, SqlLevel& level);
    // Reading goes on at `position`, at the depth reached so far.
    void Seek(qsizetype position) { reader_.Seek(position); }
    int Depth() const { return depth_.Depth(); }
    const SqlTokenizer& Tokens() const { return reader_; }

private:
    SqlTokenizer reader_;
    SqlDepth depth_;
};
