// Value grammars of form definition attributes: the integer grammar, rectangles, the two colour
// forms with their messages and fallbacks, and the two font forms.
#include "platform/AppMessage.h"
#include "platform/ValueGrammars.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

// Records every message shown while it lives; the previous sink comes back afterwards.
class CapturedMessages {
public:
    CapturedMessages()
        : m_previous(SetMessageSink([this](const AppMessageRequest& request) {
              requests.push_back(request);
              return MessageAnswer::Ok;
          })) {}
    ~CapturedMessages() { SetMessageSink(m_previous); }

    std::vector<AppMessageRequest> requests;

private:
    MessageSink m_previous;
};

struct IntegerCase {
    const char* text;
    int expected;
};

TEST(IntegerGrammar, ReadsLikeCAtoiAndSaturates) {
    const IntegerCase cases[] = {
        {" 12abc", 12},
        {"-7", -7},
        {"+3", 3},
        {"abc", 0},
        {"", 0},
        {"\t\r\n 5", 5},
        {"12 34", 12},
        {"- 5", 0},
        {"+-3", 0},
        {"007", 7},
        {"3.9", 3},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-99999999999999999999999", INT_MIN},
        {"99999999999999999999999", INT_MAX},
    };
    for (const IntegerCase& c : cases) {
        EXPECT_EQ(ParseIntegerText(QString::fromUtf8(c.text)), c.expected) << '"' << c.text << '"';
        EXPECT_EQ(ParseIntegerText(std::string_view(c.text)), c.expected) << '"' << c.text << '"';
    }
    // Only ASCII digits and blanks count: full-width digits and the ideographic space do not.
    EXPECT_EQ(ParseIntegerText(QStringView(u"１２")), 0);
    EXPECT_EQ(ParseIntegerText(QStringView(u"\u30007")), 0);
    EXPECT_EQ(ParseIntegerText(std::string_view("\xEF\xBC\x91")), 0);
}

TEST(RectGrammar, ReadsFourPartsAndFallsBackToZerosWithOneMessagePerRead) {
    CapturedMessages messages;
    EXPECT_EQ(ParseRectText(u"10,20,300,400"), (RectValue{10, 20, 300, 400}));
    EXPECT_EQ(ParseRectText(u" 1, 2 ,-3,4px"), (RectValue{1, 2, -3, 4}));
    EXPECT_EQ(ParseRectText(u"1,2,3,"), (RectValue{1, 2, 3, 0}));
    EXPECT_TRUE(messages.requests.empty());

    for (const char16_t* bad : {u"10,20,300", u"1,2,3,4,5", u"", u"0"}) {
        messages.requests.clear();
        EXPECT_EQ(ParseRectText(bad), RectValue{}) << QString::fromUtf16(bad).toStdString();
        ASSERT_EQ(messages.requests.size(), 1u) << QString::fromUtf16(bad).toStdString();
        EXPECT_EQ(messages.requests[0].text, QStringLiteral("矩形数据格式错误"));
        EXPECT_EQ(messages.requests[0].caption, QStringLiteral("Vemo"));
    }
}

TEST(RectGrammar, QRectKeepsTheExclusiveRightAndBottomEdges) {
    const QRect rect = RectValue{10, 20, 300, 400}.ToQRect();
    EXPECT_EQ(rect, QRect(10, 20, 290, 380));
    EXPECT_EQ(rect.right(), 299);
    EXPECT_EQ(rect.bottom(), 399);
}

TEST(RgbGrammar, PacksRedLowestAndFallsBackToRedWithOneMessagePerRead) {
    CapturedMessages messages;
    EXPECT_EQ(ParseRgbText(u"255,0,0"), 255);
    EXPECT_EQ(ParseRgbText(u"0,0,255"), 0xFF0000);
    EXPECT_EQ(ParseRgbText(u"1, 2, 3"), 1 + 2 * 256 + 3 * 65536);
    EXPECT_EQ(ParseRgbText(u"240,240,240"), 0xF0F0F0);
    // Out-of-range parts keep their low byte instead of spilling into the next component.
    EXPECT_EQ(ParseRgbText(u"256,-1,0"), 0x00FF00);
    EXPECT_TRUE(messages.requests.empty());

    for (const char16_t* bad : {u"255,0", u"1,2,3,4", u""}) {
        messages.requests.clear();
        EXPECT_EQ(ParseRgbText(bad), 255) << QString::fromUtf16(bad).toStdString();
        ASSERT_EQ(messages.requests.size(), 1u) << QString::fromUtf16(bad).toStdString();
        EXPECT_EQ(messages.requests[0].text, QStringLiteral("RGB颜色格式错误(x,y,z)"));
        EXPECT_EQ(messages.requests[0].caption, QStringLiteral("Vemo"));
    }

    // A malformed value is reported again every time it is read.
    messages.requests.clear();
    ParseRgbText(u"1,2");
    ParseRgbText(u"1,2");
    EXPECT_EQ(messages.requests.size(), 2u);
}

