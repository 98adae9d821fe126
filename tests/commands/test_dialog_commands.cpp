// Pop-up forms opened by a button of a real form: a stored function or a nested document, the
// value handed over from the selected row or a control, and the pop-up kept per opener.
#include "form/FormControls.h"
#include "form/FormRegistry.h"
#include "form/FormWindow.h"
#include "support/FormTestSession.h"
#include "widgets/GridView.h"

#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

const char* kOpener = R"xml(<html version='1.0' id='0'>
<head title='合同' pos='0,0,600,400'/>
<body>
<dialog>
  <textbox id='1' value='手填' pos='10,10,100,30'/>
  <table id='9' pos='10,40,500,300'><PARA><col_info>
    <col id='1' title='编号' width='80'/><col id='2' title='名称' width='80'/>
    <col id='3' title='金额' width='80'/>
  </col_info></PARA></table>
  <button id='20' value='详情' pos='10,310,90,330'><ACTION><CLICK>
    <show_dialog><para_info html_id='0:77:4:5' table_id='9' col_id='2' to_wnd_id='3'/></show_dialog>
  </CLICK></ACTION></button>
  <button id='21' value='嵌套' pos='100,310,190,330'><ACTION><CLICK>
    <show_dialog><para_info html_id='5' table_id='9' col_id='-1' type='看'/></show_dialog>
  </CLICK></ACTION></button>
  <button id='22' value='查询' pos='200,310,290,330'><ACTION><CLICK>
    <show_dialog><para_info html_id="SELECT '0:' || '{{popup?id}}'" table_id='9'
      popup_col_id='1' from_wnd_id='1'/></show_dialog>
  </CLICK></ACTION></button>
  <button id='23' value='无此' pos='300,310,390,330'><ACTION><CLICK>
    <show_dialog><para_info html_id='6'/></show_dialog>
  </CLICK></ACTION></button>
  <button id='24' value='记录' pos='400,310,490,330'><ACTION><CLICK>
    <show_dialog><para_info html_id='0:79'/></show_dialog>
    <run_sql><w run_sql="INSERT INTO t_seen (who_0) VALUES ('开启者')"/></run_sql>
  </CLICK></ACTION></button>
</dialog>
<popup><html id='5'><head title='嵌套' pos='0,0,300,200' in_id='1'><in_id>1</in_id></head>
  <body><dialog><textbox id='1' pos='10,10,200,30'/></dialog></body></html></popup>
</body></html>)xml";

// The stored function: its box 1 shows the opener value, box 3 receives the kept column text,
// and boxes 4 and 5 are the opener's disable and hide lists.
const char* kDetail = R"xml(<html version='1.0' id='0'>
<head title='详情' pos='0,0,300,200' in_id='1'><in_id>1</in_id></head>
<body><dialog>
  <textbox id='1' pos='10,10,200,30'/><textbox id='3' pos='10,40,200,60'/>
  <textbox id='4' pos='10,70,200,90'/><textbox id='5' pos='10,100,200,120'/>
</dialog></body></html>)xml";

// A function whose start-up action writes: it must not run inside its opener's transaction.
const char* kWriter = R"xml(<html version='1.0' id='0'>
<head title='记录' pos='0,0,300,200'><ACTION><INIT>
  <run_sql><w run_sql="INSERT INTO t_seen (who_0) VALUES ('弹出')"/></run_sql>
</INIT></ACTION></head>
<body><dialog><textbox id='1' pos='10,10,200,30'/></dialog></body></html>)xml";

class DialogCommands : public ::testing::Test {
protected:
    void SetUp() override {
        QString why;
        if (!session_.Start(Engine::Sqlite, why))
            GTEST_SKIP() << qPrintable(why);
        for (const char* uid : {"77", "78"})
            FormRegistry::Instance().formCache.insert(uid, QString::fromUtf8(kDetail));
        FormRegistry::Instance().formCache.insert("79", QString::fromUtf8(kWriter));
        form_ =
            FormWindow::OpenForm(QString::fromUtf8(kOpener), QString(), QString(), "5", "合同", "");
        ASSERT_TRUE(form_);
        grid_ = qobject_cast<GridView*>(form_->ControlByWindowId(Id(9)));
        ASSERT_TRUE(grid_);
        for (const QStringList& row :
             {QStringList{"77", "甲合同", "100"}, QStringList{"78", "乙合同", "200"}}) {
            const int index = grid_->InsertRow(grid_->RowCount(), row[0]);
            for (int column = 1; column < row.size(); ++column)
                grid_->SetCellText(index, column, row[column]);
            grid_->SetRowKey(index, "k" + row[0]);
        }
    }
    void TearDown() override {
        for (const char* uid : {"77", "78", "79"})
            FormRegistry::Instance().formCache.remove(uid);
        session_.Stop();
    }

