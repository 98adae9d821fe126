// The one reading of SQL text that the translator, the SELECT shape, the script splitter and the
// text-file names share.
#include "data/InsertedText.h"
#include "data/SqlTokenizer.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using K = SqlTokenKind;
using Tokens = std::vector<std::pair<K, QString>>;

Tokens Read(const QString& sql, SqlLexis lexis) {
    Tokens tokens;
    SqlTokenizer reader(sql, lexis);
    SqlToken token;
    while (reader.Next(token))
        tokens.emplace_back(token.kind, reader.Text(token).toString());
    return tokens;
}

std::string Show(const Tokens& tokens) {
    std::string out;
    for (const auto& [kind, text] : tokens)
        out += std::to_string(int(kind)) + ":" + text.toStdString() + " ";
    return out;
}

constexpr SqlLexis kAll{};
// What the script splitter takes as units: single-quoted texts and "--" comments.
constexpr SqlLexis kScript{.blockComments = false, .quotedNames = false, .bracketNames = false};

TEST(SqlTokenizer, ReadsEachConstructAsOneToken) {
    const QString sealed = SealInsertedText(QStringLiteral("it's; --[x]"));
    const QString sealedNumber = SealInsertedText(QStringLiteral("12"));
    const struct {
        QString sql;
        SqlLexis lexis;
        Tokens tokens;
    } cases[] = {
        {"'it''s' N'中' n''",
         kAll,
         {{K::Text, "'it''s'"},
          {K::Space, " "},
          {K::Text, "N'中'"},
          {K::Space, " "},
          {K::Text, "n''"}}},
        {"\"a\"\"b\"[c d]", kAll, {{K::QuotedName, "\"a\"\"b\""}, {K::BracketName, "[c d]"}}},
        // A comment ends before its line break; a quote or ";" inside it opens nothing.
        {"a-- it's; x\n/* 'b' */-1",
         kAll,
         {{K::Word, "a"},
          {K::Comment, "-- it's; x"},
          {K::Space, "\n"},
          {K::Comment, "/* 'b' */"},
          {K::Punct, "-"},
          {K::Number, "1"}}},
        {"x='a;b';y",
         kAll,
         {{K::Word, "x"}, {K::Punct, "="}, {K::Text, "'a;b'"}, {K::Punct, ";"}, {K::Word, "y"}}},
        {"@@IDENTITY+t.a$1<>1.5e-3",
         kAll,
         {{K::Word, "@@IDENTITY"},
          {K::Punct, "+"},
          {K::Word, "t"},
          {K::Punct, "."},
          {K::Word, "a$1"},
          {K::Punct, "<>"},
          {K::Number, "1.5e-3"}}},
        // Never closed: the rest of the text.
        {"'open [x] -- y", kAll, {{K::Text, "'open [x] -- y"}}},
        {"[open 'x'", kAll, {{K::BracketName, "[open 'x'"}}},
        // A sealed value passes whole, inside a text or standing alone; a damaged seal is read
        // as the characters it is.
        {"'" + sealed + "'=" + sealedNumber,
         kAll,
         {{K::Text, "'" + sealed + "'"}, {K::Punct, "="}, {K::Sealed, sealedNumber}}},
        {"a" + sealed + "b", kScript, {{K::Word, "a"}, {K::Sealed, sealed}, {K::Word, "b"}}},
        {QString(QChar(0xE000)) + "41" + QChar(0xE001),
         kAll,
         {{K::Punct, QString(QChar(0xE000))},
          {K::Number, "41"},
          {K::Punct, QString(QChar(0xE001))}}},
        // Constructs a reader does not take are punctuation and words.
        {"\"it's\";[a;b]/*c*/",
         kScript,
         {{K::Punct, "\""}, {K::Word, "it"}, {K::Text, "'s\";[a;b]/*c*/"}}},
        {"[a.txt]'--'",
         SqlLexis{false, false, false, false, true},
         {{K::BracketName, "[a.txt]"},
          {K::Punct, "'"},
          {K::Punct, "-"},
          {K::Punct, "-"},
          {K::Punct, "'"}}},
    };
    for (const auto& c : cases) {
        const Tokens tokens = Read(c.sql, c.lexis);
        EXPECT_EQ(tokens, c.tokens) << c.sql.toStdString() << "\n" << Show(tokens);
        QString joined;
        for (const auto& [kind, text] : tokens)
            joined += text;
        EXPECT_EQ(joined, c.sql);
    }
}

TEST(SqlTokenizer, ReadingGoesOnWhereItIsPut) {
    const QString sql = QStringLiteral("-- a;b\nc");
    SqlTokenizer reader(sql, kScript);
    SqlToken token;
    ASSERT_TRUE(reader.Next(token));
    EXPECT_EQ(token.kind, K::Comment);
    reader.Seek(sql.indexOf(u';') + 1);
    ASSERT_TRUE(reader.Next(token));
    EXPECT_EQ(reader.Text(token), u"b");
    reader.Seek(sql.size());
    EXPECT_FALSE(reader.Next(token));
}

} // namespace