TEST(ArgbGrammar, ReadsThreeOrFourPartsAndFallsBackToOpaqueBlack) {
    CapturedMessages messages;
    EXPECT_EQ(ParseArgbText(u"128,10,20,30"), 0x800A141Eu);
    EXPECT_EQ(ParseArgbText(u"10,20,30"), 0xFF0A141Eu);
    EXPECT_EQ(ParseArgbText(u"0,0,0,0"), 0u);
    EXPECT_EQ(ParseArgbText(u"255,255,255,255"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseArgbText(u""), kOpaqueBlack);
    EXPECT_TRUE(messages.requests.empty());

    for (const char16_t* bad : {u"1,2", u"1,2,3,4,5", u"7"}) {
        messages.requests.clear();
        EXPECT_EQ(ParseArgbText(bad), kOpaqueBlack) << QString::fromUtf16(bad).toStdString();
        ASSERT_EQ(messages.requests.size(), 1u) << QString::fromUtf16(bad).toStdString();
        EXPECT_EQ(messages.requests[0].text, QStringLiteral("Color颜色格式错误(a,x,y,z)"));
        EXPECT_EQ(messages.requests[0].caption, QStringLiteral("Vemo"));
    }
}

// The readers say what was wrong and show nothing: the caller decides what the user sees.
TEST(GrammarReaders, ReturnTheirErrorsWithoutShowingThem) {
    CapturedMessages messages;
    QString error = QStringLiteral("left over");
    EXPECT_EQ(ReadRectText(u"1,2,3,4", error), (RectValue{1, 2, 3, 4}));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(ReadRectText(u"1,2", error), RectValue{});
    EXPECT_EQ(error, QStringLiteral("矩形数据格式错误"));
    EXPECT_EQ(ReadRgbText(u"1", error), 255);
    EXPECT_EQ(error, QStringLiteral("RGB颜色格式错误(x,y,z)"));
    EXPECT_EQ(ReadArgbText(u"1,2", error), kOpaqueBlack);
    EXPECT_EQ(error, QStringLiteral("Color颜色格式错误(a,x,y,z)"));
    EXPECT_EQ(ReadArgbText(u"", error), kOpaqueBlack);
    EXPECT_TRUE(error.isEmpty());
    EXPECT_TRUE(messages.requests.empty());

    ReportGrammarError(QString());
    EXPECT_TRUE(messages.requests.empty());
    ReportGrammarError(QStringLiteral("矩形数据格式错误"));
    ASSERT_EQ(messages.requests.size(), 1u);
    EXPECT_EQ(messages.requests[0].caption, QStringLiteral("Vemo"));
}

TEST(FontGrammar, ReadsSizeAndFace) {
    struct Case {
        const char16_t* text;
        bool useDefault;
        int size;
        int pixelHeight;
        const char16_t* face;
    };
    const Case cases[] = {
        {u"", true, 0, 0, u""},
        {u"9", false, 9, 12, u""},
        {u"10,黑体", false, 10, 13, u"黑体"},
        {u"11,", false, 11, 14, u""},
        {u"9,Arial,ignored,also", false, 9, 12, u"Arial"},
    };
    for (const Case& c : cases) {
        const FontValue font = ParseFontText(c.text);
        const std::string label = QString::fromUtf16(c.text).toStdString();
        EXPECT_EQ(font.useDialogDefault, c.useDefault) << label;
        EXPECT_EQ(font.size, c.size) << label;
        EXPECT_EQ(font.PixelHeight(), c.pixelHeight) << label;
        EXPECT_EQ(font.face, QString::fromUtf16(c.face)) << label;
    }
}

TEST(FontGrammar, ControlFontIsBoldAtTheCellHeightOrTheDialogDefault) {
    QFont dialogDefault(QStringLiteral("Noto Sans"));
    dialogDefault.setPixelSize(15);

    EXPECT_EQ(MakeControlFont(ParseFontText(u""), dialogDefault), dialogDefault);

    const QFont named = MakeControlFont(ParseFontText(u"10,黑体"), dialogDefault);
    EXPECT_TRUE(named.bold());
    EXPECT_EQ(named.pixelSize(), 13);
    EXPECT_EQ(named.family(), QStringLiteral("黑体"));

    const QFont sized = MakeControlFont(ParseFontText(u"9"), dialogDefault);
    EXPECT_TRUE(sized.bold());
    EXPECT_EQ(sized.pixelSize(), 12);
    EXPECT_EQ(sized.family(), dialogDefault.family());

    // No usable size keeps the default's instead of asking Qt for a zero-pixel font.
    const QFont unsized = MakeControlFont(ParseFontText(u"abc"), dialogDefault);
    EXPECT_TRUE(unsized.bold());
    EXPECT_EQ(unsized.pixelSize(), 15);
}

TEST(TextFontGrammar, FillsMissingWidthAndFaceAndIgnoresTheFourthPart) {
    EXPECT_EQ(ParseTextFontText(u"20"), (TextFontValue{20, 32, QStringLiteral("宋体")}));
    EXPECT_EQ(ParseTextFontText(u"20,10"), (TextFontValue{20, 10, QStringLiteral("宋体")}));
    EXPECT_EQ(ParseTextFontText(u"20,10,黑体,700"),
              (TextFontValue{20, 10, QStringLiteral("黑体")}));
    EXPECT_EQ(ParseTextFontText(u"16,8,,1"), (TextFontValue{16, 8, QStringLiteral("宋体")}));
}

TEST(TextFontGrammar, BuildsAThinFontStretchedToTheGivenWidth) {
    const QFont natural = MakeTextFont(TextFontValue{20, 10, QStringLiteral("黑体")});
    EXPECT_EQ(natural.weight(), QFont::Thin);
    EXPECT_EQ(natural.pixelSize(), 20);
    EXPECT_EQ(natural.family(), QStringLiteral("黑体"));
    EXPECT_EQ(natural.stretch(), 100);

    EXPECT_EQ(MakeTextFont(TextFontValue{16, 32, QStringLiteral("宋体")}).stretch(), 400);
}

} // namespace
