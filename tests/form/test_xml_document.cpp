// The XML access layer: the engine's path expressions on a realistic form, attribute and value
// readers with their defaults, child look-up and creation, malformed documents, serialisation
// of nested documents, handle lifetime and empty handles.
#include "form/XmlDocument.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>

using namespace FormXml;

namespace {

// One form in the shape the engine reads: a head with its start-up action, a dialog with a
// button action, a grid with columns and an end-edit step, a panel page, and two pop-ups whose
// own heads, bodies and grids must not be confused with the root's.
const char kForm[] = R"(<?xml version="1.0" encoding="gb2312"?>
<!-- 采购合同 -->
<html version="1.0" id="0">
  <head title="采购合同" style="2" pos="0,0,800,600" in_id="4">
    <ACTION><INIT connstr=""><run_sql sql="SELECT 1"/></INIT></ACTION>
    <HOTKEY><para_info><k id="5" value="5"/></para_info></HOTKEY>
    <in_id></in_id>
  </head>
  <body>
    <dialog>
      <textbox id="4" value="" pos="10,10,100,30"/>
      <button id="5" value="保存" pos="10,40,100,60">
        <ACTION>
          <CLICK log="1"><insert_head table_id="4"/><jump/></CLICK>
          <RCLICK log="2"/>
        </ACTION>
      </button>
      <table id="3" pos="10,70,400,300">
        <PARA>
          <table_info><opts is_col_color="1" hidden="0"/><para_info value="打印"/></table_info>
          <col_info>
            <col id="1" title="编号"/>
            <col id="2" title="金额" sum="1"><ENDEDIT><target_ids value="4"/></ENDEDIT></col>
          </col_info>
        </PARA>
      </table>
      <panel id="8" pos="400,10,780,300">
        <html id="81" title="明细"><head title="页一"/><body><dialog>
          <static id="1" value="a &quot;b&quot; &amp; &lt;c&gt; 'd'">说明：&amp;备注</static>
        </dialog></body></html>
      </panel>
    </dialog>
    <popup>
      <html id="6"><head title="选择客户"/><body/></html>
      <html id="7"><head title="选择供应商"/><body><dialog>
        <table id="3"><PARA><col_info title="pop-up columns"/></PARA></table>
      </dialog></body></html>
    </popup>
  </body>
</html>
)";

class XmlForm : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(doc.LoadXml(QString::fromUtf8(kForm)));
        body = doc.GetRoot().GetChild("body");
        dialog = body.GetChild("dialog");
        ASSERT_FALSE(dialog.IsEmpty());
    }

    XmlDocument doc;
    XmlNode body;
    XmlNode dialog;
};

TEST_F(XmlForm, EveryEnginePathFindsItsElement) {
    struct Case {
        const char* context; // "doc", "body" or "dialog"
        const char* path;
        const char* name;
        const char* attribute;
        const char* value;
    };
    const Case cases[] = {
        {"doc", "//html/head", "head", "title", "采购合同"},
        {"doc", "//html[@id=0]/body/dialog/button[@id=5]/ACTION/CLICK", "CLICK", "log", "1"},
        {"doc", "//html[@id=0]/body/dialog/button[@id=5]/ACTION/RCLICK", "RCLICK", "log", "2"},
        {"doc", "//html/body/dialog/table[@id=3]/PARA/col_info", "col_info", "title", ""},
        {"doc", "//html[@id=0]/body/dialog/table[@id=3]/PARA/col_info/col[@id=2]", "col", "title",
         "金额"},
        {"doc", "//html[@id=0]/body/dialog/table[@id=3]/PARA/col_info/col[@id=2]/ENDEDIT",
         "ENDEDIT", "", ""},
        {"doc", "head/ACTION/INIT", "INIT", "", ""},
        {"body", "popup/html[@id=7]", "html", "id", "7"},
        {"body", "popup/html[@id=6]/head", "head", "title", "选择客户"},
        {"dialog", "table[@id=3]", "table", "pos", "10,70,400,300"},
        {"dialog", "table[@id=3]/PARA/col_info", "col_info", "title", ""},
        {"dialog", "table[@id=3]/PARA/table_info", "table_info", "", ""},
        {"dialog", "table[@id=3]/PARA/table_info/para_info", "para_info", "value", "打印"},
        {"dialog", "*[local-name(.) = 'panel']", "panel", "id", "8"},
        {"dialog", "child::*", "textbox", "id", "4"},
    };
    for (const Case& c : cases) {
        const QString context = QString::fromUtf8(c.context);
        const XmlNode node = context == "doc"    ? doc.SelectSingleNode(c.path)
                             : context == "body" ? body.SelectSingleNode(c.path)
                                                 : dialog.SelectSingleNode(c.path);
        ASSERT_FALSE(node.IsEmpty()) << c.path;
        EXPECT_EQ(node.GetName(), QString::fromUtf8(c.name)) << c.path;
        if (*c.attribute) {
            EXPECT_EQ(node.GetAttribute(c.attribute), QString::fromUtf8(c.value)) << c.path;
        }
    }
    // Paths with their numbers inserted at run time, as QString.
    EXPECT_EQ(
        doc.SelectSingleNode(
               QStringLiteral("//html[@id=%1]/body/dialog/%2[@id=%3]").arg("0", "textbox").arg(4))
            .GetAttribute("pos"),
        QStringLiteral("10,10,100,30"));
}

