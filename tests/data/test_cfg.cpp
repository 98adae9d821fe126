#include "data/CfgFile.h"
#include "data/CfgScramble.h"
#include "data/ConnectionText.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

using namespace Qt::StringLiterals;

// Readable failure output for texts.
static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

enum class Encoding { Utf16Le, Utf8Bom, Utf8, Gbk };

// GBK bytes of the few Chinese characters the fixtures use; everything else is ASCII.
QByteArray EncodeGbk(const QString& text) {
    const std::pair<char16_t, const char*> gbk[] = {
        {u'中', "\xD6\xD0"}, {u'文', "\xCE\xC4"}, {u'新', "\xD0\xC2"}, {u'值', "\xD6\xB5"}};
    QByteArray out;
    for (QChar c : text) {
        const auto* found = std::find_if(std::begin(gbk), std::end(gbk),
                                         [c](const auto& entry) { return entry.first == c; });
        if (found != std::end(gbk))
            out += found->second;
        else if (c.unicode() < 0x80)
            out += char(c.unicode());
        else
            ADD_FAILURE() << "no GBK bytes in the test for U+" << std::hex << int(c.unicode());
    }
    return out;
}

QByteArray Encode(Encoding encoding, const QString& text) {
    switch (encoding) {
    case Encoding::Utf16Le:
        return QByteArray("\xFF\xFE", 2) + QStringEncoder(QStringConverter::Utf16LE)(text);
    case Encoding::Utf8Bom:
        return "\xEF\xBB\xBF" + text.toUtf8();
    case Encoding::Utf8:
        return text.toUtf8();
    case Encoding::Gbk:
        return EncodeGbk(text);
    }
    return {};
}

