// Text files in the executable's folder act as tables of the local text session.
#include "data/DbSession.h"
#include "data/TextFileTables.h"
#include "platform/Gbk.h"

#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

TEST(TextFileTables, ParsingDelimitedText) {
    const struct {
        QByteArray bytes;
        QStringList columns;
        QList<QStringList> rows;
    } cases[] = {
        {"a,b\r\n1,2\r\n", {"a", "b"}, {{"1", "2"}}},
        // Quotes protect delimiters, doubled quotes and line breaks; blank lines are no rows.
        {"name,note\n\"x,y\",\"say \"\"hi\"\"\"\n\n\"two\nlines\",z",
         {"name", "note"},
         {{"x,y", "say \"hi\""}, {"two\nlines", "z"}}},
        // Short rows are padded, long ones cut; missing and repeated names become Fn.
        {"a,,a\n1\n1,2,3,4\n", {"a", "F2", "F3"}, {{"1", "", ""}, {"1", "2", "3"}}},
        {"\xEF\xBB\xBF"
         "编码,名称\nA1,螺丝\n",
         {"编码", "名称"},
         {{"A1", "螺丝"}}},
        {"", {}, {}},
    };
    for (const auto& c : cases) {
        const TextFileTable table = ParseTextFileTable(c.bytes, u',');
        EXPECT_EQ(table.columns, c.columns) << c.bytes.constData();
        EXPECT_EQ(table.rows, c.rows) << c.bytes.constData();
    }
    // A file saved by a Chinese Windows editor is GBK.
    const TextFileTable gbk =
        ParseTextFileTable(platform::EncodeGbk(QStringLiteral("名称\n螺母\n")), u',');
    EXPECT_EQ(gbk.columns, QStringList({"名称"}));
    EXPECT_EQ(gbk.rows, QList<QStringList>({{"螺母"}}));
}

class TextSession : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        Write("prices.csv", "code,price\nA1,1.5\nB2,20\n");
        session_.SetConnectionString(
            QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%1/;Extended "
                           "Properties=text;Persist Security Info=False;")
                .arg(dir_.path()));
        ASSERT_TRUE(session_.Open()) << qPrintable(session_.Detail());
    }
    void Write(const QString& name, const QByteArray& bytes) {
        QFile file(dir_.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    QStringList Rows(const QString& sql) {
        QStringList values;
        session_.QueryList(sql, values);
        return values;
    }

    QTemporaryDir dir_;
    DbSession session_;
};

TEST_F(TextSession, FilesAreTablesByEitherName) {
    EXPECT_EQ(Rows("SELECT price FROM [prices.csv] WHERE code='B2'"), QStringList({"20"}));
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM prices#csv"), QStringList({"2"}));
    // An edited file is read again.
    QThread::msleep(20);
    Write("prices.csv", "code,price\nA1,1.5\nB2,20\nC3,7\n");
    EXPECT_EQ(Rows("SELECT COUNT(*) FROM [prices.csv]"), QStringList({"3"}));
}

TEST_F(TextSession, MissingFilesAndOtherFoldersAreNotTables) {
    Write("../outside.txt", "a\n1\n");
    for (const char* sql : {"SELECT * FROM [nothing.txt]", "SELECT * FROM [../outside.txt]",
                            "SELECT * FROM nothing#txt"}) {
        QStringList values;
        EXPECT_NE(session_.QueryList(sql, values), 1) << sql;
        EXPECT_FALSE(session_.Detail().isEmpty()) << sql;
    }
    QFile::remove(dir_.filePath("../outside.txt"));
}

} // namespace