TEST_F(XmlForm, SelectionsThatMissOrAreInvalidGiveEmptyHandles) {
    for (const char* path : {
             "//html[@id=1]/body/dialog/button[@id=5]/ACTION/CLICK", // another form's id
             "//html[@id=0]/body/dialog/button[@id=5]/ACTION/DCLICK", "popup/html[@id=9]",
             "][",                // syntax error
             "count(*)",          // not a node set
             "//html/head/@title" // an attribute, not an element
         }) {
        EXPECT_TRUE(doc.SelectSingleNode(path).IsEmpty()) << path;
        EXPECT_TRUE(body.SelectSingleNode(path).IsEmpty()) << path;
    }
    EXPECT_TRUE(dialog.SelectSingleNode(QStringLiteral("table[@id='")).IsEmpty());
}

TEST_F(XmlForm, AttributeReadersApplyTheirDefaultsAndTheIntegerGrammar) {
    XmlDocument attrs;
    ASSERT_TRUE(attrs.LoadXml(QStringLiteral(
        "<e empty='' num=' 12abc' neg='-7' plus='+3' word='abc' big='99999999999' one='1' "
        "zero='0' t='true' y='yes' spaced=' 1' 名称='采购'/>")));
    const XmlNode e = attrs.GetRoot();

    EXPECT_EQ(e.GetAttribute("empty", "d"), QStringLiteral("d"));
    EXPECT_EQ(e.GetAttribute("missing", "d"), QStringLiteral("d"));
    EXPECT_EQ(e.GetAttribute("missing"), QString());
    EXPECT_EQ(e.GetAttribute(u"名称"), QStringLiteral("采购"));
    EXPECT_EQ(e.GetAttribute(QStringLiteral("名称")), QStringLiteral("采购"));

    struct IntCase {
        const char* name;
        int expected;
    };
    for (const IntCase& c :
         {IntCase{"num", 12}, IntCase{"neg", -7}, IntCase{"plus", 3}, IntCase{"word", 0},
          IntCase{"big", INT_MAX}, IntCase{"empty", 42}, IntCase{"missing", 42}}) {
        EXPECT_EQ(e.GetAttributeInt(c.name, 42), c.expected) << c.name;
        EXPECT_EQ(e.GetAttributeInt(QString::fromUtf8(c.name), 42), c.expected) << c.name;
    }

    // Only "1" and "0" are booleans; everything else reads as the default either way.
    EXPECT_TRUE(e.GetAttributeBool("one", false));
    EXPECT_FALSE(e.GetAttributeBool("zero", true));
    for (const char* name : {"t", "y", "spaced", "empty", "missing", "num"}) {
        EXPECT_TRUE(e.GetAttributeBool(name, true)) << name;
        EXPECT_FALSE(e.GetAttributeBool(QString::fromUtf8(name), false)) << name;
    }
}

TEST_F(XmlForm, GetValueIntWritesTheDefaultIntoAnEmptyElement) {
    const XmlNode inId = doc.GetRoot().GetChild("head").GetChild("in_id");
    ASSERT_FALSE(inId.IsEmpty());
    EXPECT_EQ(inId.GetValue(), QString());
    EXPECT_EQ(inId.GetValueInt(0), 0);
    EXPECT_EQ(inId.GetValue(), QStringLiteral("0"));
    EXPECT_EQ(inId.GetXml(), QStringLiteral("<in_id>0</in_id>"));
    // Now that it holds text, another default neither applies nor overwrites it.
    EXPECT_EQ(inId.GetValueInt(9), 0);
    EXPECT_EQ(inId.GetValue(), QStringLiteral("0"));

    XmlDocument other;
    ASSERT_TRUE(other.LoadXml(QStringLiteral("<h><in_id> 12 </in_id><e/></h>")));
    EXPECT_EQ(other.GetRoot().GetChild("in_id").GetValueInt(5), 12);
    EXPECT_EQ(other.GetRoot().GetChild("in_id").GetValue(), QStringLiteral(" 12 "));
    EXPECT_EQ(other.GetRoot().GetChild("e").GetValueInt(-3), -3);
    EXPECT_EQ(other.GetRoot().GetChild("e").GetValue(), QStringLiteral("-3"));
}

