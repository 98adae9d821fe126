// Packing and unpacking of stored form definitions: round trips at every supported width,
// hand-built code streams for the dictionary's special cases, and damaged values.
#include "form/DefinitionCodec.h"

#include <QtEndian>
#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// A stored value written code by code, independently of PackDefinition.
QByteArray Stored(quint32 length, int bits, const std::vector<quint32>& codes) {
    QByteArray out(5, '\0');
    qToLittleEndian(length, out.data());
    out[4] = static_cast<char>(bits);
    quint64 acc = 0;
    int held = 0;
    for (const quint32 code : codes) {
        acc |= quint64{code} << held;
        for (held += bits; held >= 8; held -= 8) {
            out.append(static_cast<char>(acc & 0xFF));
            acc >>= 8;
        }
    }
    if (held > 0)
        out.append(static_cast<char>(acc & 0xFF));
    return out;
}

// The text whose UTF-16LE bytes these are (the cases below hold no NUL character).
QString TextOfBytes(const std::vector<quint8>& bytes) {
    QString text;
    for (size_t k = 0; k + 1 < bytes.size(); k += 2)
        text.append(QChar(static_cast<char16_t>(bytes[k] | bytes[k + 1] << 8)));
    return text;
}

QByteArray WithLength(QByteArray stored, quint32 length) {
    qToLittleEndian(length, stored.data());
    return stored;
}

QString SampleFormXml() {
    QString xml = QStringLiteral(
        "<html version='1.0' id='0'><head title='采购合同登记' style='2' pos='0,0,860,620' "
        "bg='1'><ACTION><INIT><run_sql sql=\"SELECT name_0 FROM c_user WHERE uid_0={{userid}}\"/>"
        "</INIT></ACTION><HOTKEY><para_info><k id='5' value='12'/></para_info></HOTKEY></head>"
        "<body><dialog>");
    for (int id = 1; id <= 40; ++id) {
        xml += QStringLiteral("<static id='%1' value='字段%1：供应商名称' pos='10,%2,90,%3'/>"
                              "<textbox id='%4' value='' pos='95,%2,300,%3' maxlen='50'>"
                              "<ACTION><EN_KILLFOCUS log='2'><query_to_wnds sql=\"SELECT "
                              "金额 FROM 合同 WHERE 编号='{{p1}}'\" target_ids='%4'/>"
                              "</EN_KILLFOCUS></ACTION></textbox>")
                   .arg(id)
                   .arg(id * 25)
                   .arg(id * 25 + 20)
                   .arg(id + 100);
    }
    xml += QStringLiteral("<button id='200' value='保存' pos='10,700,80,725'><ACTION><CLICK>"
                          "<insert_head table='合同'/></CLICK></ACTION></button>"
                          "</dialog></body></html>");
    return xml;
}

// Text from a fixed seed: words of markup, Chinese and numbers, enough that the
// dictionary fills and is emptied repeatedly at the narrower widths.
QString VariedText(qsizetype chars) {
    static const char16_t* const kWords[] = {u"<textbox id='",
                                             u"' pos='",
                                             u"'/>",
                                             u"合同",
                                             u"供应商",
                                             u"物料编码",
                                             u"数量",
                                             u"单价",
                                             u"SELECT ",
                                             u" FROM ",
                                             u" WHERE ",
                                             u"uid_0=",
                                             u"{{p1}}",
                                             u"\r\n",
                                             u" ",
                                             u"库存",
                                             u"<ACTION><CLICK>",
                                             u"</CLICK></ACTION>",
                                             u"审核",
                                             u"，",
                                             u"。"};
    std::mt19937 rng(20240611);
    std::uniform_int_distribution<size_t> word(0, std::size(kWords) - 1);
    std::uniform_int_distribution<int> digits(0, 99999);
    QString text;
    while (text.size() < chars) {
        text += QString::fromUtf16(kWords[word(rng)]);
        if (rng() % 3 == 0)
            text += QString::number(digits(rng));
    }
    text.truncate(chars);
    return text;
}