    static int Id(int documentId) { return documentId + FormControls::kWindowIdBase; }
    bool Press(int button) { return form_->RunAction(Id(button), "CLICK"); }
    void Select(int row) {
        for (int i = 0; i < grid_->RowCount(); ++i)
            grid_->SelectRow(i, i == row);
    }
    // The pop-ups this form opened, as the registry keeps them.
    QList<FormWindow*> Popups() const {
        QList<FormWindow*> found;
        const auto& open = FormRegistry::Instance().openForms;
        for (auto it = open.cbegin(); it != open.cend(); ++it)
            if (it->parentForm == form_)
                found.append(qobject_cast<FormWindow*>(it.key()));
        return found;
    }
    static QString Text(FormWindow* form, int id) {
        auto* box = qobject_cast<QLineEdit*>(form->ControlByWindowId(Id(id)));
        return box ? box->text() : QStringLiteral("<none>");
    }

    FormTestSession session_;
    FormWindow* form_ = nullptr;
    GridView* grid_ = nullptr;
};

TEST_F(DialogCommands, StoredFunctionOpensModelessOnceAndIsBroughtBackForTheSameOpener) {
    Select(0);
    ASSERT_TRUE(Press(20));
    ASSERT_EQ(Popups().size(), 1);
    FormWindow* popup = Popups().first();
    EXPECT_TRUE(popup->isVisible());
    EXPECT_FALSE(popup->isModal());
    EXPECT_EQ(popup->parentForm, form_);
    EXPECT_EQ(popup->parentWidget(), form_) << "owned by its opener";
    EXPECT_EQ(popup->menuUid, "77");
    // The row key is the opener value: the kept column goes to box 3 instead.
    EXPECT_EQ(Text(popup, 1), "k77");
    EXPECT_EQ(Text(popup, 3), "甲合同");
    EXPECT_FALSE(popup->ControlByWindowId(Id(4))->isEnabled());
    EXPECT_TRUE(popup->ControlByWindowId(Id(5))->isHidden());

    // The same function for the same opener: the open pop-up, with the new row's column.
    Select(1);
    ASSERT_TRUE(Press(20));
    ASSERT_EQ(Popups().size(), 1);
    EXPECT_EQ(Popups().first(), popup);
    EXPECT_EQ(popup->openerValue, "k78");
    EXPECT_EQ(Text(popup, 3), "乙合同");

    // Closed, it is shown again with its start-up action run for the new value.
    popup->close();
    EXPECT_FALSE(popup->isVisible());
    Select(0);
    ASSERT_TRUE(Press(20));
    EXPECT_EQ(Popups(), QList<FormWindow*>{popup});
    EXPECT_TRUE(popup->isVisible());
    EXPECT_EQ(Text(popup, 1), "k77");
}

TEST_F(DialogCommands, NestedDocumentAndTheOpenerValueRules) {
    Select(1);
    ASSERT_TRUE(Press(21));
    ASSERT_EQ(Popups().size(), 1);
    FormWindow* nested = Popups().first();
    EXPECT_EQ(nested->formId, "5");
    EXPECT_EQ(nested->formType, "看");
    EXPECT_EQ(nested->windowTitle(), "嵌套");
    // A negative column counts from the end, and without to_wnd_id it is the opener value.
    EXPECT_EQ(Text(nested, 1), "200");

    // The query chooses the function by the row's first column; a control's text wins.
    ASSERT_TRUE(Press(22));
    ASSERT_EQ(Popups().size(), 2);
    FormWindow* chosen = Popups().first() == nested ? Popups().last() : Popups().first();
    EXPECT_EQ(chosen->menuUid, "78");
    EXPECT_EQ(chosen->openerValue, "手填");
}

TEST_F(DialogCommands, OpensOnceTheOpenersActionHasCommitted) {
    ASSERT_TRUE(form_->Session.Execute("CREATE TABLE t_seen (who_0 VARCHAR(20))"));
    form_->RunEvent(Id(24), "CLICK");
    ASSERT_EQ(Popups().size(), 1);
    for (const QString& message : session_.messages)
        EXPECT_FALSE(message.contains("超时")) << qPrintable(message);
    QStringList seen;
    ASSERT_TRUE(
        form_->Session.QueryColumns("SELECT who_0 FROM t_seen ORDER BY who_0", {"who_0"}, seen));
    EXPECT_EQ(seen, (QStringList{"开启者", "弹出"}));
}

TEST_F(DialogCommands, FailsQuietlyWithoutARowOrADocument) {
    const struct {
        int button;
        const char* why;
    } cases[] = {
        {20, "no selected row"},
        {23, "no nested document 6"},
    };
    for (const auto& c : cases) {
        session_.messages.clear();
        EXPECT_FALSE(Press(c.button)) << c.why;
        EXPECT_TRUE(Popups().isEmpty()) << c.why;
        EXPECT_TRUE(form_->Runner().ErrorText.isEmpty()) << c.why;
    }
    // A function number read from the data that is not a number names nothing.
    grid_->SetCellText(0, 0, "78 OR 1=1");
    Select(0);
    EXPECT_FALSE(Press(22));
    EXPECT_TRUE(Popups().isEmpty());
}

} // namespace