TEST(XmlValue, TextContentJoinsDescendantTextAndSetValueReplacesTheContent) {
    XmlDocument doc;
    ASSERT_TRUE(
        doc.LoadXml(QStringLiteral("<a>\n  <b>甲&amp;</b>\n  <c><![CDATA[<乙>]]></c>丙\n</a>")));
    const XmlNode a = doc.GetRoot();
    EXPECT_EQ(a.GetValue(), QStringLiteral("甲&<乙>丙\n"));
    EXPECT_EQ(a.GetChild("b").GetValue(), QStringLiteral("甲&"));

    a.SetValue(QStringLiteral("新 <值> & 'x'"));
    EXPECT_EQ(a.GetValue(), QStringLiteral("新 <值> & 'x'"));
    EXPECT_EQ(a.GetChildren().GetCount(), 0);
    XmlDocument again;
    ASSERT_TRUE(again.LoadXml(a.GetXml()));
    EXPECT_EQ(again.GetRoot().GetValue(), QStringLiteral("新 <值> & 'x'"));

    a.SetValue(QString());
    EXPECT_EQ(a.GetValue(), QString());
}

TEST(XmlChild, LooksUpByLocalNameAndCreatesAtMostOneChild) {
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadXml(QStringLiteral(
        "<html id='0'><body><x:PARA n='1'/><PARA n='2'/>text<!--c--><dialog/></body></html>")));
    const XmlNode body = doc.GetRoot().GetChild("body");

    EXPECT_EQ(body.GetChild("PARA").GetAttribute("n"), QStringLiteral("1"));
    EXPECT_EQ(body.GetChild(u"dialog").GetName(), QStringLiteral("dialog"));
    EXPECT_TRUE(body.GetChild("missing").IsEmpty());
    EXPECT_TRUE(body.GetChild("").IsEmpty());
    EXPECT_TRUE(body.GetChild("", true).IsEmpty());
    EXPECT_EQ(body.GetChildren().GetCount(), 3);

    // Apostrophes, which an XPath string literal cannot hold as written, are matched as well.
    for (const QString& name : {QStringLiteral("it's"), QStringLiteral("O'Neil's"),
                                QStringLiteral("''"), QStringLiteral("say \"'\"")}) {
        const int before = body.GetChildren().GetCount();
        const XmlNode created = body.GetChild(name, true);
        ASSERT_FALSE(created.IsEmpty()) << name.toStdString();
        EXPECT_EQ(created.GetName(), name);
        EXPECT_EQ(body.GetChild(name, true), created) << name.toStdString();
        EXPECT_EQ(body.GetChild(name), created) << name.toStdString();
        EXPECT_EQ(body.GetChildren().GetCount(), before + 1) << name.toStdString();
        EXPECT_EQ(body.GetChildren().GetItem(before), created) << name.toStdString();
    }
}

TEST(XmlChild, EmptyFormGetsItsSectionsOnDemand) {
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadXml(QStringLiteral("<html version='1.0' id='0'></html>")));
    const XmlNode root = doc.GetRoot();
    EXPECT_EQ(root.GetAttributeInt("id", -1), 0);
    EXPECT_TRUE(root.GetChild("head").IsEmpty());
    EXPECT_TRUE(root.GetChild("body").IsEmpty());
    EXPECT_EQ(root.GetChildren().GetCount(), 0);
    EXPECT_TRUE(doc.SelectSingleNode("//html/head").IsEmpty());
    EXPECT_TRUE(
        doc.SelectSingleNode("//html[@id=0]/body/dialog/button[@id=1]/ACTION/CLICK").IsEmpty());

    const XmlNode dialog = root.GetChild("body", true).GetChild("dialog", true);
    ASSERT_FALSE(dialog.IsEmpty());
    EXPECT_EQ(doc.SelectSingleNode("//html/body/dialog"), dialog);
    EXPECT_EQ(dialog.GetParent().GetParent(), root);
    EXPECT_EQ(root.GetChildren().GetCount(), 1);
    EXPECT_EQ(dialog.GetChildren().GetCount(), 0);
}