QString RandomCodeUnits(qsizetype chars) {
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> unit(1, 0xFFFF);
    QString text;
    for (qsizetype k = 0; k < chars; ++k)
        text.append(QChar(static_cast<char16_t>(unit(rng))));
    return text;
}

const int kWidths[] = {9, 12, 16, 25};

} // namespace

TEST(DefinitionCodec, PackThenUnpackGivesBackTheText) {
    const struct {
        const char* name;
        QString text;
    } cases[] = {
        {"empty", QString()},
        {"one character", QStringLiteral("x")},
        {"one Chinese character", QStringLiteral("中")},
        {"ASCII", QStringLiteral("<html version='1.0' id='0'></html>")},
        {"Chinese", QStringLiteral("采购合同登记：供应商名称、物料编码、数量与单价均为必填项。")},
        {"form definition", SampleFormXml()},
        {"run of one byte pair", QString(300000, QChar(u'a'))},
        {"run of one Chinese character", QString(70000, QChar(u'库'))},
        {"random code units", RandomCodeUnits(20000)},
        {"varied text", VariedText(400000)},
    };
    for (const auto& c : cases) {
        for (const int bits : kWidths) {
            SCOPED_TRACE(testing::Message() << c.name << ", " << bits << " bits");
            const QByteArray stored = PackDefinition(c.text, bits);
            ASSERT_GE(stored.size(), 6);
            EXPECT_EQ(qFromLittleEndian<quint32>(stored.constData()), c.text.size() * 2 + 2);
            EXPECT_EQ(stored[4], bits);
            const UnpackResult r = UnpackDefinition(stored);
            ASSERT_TRUE(r.ok) << r.error.toStdString();
            EXPECT_TRUE(r.error.isEmpty());
            EXPECT_TRUE(r.text == c.text)
                << "got " << r.text.size() << " of " << c.text.size() << " characters";
        }
    }
}

TEST(DefinitionCodec, LongTextsEmptyTheDictionaryAndStillCompress) {
    const QString varied = VariedText(400000);
    for (const int bits : {9, 12, 16}) {
        SCOPED_TRACE(bits);
        const QByteArray stored = PackDefinition(varied, bits);
        // The round trip above only proves the reset if the stream needs more codes than
        // the dictionary holds.
        const qint64 codes = (stored.size() - 5) * 8 / bits;
        EXPECT_GT(codes, (1 << bits) - 256);
        // Literal codes alone would take more than the UTF-16 bytes.
        EXPECT_LT(stored.size(), varied.size() * 2 * 3 / 4);
    }
    EXPECT_LT(PackDefinition(SampleFormXml()).size(), SampleFormXml().size() * 2 * 3 / 4);
    EXPECT_LT(PackDefinition(QString(300000, QChar(u'a'))).size(), 3000);
}

TEST(DefinitionCodec, TextEndsAtItsFirstNul) {
    const QString text = QStringLiteral("ab") + QChar(0) + QStringLiteral("cd");
    const UnpackResult r = UnpackDefinition(PackDefinition(text));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.text, QStringLiteral("ab"));
}

TEST(DefinitionCodec, PackingRefusesWidthsTheReaderRejects) {
    for (const int bits : {-1, 0, 8, 26, 32})
        EXPECT_TRUE(PackDefinition(QStringLiteral("abc"), bits).isEmpty()) << bits;
}

