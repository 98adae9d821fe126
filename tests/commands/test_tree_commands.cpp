// Trees and tree-lists through real forms on real account sets: a tree filled by
// select_info_tree and read by the tree commands, a tree-list filled by show_table (colours,
// tips, filters, failing queries), retitled by query_to_tree_head and read by query_tree, and
// the buttons its right clicks press.
#include "app/Application.h"
#include "app/Login.h"
#include "commands/CommandTable.h"
#include "form/FormControls.h"
#include "form/FormWindow.h"
#include "platform/AppMessage.h"
#include "platform/ShellOpen.h"
#include "support/FormTestSession.h"
#include "support/TestAccountSet.h"
#include "widgets/TreeListView.h"
#include "widgets/TreeView.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QMouseEvent>

#include <gtest/gtest.h>

namespace {

// Tree 2 (check boxes) with its CLICK and EN_CHANGE actions; fields 3..9; tree-list 20 whose
// 计划 group names button 12 for top-level rows and 15 (disabled) for their children.
const char* kTreeForm = R"xml(<html version='1.0' id='0'>
<head title='树' pos='0,0,1000,600'/>
<body><dialog>
  <tree id='2' style='256' pos='10,10,200,300'>
    <ACTION>
      <CLICK><get_id_from_tree><para_info tree_id='2' target_id='3'/></get_id_from_tree></CLICK>
      <EN_CHANGE><get_name_from_tree><para_info tree_id='2' target_id='4'/></get_name_from_tree></EN_CHANGE>
    </ACTION>
  </tree>
  <textbox id='3' pos='10,310,100,330'/>
  <textbox id='4' pos='110,310,200,330'/>
  <textbox id='5' pos='10,340,100,360'/>
  <textbox id='6' pos='110,340,200,360'/>
  <textbox id='7' pos='10,370,100,390'/>
  <textbox id='8' pos='110,370,200,390'/>
  <textbox id='9' pos='10,400,100,420'/>
  <button id='12' value='甲' pos='10,430,60,450'>
    <ACTION><CLICK><query_to_wnd target_ids='7' values="SELECT 'twelve'"/></CLICK></ACTION></button>
  <button id='15' value='乙' disabled='1' pos='70,430,120,450'>
    <ACTION><CLICK><query_to_wnd target_ids='7' values="SELECT 'fifteen'"/></CLICK></ACTION></button>
  <treelist id='20' pos='220,10,990,590'><PARA><head_info>
    <c title='序号' width='40' height='40'/>
    <c title='名称' width='200' height='40'/>
    <g title='计划' width='400' height='20' type='1' menu_id='1:12,2:15'>
      <c title='日' width='300' height='20'/>
      <c title='数量' width='100' height='20' type='2'/>
    </g>
  </head_info></PARA></treelist>
</dialog></body></html>)xml";