TEST(XmlLoad, MalformedTextLeavesTheDocumentEmpty) {
    for (const char* text : {
             "",
             "   ",
             "not xml",
             "<html id='0'><head></html>",
             "<html id='0'>",
             "<html id='0'",
             "<html id=0/>",
             "<a/><b/>", // two document elements
             "text<a/>", // text outside the document element
             "<a/>trailing",
             "<it's/>",
         }) {
        XmlDocument doc;
        ASSERT_TRUE(doc.LoadXml(QString::fromUtf8(kForm)));
        const XmlNode before = doc.GetRoot();

        EXPECT_FALSE(doc.LoadXml(QString::fromUtf8(text))) << text;
        EXPECT_TRUE(doc.IsEmpty()) << text;
        EXPECT_TRUE(doc.GetRoot().IsEmpty()) << text;
        EXPECT_TRUE(doc.GetRoot().GetChild("body", true).IsEmpty()) << text;
        EXPECT_EQ(doc.GetRoot().GetChildren().GetCount(), -1) << text;
        EXPECT_TRUE(doc.SelectSingleNode("//html/head").IsEmpty()) << text;
        EXPECT_TRUE(doc.SelectSingleNode("*").IsEmpty()) << text;
        // A handle taken before still reads the document it came from.
        EXPECT_EQ(before.GetChild("head").GetAttribute("title"), QStringLiteral("采购合同"));
    }
}

// Where a refused text goes wrong is counted in characters of the caller's text, not in bytes
// of the parser's UTF-8 copy, and a byte-order mark counts as one.
TEST(XmlLoad, RefusalSaysWhereTheTextGoesWrong) {
    const struct {
        QString text;
        qsizetype offset;
    } cases[] = {
        {QStringLiteral("   "), -1},
        {QStringLiteral("text<a/>"), 0},
        {QStringLiteral("<a/><b/>"), 4},
        {QStringLiteral("<a/>\r\n  x"), 8},
        {QStringLiteral("<甲 x='乙'/>trailing"), 10},
        {QStringLiteral("\uFEFF<a/>x"), 5},
        {QStringLiteral("<甲>\n<乙></甲>"), 9},
        {QStringLiteral("<甲乙"), 2}, // the parser stops inside the last character
        {QStringLiteral("<html><head title=\"x\"><body>"), 27},
    };
    for (const auto& c : cases) {
        XmlDocument doc;
        XmlLoadError error;
        EXPECT_FALSE(doc.LoadXml(c.text, &error)) << qPrintable(c.text);
        EXPECT_FALSE(error.description.isEmpty()) << qPrintable(c.text);
        EXPECT_EQ(error.offset, c.offset) << qPrintable(c.text);
    }
}

TEST(XmlLoad, AcceptsPrologCommentsAndByteOrderMarkAndDropsBlankText) {
    XmlDocument doc;
    ASSERT_TRUE(doc.LoadXml(QStringLiteral("\uFEFF<?xml version='1.0' encoding='gb2312'?>\n"
                                           "<!DOCTYPE html>\n<!-- c -->\n<html id='0'>\n  "
                                           "<!-- c -->\n  <head/>\n  <?pi x?>\n</html>\n")));
    const XmlNode root = doc.GetRoot();
    EXPECT_EQ(root.GetName(), QStringLiteral("html"));
    EXPECT_EQ(root.GetChildren().GetCount(), 1);
    EXPECT_EQ(root.GetValue(), QString());
    const QString xml = root.GetXml();
    EXPECT_FALSE(xml.contains(u'?') || xml.contains(u'!') || xml.contains(u'\n'))
        << qPrintable(xml);
}

TEST_F(XmlForm, NestedDocumentSerialisesAndParsesAgainUnchanged) {
    const XmlNode page = dialog.SelectSingleNode("panel[@id=8]/html");
    ASSERT_FALSE(page.IsEmpty());
    const QString xml = page.GetXml();
    EXPECT_TRUE(xml.startsWith(QStringLiteral("<html id=\"81\""))) << xml.toStdString();
    EXPECT_TRUE(xml.endsWith(QStringLiteral("</html>"))) << xml.toStdString();

    XmlDocument copy;
    ASSERT_TRUE(copy.LoadXml(xml));
    EXPECT_EQ(copy.GetRoot().GetXml(), xml);
    const XmlNode label = copy.SelectSingleNode("//html[@id=81]/body/dialog/static[@id=1]");
    EXPECT_EQ(label.GetAttribute("value"), QStringLiteral("a \"b\" & <c> 'd'"));
    EXPECT_EQ(label.GetValue(), QStringLiteral("说明：&备注"));
    EXPECT_EQ(copy.GetRoot().GetAttribute("title"), QStringLiteral("明细"));
    EXPECT_EQ(copy.SelectSingleNode("head").GetAttribute("title"), QStringLiteral("页一"));

    XmlDocument direct;
    ASSERT_TRUE(direct.LoadElement(page));
    EXPECT_EQ(direct.GetRoot().GetXml(), xml);
    // The copy is independent of the document it came from.
    direct.GetRoot().GetChild("head").SetValue(QStringLiteral("x"));
    EXPECT_EQ(page.GetXml(), xml);

    EXPECT_FALSE(direct.LoadElement(XmlNode()));
    EXPECT_TRUE(direct.GetRoot().IsEmpty());
}