TEST(DefinitionCodec, HandBuiltStreams) {
    // 257 distinct literals at 9 bits fill the 256-entry dictionary; the code after them is
    // read against an emptied dictionary in which 256 names the entry being defined.
    std::vector<quint32> fill;
    std::vector<quint8> filled;
    for (quint32 j = 0; j < 257; ++j) {
        fill.push_back(j % 255 + 1);
        filled.push_back(static_cast<quint8>(j % 255 + 1));
    }
    const auto concat = [](std::vector<quint32> a, std::initializer_list<quint32> b) {
        a.insert(a.end(), b);
        return a;
    };
    const auto bytes = [](std::vector<quint8> a, quint8 b, int repeat) {
        a.insert(a.end(), repeat, b);
        return a;
    };
    std::vector<quint32> fill256(fill.begin(), fill.end() - 1);
    std::vector<quint8> filled256(filled.begin(), filled.end() - 1);

    const struct {
        const char* name;
        quint32 length;
        int bits;
        std::vector<quint32> codes;
        bool ok;
        std::vector<quint8> expected;
    } cases[] = {
        // 'A' 00, then 256 = "A\0", then 258 = the entry being defined ("A\0" + 'A').
        {"entry being defined",
         8,
         9,
         {0x41, 0x00, 0x100, 0x102, 0x00},
         true,
         {0x41, 0, 0x41, 0, 0x41, 0, 0x41, 0}},
        {"entry being defined as first code",
         4,
         9,
         {0x41, 0x100, 0x00},
         true,
         {0x41, 0x41, 0x41, 0}},
        {"same at 25 bits",
         8,
         25,
         {0x41, 0x00, 0x100, 0x102, 0x00},
         true,
         {0x41, 0, 0x41, 0, 0x41, 0, 0x41, 0}},
        {"code past the entry being defined", 8, 9, {0x41, 0x00, 0x102, 0, 0, 0, 0}, false, {}},
        {"L ends on a string boundary",
         4,
         9,
         {0x41, 0x00, 0x100, 0x102, 0x00},
         true,
         {0x41, 0, 0x41, 0}},
        {"L ends inside a string", 5, 9, {0x41, 0x00, 0x100, 0x102, 0x00}, false, {}},
        {"odd L keeps whole characters",
         7,
         9,
         {0x41, 0x00, 0x100, 0x102, 0x00},
         true,
         {0x41, 0, 0x41, 0, 0x41, 0}},
        {"L beyond the codes", 9, 9, {0x41, 0x00, 0x100, 0x102, 0x00}, false, {}},
        // Emptied after 256 entries: 256 is then prev + its first byte, three times over.
        {"dictionary emptied", 264, 9, concat(fill, {256, 257, 256}), true,
         bytes(filled, filled.back(), 7)},
        // 511 is the 256th entry while it is being defined; one code later the dictionary
        // has been emptied and 257 does not exist yet.
        {"last entry, then emptied", 261, 9, concat(fill256, {511, 256}), true,
         bytes(filled256, filled256.back(), 5)},
        {"old code after emptying", 261, 9, concat(fill256, {511, 257}), false, {}},
        // 300 (b44 b45) is the last code read before emptying; the entry being defined
        // after it extends that two-byte string.
        {"old code, then emptied", 261, 9, concat(fill256, {300, 256}), true,
         [&] {
             auto b = filled256;
             b.insert(b.end(), {45, 46, 45, 46, 45});
             return b;
         }()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const UnpackResult r = UnpackDefinition(Stored(c.length, c.bits, c.codes));
        ASSERT_EQ(r.ok, c.ok) << r.error.toStdString();
        if (c.ok) {
            EXPECT_EQ(r.text, TextOfBytes(c.expected));
        } else {
            EXPECT_FALSE(r.error.isEmpty());
            EXPECT_TRUE(r.text.isEmpty());
        }
    }
}

TEST(DefinitionCodec, DamagedHeadersAndLengths) {
    const QByteArray good = PackDefinition(SampleFormXml(), 12);
    const auto withWidth = [&](int bits) {
        QByteArray s = good;
        s[4] = static_cast<char>(bits);
        return s;
    };
    const quint32 length = qFromLittleEndian<quint32>(good.constData());
    const struct {
        const char* name;
        QByteArray stored;
    } cases[] = {
        {"empty", QByteArray()},
        {"five bytes", good.left(5)},
        {"six bytes claiming two", Stored(2, 12, {0x41}).left(6)},
        {"width 0", withWidth(0)},
        {"width 8", withWidth(8)},
        {"width 26", withWidth(26)},
        {"width 255", withWidth(255)},
        {"length 4 GiB", WithLength(good, 0xFFFFFFFFu)},
        {"length just above 256 MiB", WithLength(good, kMaxUnpackedDefinitionBytes + 1)},
        {"length 256 MiB from a short stream", WithLength(good, kMaxUnpackedDefinitionBytes)},
        {"length two bytes more than the codes give", WithLength(good, length + 2)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const UnpackResult r = UnpackDefinition(c.stored);
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.error.isEmpty());
        EXPECT_TRUE(r.text.isEmpty());
    }

    // A value too short to hold codes after the first still unpacks when L asks for none.
    for (const quint32 l : {0u, 1u}) {
        const UnpackResult r = UnpackDefinition(Stored(l, 12, {0x41}).left(6));
        EXPECT_TRUE(r.ok) << l;
        EXPECT_TRUE(r.text.isEmpty());
    }
    // Bytes after the last code that L needs are padding.
    const UnpackResult padded = UnpackDefinition(good + QByteArray("\xff\x00\x7f", 3));
    ASSERT_TRUE(padded.ok);
    EXPECT_EQ(padded.text, SampleFormXml());
}

TEST(DefinitionCodec, TruncatedValuesFail) {
    for (const int bits : kWidths) {
        const QByteArray good = PackDefinition(SampleFormXml(), bits);
        const qsizetype size = good.size();
        for (const qsizetype cut :
             {qsizetype{0}, qsizetype{1}, qsizetype{4}, qsizetype{5}, qsizetype{6}, qsizetype{7},
              size / 3, size / 2, size - 2, size - 1}) {
            const UnpackResult r = UnpackDefinition(good.left(cut));
            EXPECT_FALSE(r.ok) << bits << " bits cut to " << cut;
            EXPECT_FALSE(r.error.isEmpty());
        }
    }
}

// Whatever the bytes, the reader returns a result; a text it accepts obeys the format's
// limits and survives packing again.
TEST(DefinitionCodec, RandomAndCorruptedValuesNeverBreakTheReader) {
    std::mt19937 rng(12345);
    const QByteArray good = PackDefinition(SampleFormXml().left(1500), 10);
    int accepted = 0;
    for (int iteration = 0; iteration < 30000; ++iteration) {
        QByteArray stored;
        switch (iteration % 3) {
        case 0: { // random bytes of any kind
            stored.resize(static_cast<qsizetype>(rng() % 200));
            for (char& b : stored)
                b = static_cast<char>(rng());
            break;
        }
        case 1: { // a plausible header over random codes
            stored.resize(static_cast<qsizetype>(6 + rng() % 400));
            for (char& b : stored)
                b = static_cast<char>(rng());
            const quint32 most = rng() % 2 ? 16 : 8 * static_cast<quint32>(stored.size());
            qToLittleEndian<quint32>(rng() % most, stored.data());
            stored[4] = static_cast<char>(9 + rng() % 17);
            break;
        }
        default: { // a real value with a few bytes changed
            stored = good;
            for (int k = 0; k < 1 + static_cast<int>(rng() % 4); ++k)
                stored[static_cast<qsizetype>(5 + rng() % (good.size() - 5))] =
                    static_cast<char>(rng());
            break;
        }
        }
        const UnpackResult r = UnpackDefinition(stored);
        if (!r.ok) {
            ASSERT_FALSE(r.error.isEmpty());
            continue;
        }
        ++accepted;
        const quint32 length = qFromLittleEndian<quint32>(stored.constData());
        ASSERT_LE(r.text.size(), length / 2);
        ASSERT_FALSE(r.text.contains(QChar(0)));
        ASSERT_EQ(UnpackDefinition(PackDefinition(r.text, stored[4])).text, r.text);
    }
    // The plausible headers must reach the decoding loop, not only the header checks.
    EXPECT_GT(accepted, 100);
}
