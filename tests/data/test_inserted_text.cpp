// Values from users and the database travel sealed and are opened as the literal their place in
// the statement needs, so that no value can end its literal, become code or cut the statement.
#include "data/DbSession.h"
#include "data/InsertedText.h"
#include "support/TestAccountSet.h"

#include <gtest/gtest.h>

namespace {

TEST(InsertedText, EachValueIsOpenedAsTheLiteralItsPlaceNeeds) {
    const auto v = [](const char* text) { return SealInsertedText(QString::fromUtf8(text)); };
    const struct {
        QString sql;
        const char* expected;
    } cases[] = {
        {"WHERE a = '" + v("O'Brien") + "'", "WHERE a = 'O''Brien'"},
        {"WHERE a = '" + v("k' OR '1'='1") + "'", "WHERE a = 'k'' OR ''1''=''1'"},
        {"WHERE a LIKE '%" + v("50%'") + "%'", "WHERE a LIKE '%50%''%'"},
        {"WHERE a = \"" + v("say \"hi\"") + "\"", "WHERE a = \"say \"\"hi\"\"\""},
        {"SELECT [" + v("a]b") + "]", "SELECT [a]]b]"},
        // Outside a literal a number stays a number, anything else becomes a text.
        {"WHERE uid_0 = " + v("42"), "WHERE uid_0 = 42"},
        {"WHERE q > " + v(" 1.5 "), "WHERE q > 1.5"},
        {"WHERE uid_0 = " + v("1 OR 1=1"), "WHERE uid_0 = '1 OR 1=1'"},
        {"WHERE uid_0 = " + v("0; DELETE FROM c_user"), "WHERE uid_0 = '0; DELETE FROM c_user'"},
        {"WHERE name_0 = " + v("张三"), "WHERE name_0 = '张三'"},
        // A signed number after a minus must not make a comment of the rest.
        {"SELECT 5-" + v("-3") + ", 1", "SELECT 5-(-3), 1"},
        {"WHERE uid_0 IN (" + SealKeyList({"1", "x'y", ""}) + ")", "WHERE uid_0 IN (1,'x''y','')"},
        // In a comment the value stays on the comment's line.
        {"SELECT 1 -- " + v("a\nDELETE FROM t") + "\n", "SELECT 1 -- a DELETE FROM t\n"},
        // Placeholders inside a value are not looked at again.
        {"WHERE a = '" + v("{{p2}}") + "'", "WHERE a = '{{p2}}'"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OpenInsertedValuesInSql(c.sql), QString::fromUtf8(c.expected))
            << qPrintable(c.sql);
}

// The same values reach the engines as data: a quote or an expression in a key or a name finds
// only its own row.
class InsertedTextEngines : public ::testing::TestWithParam<Engine> {};

TEST_P(InsertedTextEngines, HostileValuesFindOnlyTheirOwnRow) {
    QString why;
    const auto set = TestAccountSet::Create(GetParam(), why);
    if (!set)
        GTEST_SKIP() << qPrintable(why);
    DbSession db;
    db.SetConnectionString(set->connectionText());
    ASSERT_TRUE(db.Open()) << qPrintable(db.Detail());
    ASSERT_TRUE(db.Execute("CREATE TABLE zv_keys (txt_0 VARCHAR(40), n_0 INTEGER)"));
    const QStringList keys = {"a", "k' OR '1'='1", "O'Brien", "1 OR 1=1", "x\\y"};
    for (int i = 0; i < keys.size(); ++i)
        ASSERT_TRUE(db.Execute("INSERT INTO zv_keys (txt_0, n_0) VALUES (?, ?)", {keys[i], i}));
    for (const QString& key : keys) {
        QString count;
        ASSERT_TRUE(db.QueryValue(
            "SELECT COUNT(*) FROM zv_keys WHERE txt_0 = '" + SealInsertedText(key) + "'", count))
            << qPrintable(db.Detail());
        EXPECT_EQ(count, "1") << qPrintable(key);
        // Written without quotes by the form's author, the key is still only a value.
        ASSERT_TRUE(db.QueryValue(
            "SELECT COUNT(*) FROM zv_keys WHERE txt_0 = " + SealInsertedText(key), count));
        EXPECT_EQ(count, "1") << qPrintable(key);
    }
    // A backslash in a LIKE pattern is an ordinary character on both engines.
    QString found;
    ASSERT_TRUE(db.QueryValue("SELECT COUNT(*) FROM zv_keys WHERE txt_0 LIKE '%" +
                                  SealInsertedText("x\\y") + "%'",
                              found))
        << qPrintable(db.Detail());
    EXPECT_EQ(found, "1");
    ASSERT_TRUE(db.QueryValue("SELECT COUNT(*) FROM zv_keys WHERE txt_0 LIKE 'x\\y'", found));
    EXPECT_EQ(found, "1");
}

INSTANTIATE_TEST_SUITE_P(Engines, InsertedTextEngines,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return std::string(EngineName(info.param)); });

} // namespace