class TreeCommands : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        QString why;
        if (!session_.Start(GetParam(), why))
            GTEST_SKIP() << qPrintable(why);
        form_ =
            FormWindow::OpenForm(QString::fromUtf8(kTreeForm), QString(), QString(), "5", "树", "");
        ASSERT_TRUE(form_);
        ASSERT_TRUE(form_->Session.IsOpen() || form_->Session.Open());
        for (const char* sql : {
                 "CREATE TABLE t_node (uid_0 INTEGER PRIMARY KEY, parent_0 INTEGER, "
                 "name_0 VARCHAR(40), checked_0 INTEGER)",
                 "INSERT INTO t_node VALUES (1, 0, 'A', 0), (2, 1, 'B', 0), (3, 1, 'C', 1), "
                 "(4, 2, 'D', 0)",
                 "CREATE TABLE t_plan (uid_0 INTEGER PRIMARY KEY, parent_0 VARCHAR(20), "
                 "key_0 VARCHAR(20), title_0 VARCHAR(40), bar_0 VARCHAR(20), "
                 "color_0 VARCHAR(20), cell_color_0 VARCHAR(20), tip_0 VARCHAR(40))",
                 "INSERT INTO t_plan VALUES (1, '', 'c1', '客户甲', '0', '0,0,255', '1,1,1', "
                 "'O''Neil'), (2, 'c1', 'h1', '合同1', '10120', '', '2,2,2', 't2'), "
                 "(3, '', 'c2', '客户乙', '-60', '3,3,3', '', 't3')",
             })
            ASSERT_TRUE(form_->Session.Execute(QString::fromUtf8(sql)))
                << qPrintable(form_->Session.Detail());
    }
    void TearDown() override {
        if (!session_.Set())
            return;
        platform::SetDesktopOpener({});
        session_.Stop();
    }

    template <typename T = QWidget> T* Control(int id) {
        return qobject_cast<T*>(form_->ControlByWindowId(id + FormControls::kWindowIdBase));
    }
    QString Text(int id) { return Control<QLineEdit>(id)->text(); }
    bool Run(const QString& xml, const QString& event = QStringLiteral("CLICK")) {
        FormXml::XmlDocument doc;
        EXPECT_TRUE(doc.LoadXml(xml)) << qPrintable(xml);
        form_->Runner().ErrorText.clear();
        return form_->RunCommand(doc.GetRoot(), 0, event);
    }
    // show_table over t_plan with the given colour and tip queries, filtered by field 6.
    bool ShowPlan(const QString& colors, const QString& tips, int type = 0) {
        return Run(
            QStringLiteral("<show_table table_id='20' type='%3'><s height='24' loop='0'>"
                           "<para_info_where select=\"SELECT parent_0, key_0, title_0, bar_0 FROM "
                           "t_plan WHERE 1=1{{p1}} ORDER BY uid_0\" select_color=\"%1\" "
                           "select_tip=\"%2\"><f value='6' where=\" AND title_0 &lt;&gt; "
                           "'{{self}}'\"/></para_info_where></s></show_table>")
                .arg(colors, tips)
                .arg(type));
    }
    TreeListView& Chart() { return *Control<TreeListView>(20); }
    void RightClick(int row, int x) {
        const QPoint pos(x, Chart().RowRect(row).center().y());
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(pos), QPointF(Chart().mapToGlobal(pos)),
                          Qt::RightButton, Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(&Chart(), &press);
    }

    FormTestSession session_;
    FormWindow* form_ = nullptr;
    QStringList& messages_ = session_.messages;
};

