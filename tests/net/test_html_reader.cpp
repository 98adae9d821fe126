// The HTML reader: character references, script contents, the element tree the commands match
// against (end tags closing what is inside them, stray end tags ignored), path specs and the
// texts of matched elements.
#include "net/HtmlReader.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

// The inner texts of the elements that `spec` matches.
QStringList Inner(const QString& html, const QString& spec) {
    HtmlDocument document;
    document.Parse(html);
    QStringList texts;
    for (const int i : document.Find(HtmlPathSpec::Parse(spec)))
        texts.append(document.InnerText(i));
    return texts;
}

struct TextCollector : HtmlTokenHandler {
    QStringList texts;
    void OnToken(const HtmlToken& token) override {
        if (token.kind == HtmlTokenKind::Text)
            texts.append(token.Text());
        else if (token.kind == HtmlTokenKind::StartTag)
            texts.append(u"<"_s + token.name.toString() + u">"_s);
    }
};

} // namespace

TEST(HtmlReader, ResolvesCharacterReferences) {
    struct Case {
        QString in, out;
    };
    const Case cases[] = {
        {"&amp;&lt;&gt;&quot;&apos;", "&<>\"'"},
        {"&nbsp;&eth;&thorn;&AElig;&aelig;&euro;", u"\u00A0\u00F0\u00FE\u00C6\u00E6\u20AC"_s},
        {"&#65;&#x42;&#X43;&#68", "ABCD"},
        {"&#x1F600;", u"\U0001F600"_s},
        {"&#0;&#xD800;&#1114112;&#99999999999999;", u"\uFFFD\uFFFD\uFFFD\uFFFD"_s},
        {"&bogus; &Amp; &amp &#; &#x; & &", "&bogus; &Amp; &amp &#; &#x; & &"},
        {"a&", "a&"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ResolveCharacterReferences(c.in), c.out) << qPrintable(c.in);
}

TEST(HtmlReader, ScriptContentsAreNotMarkup) {
    const QString html =
        u"<script type='x'>if (a<b && c>d) { s = '<td>x</td>'; }</SCRIPT ><td>1 &lt; 2</td>"_s;
    TextCollector collector;
    TokenizeHtml(html, collector);
    EXPECT_EQ(collector.texts,
              QStringList({"<script>", "if (a<b && c>d) { s = '<td>x</td>'; }", "<td>", "1 < 2"}));
    EXPECT_EQ(Inner(html, "td"), QStringList({"1 &lt; 2"}));
    // A script that never ends is text to the end.
    EXPECT_EQ(Inner(u"<script><td>x</td>"_s, "td"), QStringList());
}

TEST(HtmlReader, EndTagsCloseTheNearestOpenElementOfTheirName) {
    const QString html = u"<DIV id=a><p>one<b>bold</P><i>x</i></span></div>tail</div>"_s;
    HtmlDocument document;
    document.Parse(html);
    ASSERT_EQ(document.ElementCount(), 4);
    // </P> closes p and the b left open inside it; </span> matches nothing and the second
    // </div> has nothing left to close.
    EXPECT_EQ(document.InnerText(0), "<p>one<b>bold</P><i>x</i></span>");
    EXPECT_EQ(document.InnerText(1), "one<b>bold");
    EXPECT_EQ(document.InnerText(2), "<b>"); // never closed: its start tag
    EXPECT_EQ(document.TagText(0), "<DIV id=a>");
    EXPECT_EQ(document.Element(3).parent, 0);
    EXPECT_EQ(document.Element(2).parent, 1);
    const HtmlElement& div = document.Element(0);
    EXPECT_EQ(html.mid(div.endBegin, div.endEnd - div.endBegin), "</div>");
}

TEST(HtmlReader, PathSpecLooksAtTheFirstAttributeOnly) {
    const QString html = u"<div class='price'>1</div><div id='x' class='price'>2</div>"
                         u"<DIV CLASS=PRICE>3</DIV><div class=\"pri&#99;e\">4</div>"
                         u"<div class='price2'>5</div><span class='price'>6</span>"_s;
    EXPECT_EQ(Inner(html, "div,class,price"), QStringList({"1", "3", "4"}));
    EXPECT_EQ(Inner(html, "div,class"), QStringList({"1", "3", "4", "5"}));
    EXPECT_EQ(Inner(html, "div,id"), QStringList({"2"}));
    EXPECT_EQ(Inner(html, "div"), QStringList({"1", "2", "3", "4", "5"}));
    EXPECT_EQ(Inner(html, "").size(), 6);
    EXPECT_EQ(Inner(html, ",class,nothing").size(), 6); // no tag part: everything
}

TEST(HtmlReader, MalformedMarkupIsReadToItsEnd) {
    struct Case {
        QString html;
        int elements;
    };
    const Case cases[] = {
        {"<a href='x>never closed", 0},
        {"<a href=", 0},
        {"<td", 0},
        {"a < b <3 </ >", 0},
        {"<!-- <td>hidden</td> -->", 0},
        {"<!-- open <td>", 0},
        {"<!DOCTYPE html><?xml x?><td x = 1 / y>1", 1},
        {"<td =x 'y'=\"z\"/>", 1},
        {"</td></td><td>", 1},
    };
    for (const Case& c : cases) {
        HtmlDocument document;
        document.Parse(c.html);
        EXPECT_EQ(document.ElementCount(), c.elements) << qPrintable(c.html);
    }
}
