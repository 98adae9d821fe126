// Percent-encoding of form values and the reading of GBK text files.
#include "net/UrlCodec.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

TEST(UrlCodec, EncodesEveryUtf8Byte) {
    EXPECT_EQ(UrlEncode("A b"), "%41%20%62");
    EXPECT_EQ(UrlEncode(u"账&"_s), "%e8%b4%a6%26");
    EXPECT_EQ(UrlEncode(""), "");
}

TEST(UrlCodec, DecodesCompleteEscapesAndKeepsTheRest) {
    struct Case {
        QString in, out;
    };
    const Case cases[] = {
        {"%41%2", "A%2"},     {"%41%42c", "ABc"},         {"%e8%B4%A6%", u"账%"_s},
        {"%zz%4", "%zz%4"},   {u"价%20格"_s, u"价 格"_s}, // characters typed as they are stay
        {"%ff", u"\uFFFD"_s},                             // a byte that is no UTF-8
        {"a+b", "a+b"},                                   // "+" is no space here
    };
    for (const Case& c : cases)
        EXPECT_EQ(UrlDecode(c.in), c.out) << qPrintable(c.in);
    const QString text = u"单价 = 12.5元/吨"_s;
    EXPECT_EQ(UrlDecode(UrlEncode(text)), text);
}

TEST(UrlCodec, ReadsGbkFilesOfMoreThanOneByte) {
    QTemporaryDir dir;
    const auto write = [&](const char* name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    EXPECT_EQ(ReadGbkTextFile(write("v.txt", "1.2\r\n\xD5\xCB\xCC\xD7")), u"1.2\r\n账套"_s);
    EXPECT_EQ(ReadGbkTextFile(write("one.txt", "7")), "");
    EXPECT_EQ(ReadGbkTextFile(write("empty.txt", "")), "");
    EXPECT_EQ(ReadGbkTextFile(dir.filePath("missing.txt")), "");
}