TEST_P(TreeCommands, SelectInfoTreeFillsAndTheTreeCommandsReadIt) {
    Control<QLineEdit>(6)->setText(QStringLiteral("D"));
    ASSERT_TRUE(Run(
        "<select_info_tree><para_info_where tree_id='2' select=\"SELECT parent_0, name_0, uid_0 "
        "FROM t_node WHERE 1=1{{p1}} ORDER BY uid_0\" check_sql='SELECT uid_0 FROM t_node WHERE "
        "checked_0=1'><f value='6' where=\" AND name_0 &lt;&gt; '{{self}}'\"/>"
        "</para_info_where></select_info_tree>"))
        << qPrintable(form_->Runner().ErrorText);
    TreeView& tree = *Control<TreeView>(2);
    ASSERT_EQ(tree.topLevelItemCount(), 1);
    QTreeWidgetItem* a = tree.topLevelItem(0);
    ASSERT_EQ(a->childCount(), 2); // D filtered out
    EXPECT_TRUE(a->isExpanded());
    EXPECT_EQ(tree.CheckedKeys(), QList<int>({3}));

    ASSERT_TRUE(
        Run("<get_ids_from_tree><para_info tree_id='2' target_id='5'/></get_ids_from_tree>"));
    EXPECT_EQ(Text(5), QStringLiteral("3"));

    // A selection change reads the selected node; a click the node under the pointer.
    tree.setCurrentItem(a->child(0)); // B: its EN_CHANGE action writes the name
    EXPECT_EQ(Text(4), QStringLiteral("B"));
    ASSERT_TRUE(Run("<get_id_from_tree><para_info tree_id='2' target_id='3'/></get_id_from_tree>",
                    "EN_CHANGE"));
    EXPECT_EQ(Text(3), QStringLiteral("2"));
    EXPECT_FALSE(Run("<get_id_from_tree><para_info tree_id='2' target_id='8'/></get_id_from_tree>"))
        << "no node under a pointer the tree never saw";
    EXPECT_EQ(Text(8), QString());
    const QPoint onC = tree.visualItemRect(a->child(1)).center();
    QMouseEvent move(QEvent::MouseMove, QPointF(onC), QPointF(tree.viewport()->mapToGlobal(onC)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(tree.viewport(), &move);
    ASSERT_TRUE(Run("<get_id_from_tree><para_info tree_id='2' target_id='8'/></get_id_from_tree>"));
    EXPECT_EQ(Text(8), QStringLiteral("3"));
    EXPECT_EQ(tree.currentItem(), a->child(1)) << "the node under the pointer becomes selected";
    ASSERT_TRUE(
        Run("<get_name_from_tree><para_info tree_id='2' target_id='9'/></get_name_from_tree>"));
    EXPECT_EQ(Text(9), QStringLiteral("C"));

    EXPECT_FALSE(
        Run("<get_ids_from_tree><para_info tree_id='77' target_id='5'/></get_ids_from_tree>"));
    EXPECT_EQ(form_->Runner().ErrorText, QStringLiteral("控件指向出错:\n77"));
    // return_selected_node answers only a pop-up's opener; here it does nothing.
    EXPECT_TRUE(Run("<return_selected_node values='0' table_id='2'/>"));
    EXPECT_TRUE(form_->isVisible());
}

TEST_P(TreeCommands, ShowTableColoursTipsAndFilters) {
    TreeListView& chart = Chart();
    EXPECT_EQ(chart.DisplayMode(), 1);
    // Two colours a row: the row's and its one further cell's. Tips of four values a row, as
    // many as the select's values, are taken three at a time.
    ASSERT_TRUE(ShowPlan("SELECT color_0, cell_color_0 FROM t_plan ORDER BY uid_0",
                         "SELECT tip_0, 'b', 'c', 'd' FROM t_plan ORDER BY uid_0"))
        << qPrintable(form_->Runner().ErrorText);
    EXPECT_EQ(chart.DisplayMode(), TreeListView::kTreeListMode);
    ASSERT_EQ(chart.ShownRows().size(), 3u);
    const TreeListNode& customer = *chart.ShownRows()[0];
    const TreeListNode& contract = *chart.ShownRows()[1];
    EXPECT_EQ(contract.parent, &customer);
    EXPECT_EQ(customer.style.color, QStringLiteral("0,0,255"));
    EXPECT_EQ(customer.cells.at(0).color, QStringLiteral("1,1,1"));
    EXPECT_EQ(contract.cells.at(0).text, QStringLiteral("10120"));
    EXPECT_EQ(customer.tip1, QStringLiteral("O'Neil"));
    EXPECT_EQ(contract.tip1, QStringLiteral("d"));  // the rest of the first tip row, then...
    EXPECT_EQ(contract.tip2, QStringLiteral("t2")); // ...the start of the second
    EXPECT_EQ(customer.height, 24);

    // Fewer tip values than values: no row gets tips. A failing colour query gives no colours;
    // the filter text, quote and all, only filters.
    Control<QLineEdit>(6)->setText(QStringLiteral("客户乙' OR '1'='1"));
    ASSERT_TRUE(ShowPlan("SELECT no_such_column FROM t_plan", "SELECT tip_0 FROM t_plan"));
    ASSERT_EQ(chart.ShownRows().size(), 3u);
    EXPECT_EQ(chart.ShownRows()[0]->tip1, QString());
    EXPECT_EQ(chart.ShownRows()[0]->style.color, QString());
    EXPECT_EQ(chart.SelectedNode(), nullptr);
    Control<QLineEdit>(6)->setText(QStringLiteral("客户乙"));
    ASSERT_TRUE(ShowPlan(QString(), QString()));
    EXPECT_EQ(chart.ShownRows().size(), 2u);

    // A failing select adds no rows and the command still succeeds.
    EXPECT_TRUE(Run("<show_table table_id='20'><s height='20'><para_info_where "
                    "select='SELECT nothing FROM nowhere'/></s></show_table>"));
    EXPECT_TRUE(chart.ShownRows().empty());
    EXPECT_FALSE(Run("<show_table table_id='99'/>"));
    EXPECT_EQ(form_->Runner().ErrorText, QStringLiteral("控件指向出错:\n99"));
}

TEST_P(TreeCommands, QueryTreeReadsTheSelectedRowAndHeadsAreRetitled) {
    ASSERT_TRUE(ShowPlan(QString(), "SELECT tip_0, 'b', 'c', 'd' FROM t_plan ORDER BY uid_0"));
    const QString queryTree = "<query_tree table_id='20' target_ids='8;9' values=\"SELECT "
                              "'{{id?uid}}', '{{id?tip1}}'\"/>";
    EXPECT_FALSE(Run(queryTree)) << "no selected row";
    EXPECT_TRUE(form_->Runner().ErrorText.isEmpty());
    Chart().SelectNode(Chart().ShownRows()[0]);
    ASSERT_TRUE(Run(queryTree)) << qPrintable(form_->Runner().ErrorText);
    EXPECT_EQ(Text(8), QStringLiteral("c1"));
    EXPECT_EQ(Text(9), QStringLiteral("O'Neil")); // a quote from the database stays a text

    ASSERT_TRUE(Run("<query_to_tree_head table_id='20' target_ids='2' values='SELECT name_0 FROM "
                    "t_node WHERE uid_0 &lt; 3 ORDER BY uid_0'/>"));
    const QList<const TreeListNode*> leaves = Chart().LeafColumns();
    EXPECT_EQ(leaves[2]->title, QStringLiteral("A"));
    EXPECT_EQ(leaves[3]->title, QStringLiteral("B"));
    EXPECT_EQ(leaves[1]->title, QStringLiteral("名称"));
    EXPECT_FALSE(Run("<query_to_tree_head values='SELECT 1'/>"));
    EXPECT_EQ(form_->Runner().ErrorText, QStringLiteral("未指定表格id"));
}

TEST_P(TreeCommands, ARightClickPressesTheEnabledButtonOfTheRowsDepth) {
    ASSERT_TRUE(ShowPlan(QString(), QString()));
    const int inPlan = Chart().LeafColumns()[2]->x + 10;
    RightClick(1, inPlan); // a contract, depth 2: button 15, which is disabled
    EXPECT_EQ(Text(7), QString());
    EXPECT_EQ(Chart().SelectedNode(), Chart().ShownRows()[1]);
    RightClick(0, inPlan); // a customer, depth 1: button 12
    EXPECT_EQ(Text(7), QStringLiteral("twelve"));
}

TEST_P(TreeCommands, ShowTableOfType1SavesThePictureAndOpensIt) {
    QStringList opened;
    platform::SetDesktopOpener([&](const QString& path) {
        opened.append(path);
        return true;
    });
    ASSERT_TRUE(ShowPlan(QString(), QString(), 1));
    const QString picture = session_.Set()->folder() + QStringLiteral("temp/temp.bmp");
    EXPECT_EQ(opened, QStringList{picture});
    EXPECT_GT(QFileInfo(picture).size(), 0);
    EXPECT_TRUE(messages_.isEmpty());

    platform::SetDesktopOpener([](const QString&) { return false; });
    EXPECT_TRUE(ShowPlan(QString(), QString(), 1))
        << "a picture that cannot be opened is no failure";
    ASSERT_EQ(messages_.size(), 1);
    EXPECT_EQ(messages_[0], QStringLiteral("\n打开文件异常:") + picture +
                                QStringLiteral("\r\n\r\n请手动打开该文件!"));
}

INSTANTIATE_TEST_SUITE_P(Engines, TreeCommands, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return std::string(EngineName(info.param)); });

} // namespace