TEST_F(XmlForm, ChildrenAreElementsInDocumentOrder) {
    const XmlNodes controls = dialog.GetChildren();
    ASSERT_EQ(controls.GetCount(), 4);
    const char* names[] = {"textbox", "button", "table", "panel"};
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(controls.GetItem(k).GetName(), QString::fromUtf8(names[k]));
    EXPECT_TRUE(controls.GetItem(-1).IsEmpty());
    EXPECT_TRUE(controls.GetItem(4).IsEmpty());

    const XmlNode click =
        doc.SelectSingleNode("//html[@id=0]/body/dialog/button[@id=5]/ACTION/CLICK");
    const XmlNodes commands = click.GetChildren();
    ASSERT_EQ(commands.GetCount(), 2);
    EXPECT_EQ(commands.GetItem(1).GetName(), QStringLiteral("jump"));
    EXPECT_EQ(commands.GetItem(0).GetChildren().GetCount(), 0);

    // A control's grandparent is the body that holds the pop-ups; the root has no parent.
    EXPECT_EQ(controls.GetItem(1).GetParent().GetParent(), body);
    EXPECT_TRUE(doc.GetRoot().GetParent().IsEmpty());
}

TEST(XmlHandles, OutliveTheirDocumentObject) {
    XmlNode head;
    XmlNodes children;
    {
        auto doc = std::make_unique<XmlDocument>();
        ASSERT_TRUE(doc->LoadXml(QStringLiteral("<html id='0'><head title='甲'/><body/></html>")));
        head = doc->SelectSingleNode("//html/head");
        children = doc->GetRoot().GetChildren();
        ASSERT_TRUE(doc->LoadXml(QStringLiteral("<html id='1'/>")));
        EXPECT_TRUE(doc->SelectSingleNode("//html/head").IsEmpty());
    }
    EXPECT_EQ(head.GetAttribute("title"), QStringLiteral("甲"));
    EXPECT_EQ(head.GetParent().GetAttributeInt("id", -1), 0);
    ASSERT_EQ(children.GetCount(), 2);
    EXPECT_EQ(children.GetItem(1).GetName(), QStringLiteral("body"));
    EXPECT_EQ(children.GetItem(0), head);
    head.GetChild("ACTION", true).GetChild("INIT", true);
    EXPECT_EQ(head.GetParent().SelectSingleNode("head/ACTION/INIT").GetName(),
              QStringLiteral("INIT"));
}

TEST(XmlHandles, EmptyHandlesGiveTheAbsentResults) {
    const XmlNode node;
    EXPECT_TRUE(node.IsEmpty());
    EXPECT_EQ(node.GetName(), QString());
    EXPECT_EQ(node.GetAttribute("id", "d"), QStringLiteral("d"));
    EXPECT_EQ(node.GetAttribute(u"id"), QString());
    EXPECT_EQ(node.GetAttributeInt("id", 7), 7);
    EXPECT_TRUE(node.GetAttributeBool("id", true));
    EXPECT_EQ(node.GetValue(), QString());
    node.SetValue(QStringLiteral("x"));
    EXPECT_EQ(node.GetValueInt(7), 7);
    EXPECT_TRUE(node.GetChild("body", true).IsEmpty());
    EXPECT_TRUE(node.GetChild(u"body", true).IsEmpty());
    EXPECT_EQ(node.GetChildren().GetCount(), -1);
    EXPECT_TRUE(node.GetChildren().GetItem(0).IsEmpty());
    EXPECT_TRUE(node.SelectSingleNode("*").IsEmpty());
    EXPECT_TRUE(node.SelectSingleNode(u"][").IsEmpty());
    EXPECT_TRUE(node.GetParent().IsEmpty());
    EXPECT_EQ(node.GetXml(), QString());

    const XmlDocument doc;
    EXPECT_TRUE(doc.GetRoot().IsEmpty());
    EXPECT_TRUE(doc.SelectSingleNode("//html/head").IsEmpty());
}

} // namespace