class CfgFileTest : public ::testing::Test {
protected:
    QString path() const { return dir.filePath("cfg.ini"); }
    void writeBytes(const QByteArray& bytes) const {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray readBytes() const {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList filesInDir() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    }

    QTemporaryDir dir;
};

TEST_F(CfgFileTest, NewFileIsUtf16LeWithBomAndCrLf) {
    WriteCfg(path(), "SERVER", "USER", u"张三"_s);
    WriteCfg(path(), "SERVER", "DHBTN", "2");
    WriteCfg(path(), "TABLECOLS", "T1_2_3_4", "120");

    const QString expected =
        u"[SERVER]\r\nUSER=张三\r\nDHBTN=2\r\n[TABLECOLS]\r\nT1_2_3_4=120\r\n"_s;
    EXPECT_EQ(readBytes(), Encode(Encoding::Utf16Le, expected));
    EXPECT_EQ(ReadCfg(path(), "SERVER", "USER"), u"张三"_s);
    EXPECT_EQ(filesInDir(), QStringList{"cfg.ini"}) << "temporary file left behind";
}

TEST_F(CfgFileTest, MissingFileReadsEmptyAndIsNotCreated) {
    EXPECT_EQ(ReadCfg(path(), "SERVER", "NAME"), QString());
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(CfgFileTest, ValuesAreCutTo511Characters) {
    QString value;
    for (int i = 0; value.size() < 600; ++i)
        value += QString::number(i % 10);
    WriteCfg(path(), "SERVER", "NAME", value);
    EXPECT_EQ(ReadCfg(path(), "SERVER", "NAME"), value.left(511));

    WriteCfg(path(), "SERVER", "NAME", value.left(511));
    EXPECT_EQ(ReadCfg(path(), "SERVER", "NAME"), value.left(511));
}

// A file written by hand or by an older client: every encoding must read and write alike.
const QString kHandWritten = u"; settings written by hand\n"
                             "TOP=before any section\n"
                             "[Server]\n"
                             "  Name =  \"  padded in quotes  \"\n"
                             "Close=1 \t\n"
                             "Kept=\"1 \"\n"
                             "user=中文\n"
                             "Dup=first\n"
                             "DUP=second\n"
                             ";TIMEOUT=99\n"
                             "Single='x'\n"
                             "Half=\"x\n"
                             "Nested=\"\"x\"\"\n"
                             "Blank=\n"
                             "\n"
                             "[PRINT]\n"
                             "User=other section\n"_s;

struct FileFormat {
    const char* name;
    Encoding encoding;
    const char* eol;
};

class CfgFileFormatTest : public CfgFileTest, public ::testing::WithParamInterface<FileFormat> {
protected:
    QString withEol(QString text) const { return text.replace("\n", GetParam().eol); }
    void writeFixture() const { writeBytes(Encode(GetParam().encoding, withEol(kHandWritten))); }
};

TEST_P(CfgFileFormatTest, ReadsLikeTheProfileApi) {
    writeFixture();
    struct Lookup {
        const char* section;
        const char* key;
        QString expected;
    };
    const Lookup lookups[] = {
        {"SERVER", "NAME", "  padded in quotes  "},
        {"SERVER", "CLOSE", "1"}, // trailing blanks are not part of the value
        {"SERVER", "KEPT", "1 "}, // unless quoted
        {"server", "USER", u"中文"_s},
        {"SERVER", "dup", "first"},
        {"SERVER", "Single", "x"},
        {"SERVER", "Half", "\"x"},
        {"SERVER", "Nested", "\"x\""},
        {"SERVER", "Blank", ""},
        {"SERVER", "TIMEOUT", ""}, // only in a comment
        {"SERVER", "TOP", ""},     // above every section
        {"SERVER", "MISSING", ""},
        {"MISSING", "NAME", ""},
        {"print", "user", "other section"},
    };
    for (const Lookup& l : lookups)
        EXPECT_EQ(ReadCfg(path(), l.section, l.key), l.expected) << l.section << "/" << l.key;
}

TEST_P(CfgFileFormatTest, WritesKeepEncodingAndUntouchedLines) {
    writeFixture();
    WriteCfg(path(), "server", "USER", u"新值"_s);  // replaced in place
    WriteCfg(path(), "SERVER", "DHBTN", "2");       // appended to its section
    WriteCfg(path(), "B1_2", "PNAME", u"新值 2"_s); // new section at the end

    QString expected = kHandWritten;
    expected.replace(u"user=中文"_s, u"user=新值"_s);
    expected.replace("Blank=\n", "Blank=\nDHBTN=2\n");
    expected += u"[B1_2]\nPNAME=新值 2\n"_s;
    EXPECT_EQ(readBytes(), Encode(GetParam().encoding, withEol(expected)));
    EXPECT_EQ(ReadCfg(path(), "SERVER", "user"), u"新值"_s);
    EXPECT_EQ(filesInDir(), QStringList{"cfg.ini"}) << "temporary file left behind";
}

INSTANTIATE_TEST_SUITE_P(Encodings, CfgFileFormatTest,
                         ::testing::Values(FileFormat{"Utf16Le", Encoding::Utf16Le, "\r\n"},
                                           FileFormat{"Utf8Bom", Encoding::Utf8Bom, "\r\n"},
                                           FileFormat{"Utf8Lf", Encoding::Utf8, "\n"},
                                           FileFormat{"Gbk", Encoding::Gbk, "\r\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CfgFileTest, WriteFitsLineEndsAroundTheEdit) {
    struct Case {
        const char* before;
        const char* section;
        const char* key;
        const char* after;
    };
    const Case cases[] = {
        {"[A]\nK=1", "A", "N", "[A]\nK=1\nN=v\n"}, // last line had no line end
        {"[A]\nK=1", "B", "N", "[A]\nK=1\n[B]\nN=v\n"},
        {"[A]\r\n[B]\nK=1\n", "a", "N", "[A]\r\nN=v\r\n[B]\nK=1\n"}, // the file's first line end
        {"[A]\n  Key = old  \n", "a", "KEY", "[A]\nKey=v\n"},        // the file's spelling stays
    };
    for (const Case& c : cases) {
        writeBytes(c.before);
        WriteCfg(path(), c.section, c.key, "v");
        EXPECT_EQ(readBytes(), QByteArray(c.after)) << c.before;
    }
}

// A hand-written file split at LF (or CR) alone cannot hold a value with that character, nor a
// CR just before a new LF: the write must not change how the file's lines, its other keys
// included, read afterwards.
TEST_F(CfgFileTest, WriteKeepsEveryLineWhenTheFileLineEndsCannotHoldIt) {
    struct Case {
        const char* name;
        QByteArray before;
        QString value;
        QString other; // what X reads before and after
    };
    const Case cases[] = {
        {"value with LF", "[SERVER]\nX=1\n", "a\nb", "1"},
        {"value with surrounding blanks", "[SERVER]\nX=1\n", " a\t", "1"},
        {"value in quotes", "[SERVER]\nX=1\n", "'a'", "1"},
        {"value ending in CR", "[SERVER]\nX=1\n", "a\r", "1"},
        {"last line ending in CR", "[SERVER]\nY=\nX=1\r", "a", "1\r"},
        {"value with CR, file split at CR", "[SERVER]\rX=1\r", "a\rb", "1"},
        {"value with LF, UTF-8 with mark", "\xEF\xBB\xBF[SERVER]\nX=中\n", "\n[x]", "中"},
    };
    for (const Case& c : cases) {
        writeBytes(c.before);
        ASSERT_EQ(ReadCfg(path(), "SERVER", "X"), c.other) << c.name;
        WriteCfg(path(), "SERVER", "NAME", c.value);
        EXPECT_EQ(ReadCfg(path(), "SERVER", "NAME"), c.value) << c.name;
        EXPECT_EQ(ReadCfg(path(), "SERVER", "X"), c.other) << c.name;
        WriteCfg(path(), "SERVER", "USER", "admin");
        EXPECT_EQ(ReadCfg(path(), "SERVER", "NAME"), c.value) << c.name;
        EXPECT_EQ(ReadCfg(path(), "SERVER", "USER"), "admin") << c.name;
    }
}

TEST(CfgTimeout, ParsesLeadingIntegerWithDefaultAndCap) {
    struct Case {
        const char* value;
        int seconds;
    };
    const Case cases[] = {
        {"", 60},     {"500", 300}, {"45", 45}, {"abc", 0},           {"300", 300}, {"301", 300},
        {" 45s", 45}, {"+7", 7},    {"-5", -5}, {"99999999999", 300}, {"0", 0},     {"4 5", 4},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseTimeoutSeconds(c.value), c.seconds) << '"' << c.value << '"';
}

TEST_F(CfgFileTest, TimeoutIsReadFromServerSection) {
    EXPECT_EQ(ReadTimeoutSeconds(path()), 60);
    WriteCfg(path(), "SERVER", "TIMEOUT", "500");
    EXPECT_EQ(ReadTimeoutSeconds(path()), 300);
    EXPECT_EQ(CfgPath("/opt/vemo/"), "/opt/vemo/cfg.ini");
}

TEST(CfgScramble, ShiftsEachUnitByPositionAndLength) {
    EXPECT_EQ(ScrambleCfgText("abc"), "^bf");
    EXPECT_EQ(UnscrambleCfgText("^bf"), "abc");
}

const QString kPostgresText =
    u"Provider=MSDASQL.1;Password=密码1;User Properties=\"DRIVER={PostgreSQL};"
    "DATABASE=进销存;SERVER=192.168.1.20;\t\t\t\t PORT=5432;UID=postgres;PWD=密码1;"
    "TextAsLongVarchar=0;ByteaAsLongVarBinary=1\""_s;
const QString kSqlServerText =
    u"driver={SQL Server};Server=10.0.0.5,1433;DATABASE=账套01;UID=sa;PWD=Pa55;"_s;

TEST(CfgScramble, RoundTripsEveryCodeUnit) {
    const QChar kEdgeUnits[] = {QChar(0), QChar(1), QChar(0xFFFF), QChar(0xFFFE)};
    const QString texts[] = {
        kPostgresText, kSqlServerText, QString(), QString(kEdgeUnits, 4), // wraps both ways
    };
    for (const QString& text : texts) {
        const QString scrambled = ScrambleCfgText(text);
        EXPECT_EQ(scrambled.size(), text.size());
        EXPECT_EQ(UnscrambleCfgText(scrambled), text);
    }
    EXPECT_NE(ScrambleCfgText(kPostgresText), kPostgresText);
}

// Scrambled, the PostgreSQL text holds a lone CR, tabs and other control characters.
TEST_F(CfgFileTest, ScrambledConnectionTextSurvivesTheFile) {
    // These PostgreSQL texts scramble into control characters, a line feed and a NUL among
    // them, and must still come back whole without disturbing the next key.
    const QString withLineFeed = PostgresConnectionText("db", "5432", "shop", "u", "p");
    ASSERT_TRUE(ScrambleCfgText(withLineFeed).contains(u'\n'));
    const QString withNul =
        PostgresConnectionText("127.0.0.1", "55432", "vemo_t_0123456789ab", "postgres", "");
    ASSERT_TRUE(ScrambleCfgText(withNul).contains(QChar(0)));
    for (const QString& text : {kPostgresText, kSqlServerText, withLineFeed, withNul}) {
        WriteCfg(path(), "SERVER", "NAME", ScrambleCfgText(text));
        WriteCfg(path(), "SERVER", "USER", "admin");
        EXPECT_EQ(UnscrambleCfgText(ReadCfg(path(), "SERVER", "NAME")), text);
        EXPECT_EQ(ReadCfg(path(), "SERVER", "USER"), "admin");
    }
}

} // namespace
