// `vemo-admin play` as form authors run it: the real executable, a real SQLite account set named
// by cfg.ini, small form files beside the script, and the printed lines compared whole.
#include "PlayDrivers.h"
#include "data/CfgFile.h"
#include "data/DbSession.h"
#include "support/TestAccountSet.h"
#include "widgets/GridView.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct PlayRun {
    int exitCode = -1;
    std::string out; // standard output, compared whole
    QString err;
};

// Main form: a filter (2) with an ENTER action, a field (3) whose EN_CHANGE acts at three
// characters and whose EN_KILLFOCUS acts too, result fields 4 to 7, a label (8), a query button
// (10), a disabled button (11) and a button whose target does not exist (12).
const char kMainForm[] = R"xml(<html version='1.0' id='0'>
<head title='主表单' pos='0,0,640,400'/>
<body><dialog>
  <textbox id='2' pos='10,10,150,30'><ACTION><ENTER>
    <query_to_wnd target_ids='6' values="SELECT 'enter:{{p1}}'"><para_info_where>
      <a value='2' where='{{self}}'/></para_info_where></query_to_wnd></ENTER></ACTION></textbox>
  <textbox id='3' pos='160,10,300,30'><ACTION>
    <EN_CHANGE id='3'><query_to_wnd target_ids='5' values="SELECT 'three:{{p1}}'">
      <para_info_where><a value='3' where='{{self}}'/></para_info_where></query_to_wnd></EN_CHANGE>
    <EN_KILLFOCUS><query_to_wnd target_ids='6' values="SELECT 'left:{{p1}}'">
      <para_info_where><a value='3' where='{{self}}'/></para_info_where></query_to_wnd>
    </EN_KILLFOCUS></ACTION></textbox>
  <textbox id='4' pos='10,40,150,60'/>
  <textbox id='5' pos='160,40,300,60'/>
  <textbox id='6' pos='310,40,450,60'/>
  <textbox id='7' style='4' pos='10,70,300,130'/>
  <static id='8' value='标签' pos='310,70,450,90'/>
  <button id='10' value='查询' pos='10,140,90,165'><ACTION><CLICK>
    <query_to_wnd target_ids='4' values="SELECT name_0 FROM c_user WHERE id_0='{{p1}}'">
      <para_info_where><a value='2' where='{{self}}'/></para_info_where></query_to_wnd>
  </CLICK></ACTION></button>
  <button id='11' value='禁用' disabled='1' pos='100,140,180,165'><ACTION><CLICK>
    <query_to_wnd target_ids='4' values="SELECT 'disabled ran'"/></CLICK></ACTION></button>
  <button id='12' value='坏目标' pos='190,140,270,165'><ACTION><CLICK>
    <query_to_wnd target_ids='99' values="SELECT 1"/></CLICK></ACTION></button>
</dialog></body></html>)xml";

// Materials: a query button filling grid 9 (key = uid_0), the grid's row change showing the
// row's name in 4, a drop-down list (22) and a check box (15) with actions of their own, and a
// button (20) that asks before it marks the material in field 1.
const char kGridForm[] = R"xml(<html version='1.0' id='0'>
<head title='物料' pos='0,0,640,480'/>
<body><dialog>
  <textbox id='1' pos='10,10,100,30'/>
  <textbox id='4' pos='110,10,250,30'/>
  <textbox id='5' pos='260,10,400,30'/>
  <textbox id='6' pos='410,10,550,30'/>
  <button id='10' value='查询' pos='10,40,90,65'><ACTION><CLICK><select_info_table>
    <para_info select='SELECT uid_0,code_0,name_0 FROM c_material' where=''
      order=' ORDER BY uid_0' contain_head='1' table_id='9'/></select_info_table></CLICK></ACTION></button>
  <button id='20' value='审核' pos='100,40,180,65'><ACTION><CLICK><checkthis>
    <para_info uid_wnd_id='1'
      update_sql="UPDATE c_material SET remark_0='审核' WHERE uid_0={{id?uid}}"/>
  </checkthis></CLICK></ACTION></button>
  <droplist id='22' value='甲;乙;丙' pos='190,40,300,65'><ACTION><EN_CHANGE>
    <query_to_wnd target_ids='5' values="SELECT 'list:{{p1}}'"><para_info_where>
      <a value='22' where='{{self}}'/></para_info_where></query_to_wnd></EN_CHANGE></ACTION>
  </droplist>
  <button id='15' style='3' value='含停用' pos='310,40,400,65'><ACTION><CLICK>
    <query_to_wnd target_ids='6' values="SELECT 'box clicked'"/></CLICK></ACTION></button>
  <table id='9' pos='10,80,600,400'><PARA><col_info>
    <col id='1' title='编码' width='80'/><col id='2' title='名称' width='120'/>
  </col_info></PARA><ACTION><EN_CHANGE>
    <query_to_wnd target_ids='4' table_id='9'
      values="SELECT name_0 FROM c_material WHERE uid_0={{id?uid}}"/></EN_CHANGE></ACTION></table>
</dialog></body></html>)xml";

// An edit-with-button (3) whose button opens pop-up form 12; the pop-up's start-up action and
// its button write into its own field 5.
const char kPopupForm[] = R"xml(<html version='1.0' id='0'>
<head title='主表单' pos='0,0,500,300'/>
<body>
  <dialog>
    <editbutton id='3' popup='12' pos='10,10,200,30'/>
    <textbox id='4' pos='10,40,200,60'/>
  </dialog>
  <popup><html version='1.0' id='12'>
    <head title='选择' pos='0,0,300,200'><ACTION><INIT>
      <query_to_wnd target_ids='5' values="SELECT 'init ran'"/></INIT></ACTION></head>
    <body><dialog>
      <textbox id='5' pos='10,10,200,30'/>
      <button id='6' value='取' pos='10,40,90,65'><ACTION><CLICK>
        <query_to_wnd target_ids='5' values="SELECT 'clicked in popup'"/></CLICK></ACTION>
      </button>
    </dialog></body>
  </html></popup>
</body></html>)xml";

// An edit-with-button (3) whose pop-up form 13 offers a tree; a click on a node returns its
// text. Beside it a tree-list (9) that a button (7) fills; a right click on a row presses 8.
const char kTreeForm[] = R"xml(<html version='1.0' id='0'>
<head title='树表单' pos='0,0,700,400'/>
<body>
  <dialog>
    <editbutton id='3' popup='13' pos='10,10,200,30'/>
    <textbox id='4' pos='10,40,200,60'/>
    <button id='7' value='填' pos='10,70,90,95'><ACTION><CLICK>
      <show_table table_id='9'><rows height='22'><para_info_where
        select="SELECT '', 'a', '甲', '1' UNION ALL SELECT 'a', 'b', '乙', '2'"
        select_color="SELECT '1,2,3', '' UNION ALL SELECT '', ''"/></rows></show_table>
    </CLICK></ACTION></button>
    <button id='8' value='右' pos='100,70,190,95'><ACTION><CLICK>
      <query_tree table_id='9' target_ids='4' values="SELECT 'right:{{id?uid}}'"/>
    </CLICK></ACTION></button>
    <treelist id='9' pos='210,10,690,390'><PARA><head_info>
      <c title='#' width='30' height='24'/><c title='名称' width='200' height='24' menu_id='2:8,'/>
      <c title='值' width='80' height='24'/>
    </head_info></PARA></treelist>
  </dialog>
  <popup><html version='1.0' id='13'>
    <head title='选择节点' pos='0,0,300,300'><ACTION><INIT>
      <select_info_tree><para_info_where tree_id='2'
        select="SELECT 0, '扳手', 7 UNION ALL SELECT 7, '活动扳手', 8"/></select_info_tree>
    </INIT></ACTION></head>
    <body><dialog>
      <tree id='2' style='256' pos='10,10,280,280'><ACTION><CLICK>
        <return_selected_node values='1'/></CLICK></ACTION></tree>
    </dialog></body>
  </html></popup>
</body></html>)xml";

class Play : public ::testing::Test {
protected:
    void SetUp() override {
        QString why;
        set_ = TestAccountSet::Create(Engine::Sqlite, why);
        ASSERT_TRUE(set_) << qPrintable(why);
        const AdminRun cfg = Admin({"cfg", "set-connection", "--dir", set_->folder(), "--sqlite",
                                    set_->folder() + "account.dat"});
        ASSERT_EQ(cfg.exitCode, 0) << qPrintable(cfg.err);
        Write("main.xml", kMainForm);
        Write("grid.xml", kGridForm);
        Write("popup.xml", kPopupForm);
        Write("tree.xml", kTreeForm);
    }

    struct AdminRun {
        int exitCode;
        QString out;
        QString err;
    };
    static AdminRun Admin(const QStringList& arguments) {
        QProcess process;
        process.start(QStringLiteral(VEMO_BINARY_DIR "/tools/vemo-admin/vemo-admin"), arguments);
        process.waitForFinished(120000);
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    void Write(const QString& name, const QString& text) {
        QFile file(set_->folder() + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
    }

    // Runs a script from a folder of its own, so that the form files are found beside it and
    // not through the current folder.
    PlayRun Run(const QString& script) {
        Write("test.play", script);
        const AdminRun run =
            Admin({"play", "--dir", set_->folder(), QDir(set_->folder()).filePath("test.play")});
        return {run.exitCode, run.out.toStdString(), run.err};
    }

    std::unique_ptr<TestAccountSet> set_;
};

TEST_F(Play, LoginIsRefusedThenAcceptedWithItsRecords) {
    const PlayRun run = Run(QStringLiteral(R"(# the login dialog's checks, then the records
login admin
login admin 2
sql SELECT count(*) FROM c_user WHERE loginTime_0 IS NOT NULL
login admin 1
sql SELECT user_uid_0, name_0 FROM log_client_login ORDER BY rowid
sql SELECT count(*) FROM c_user WHERE loginTime_0 IS NOT NULL
open-xml main.xml
set 2 admin
click 10
expect 4 系统管理员
# logged in again elsewhere: the form's actions refuse
sql UPDATE c_user SET loginTime_0='2001-01-01 00:00:00' WHERE uid_0=1
click 10
)"));
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.err);
    EXPECT_EQ(run.out, "message [Vemo软件] 请输入密码（新账套的初始密码是 1）\n"
                       "message [Vemo软件] 用户名或者密码错误！（新账套的初始密码是 1）\n"
                       "0\n"
                       "0\tadmin\n"
                       "1\tadmin\n"
                       "1\n"
                       "message [操作提示] 亲，您无权限本次操作，请与管理员联系！\n");
    EXPECT_EQ(ReadCfg(set_->folder() + "cfg.ini", "SERVER", "USER"), "admin");
}

TEST_F(Play, OpensAMenuFunctionAndShowsItAgainAfterClosing) {
    DbSession db;
    db.SetConnectionString(set_->connectionText());
    ASSERT_TRUE(db.Open());
    ASSERT_TRUE(
        db.Execute("INSERT INTO c_menu_dh (uid_0, leaf_0, name_0) VALUES (5, 1, '主功能')"));
    ASSERT_TRUE(
        db.Execute("INSERT INTO c_menu_dh (uid_0, leaf_0, name_0) VALUES (6, 1, '空功能')"));
    db.Close();
    const AdminRun import = Admin(
        {"form", "import", "--dir", set_->folder(), "--uid", "5", set_->folder() + "main.xml"});
    ASSERT_EQ(import.exitCode, 0) << qPrintable(import.err);

    const PlayRun run = Run(QStringLiteral(R"(login admin 1
open 5
expect 0 主表单
set 2 abc
set 8 改过
close
# the same window shown again: its fields emptied, its label kept
open 5
expect 0 主表单
expect 2
expect 8 改过
open 6
sql SELECT 1
)"));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "message [操作提示] Load失败\n");
    EXPECT_TRUE(run.err.contains("第 12 行：业务功能 6 的表单无法加载")) << qPrintable(run.err);
}

TEST_F(Play, UserInputRaisesTheEventsOfTheControlRules) {
    const PlayRun run = Run(QStringLiteral(R"(login admin 1
open-xml main.xml
# set writes without any event
set 3 xyz
expect 5
expect 6
# typing: EN_CHANGE at the third character only, EN_KILLFOCUS when the focus leaves
type 3 abcd
expect 5 three:abc
expect 6 left:abcd
type 2 admin
click 10
expect 4 系统管理员
key 2 Enter
expect 6 enter:admin
# a disabled button does nothing
set 4 before
click 11
expect 4 before
click 12
set 7 a\tb\\c\nd
dump 7
expect 7 a\tb\\c\nd
sql SELECT 'x' || char(9) || 'y', NULL
)"));
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.err);
    EXPECT_EQ(run.out, "message [操作提示] 控件指向出错:\\n99\n"
                       "dump 7: a\\tb\\\\c\\nd\n"
                       "x\\ty\t\n");
}

// What the runner prints, pasted into an `expect` step, matches again: every escape it writes
// is one the script reads.
TEST_F(Play, PrintedTextsReadBackAsTheyWerePrinted) {
    const PlayRun run = Run(QStringLiteral(R"(open-xml main.xml
set 4 a\rb\\r\tc
dump 4
expect 4 a\rb\\r\tc
sql SELECT 'x' || char(13) || 'y'
)"));
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.err);
    EXPECT_EQ(run.out, "dump 4: a\\rb\\\\r\\tc\n"
                       "x\\ry\n");
}

TEST_F(Play, GridDumpSelectionListsAndCheckBoxes) {
    const PlayRun run = Run(QStringLiteral(R"(login admin 1
sql INSERT INTO c_material (code_0, name_0) VALUES ('A1', '螺钉'), ('A2', '螺母'), ('B1', '垫\tX')
open-xml grid.xml
click 10
dump 9
select 9 1
expect 4 螺母
select 9 2
expect 4 垫\tX
# several rows: the action reads the first selected one
select 9 2,0
expect 4 螺钉
dump 22
select 22 1
expect 5 list:乙
dump 22
check 15 1
expect 6 box clicked
dump 15
check 15 1
)"));
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.err);
    EXPECT_EQ(run.out, "dump 9:\n"
                       "key\tstate\t编码\t名称\n"
                       "1\t0\tA1\t螺钉\n"
                       "2\t0\tA2\t螺母\n"
                       "3\t0\tB1\t垫\\tX\n"
                       "dump 22:\n"
                       "- 甲\n"
                       "- 乙\n"
                       "- 丙\n"
                       "dump 22: 乙\n"
                       "- 甲\n"
                       "* 乙\n"
                       "- 丙\n"
                       "dump 15: 含停用\n"
                       "checked: 1\n");
}

// The clipboard as the grid commands leave it, and the colours a grid's cells are drawn with.
TEST_F(Play, ClipboardAndGridColours) {
    const PlayRun run = Run(QStringLiteral(R"(login admin 1
sql INSERT INTO c_material (code_0, name_0) VALUES ('A1', '螺钉'), ('A2', '螺母')
open-xml grid.xml
clipboard
clipboard-set 一\t二\n三
clipboard
click 10
dump-colors 9
dump-colors 4
)"));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "clipboard:\n"
                       "clipboard: 一\\t二\\n三\n"
                       "dump-colors 9:\n"
                       "255,255,255\t0,0,0\t255,255,255\t0,0,0\n"
                       "252,252,252\t0,0,0\t252,252,252\t0,0,0\n");
    EXPECT_TRUE(run.err.contains("控件 4 不是表格")) << qPrintable(run.err);
}

TEST_F(Play, QuestionsTakeTheQueuedAnswerAndNoWithout) {
    const PlayRun run = Run(QStringLiteral(R"(login admin 1
sql INSERT INTO c_material (code_0, name_0) VALUES ('A1', '螺钉')
open-xml grid.xml
set 1 1
click 20
answer no
click 20
sql SELECT remark_0 FROM c_material
answer yes
click 20
sql SELECT remark_0 FROM c_material
)"));
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.err);
    EXPECT_EQ(run.out, "message [操作确认] 是否确认操作？\n"
                       "message [操作确认] 是否确认操作？\n"
                       "\n"
                       "message [操作确认] 是否确认操作？\n"
                       "message [操作提示] 操作成功\n"
                       "审核\n");
}

TEST_F(Play, APopUpFormIsCurrentUntilItCloses) {
    const PlayRun run = Run(QStringLiteral(R"(login admin 1
open-xml popup.xml
click 3
expect 0 选择
expect 5 init ran
click 6
expect 5 clicked in popup
close
expect 0 主表单
expect 3
type 4 after
expect 4 after
# the pop-up again, left open when the script ends
click 3
dump 5
)"));
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.err);
    EXPECT_EQ(run.out, "dump 5: init ran\n");
}

TEST_F(Play, TreesAndTreeListsAreDrivenAndDumped) {
    const PlayRun run = Run(QStringLiteral(R"(open-xml tree.xml
click 3
expect 0 选择节点
tree-check 2 8 1
dump 2
# a click on a node returns its text and closes the pop-up at once
tree-select 2 8
expect 0 树表单
expect 3 活动扳手
click 7
dump 9
row-click 9 1
expect 4
row-click 9 0 right
expect 4
row-click 9 1 right
expect 4 right:b
save-image 9 list.png
)"));
    EXPECT_EQ(run.exitCode, 0) << qPrintable(run.err);
    EXPECT_EQ(run.out, "dump 2:\n"
                       "7\t1\t扳手\n"
                       "  8\t1\t活动扳手\n"
                       "dump 9:\n"
                       "a\t\t\t\t1,2,3\t甲\t1\n"
                       "  b\t\t\t\t\t乙\t2\n");
    const QImage image(set_->folder() + "list.png");
    EXPECT_EQ(image.size(), QSize(480, 380));
}

TEST_F(Play, FailuresAndScriptErrors) {
    const struct {
        const char* script;
        int exitCode;
        const char* out;
        const char* err; // part of standard error
    } cases[] = {
        // An expectation that fails is reported and the run goes on.
        {"open-xml main.xml\nexpect 2 abc\nset 2 x\\ty\nexpect 2 z\ndump 2\n", 1,
         "expect failed: 2\n"
         "  expected: abc\n"
         "  actual: \n"
         "expect failed: 2\n"
         "  expected: z\n"
         "  actual: x\\ty\n"
         "dump 2: x\\ty\n",
         ""},
        // A malformed script runs no step at all.
        {"sql SELECT 1\nfrobnicate 2\n", 2, "", "第 2 行：未知的步骤 frobnicate"},
        {"sql SELECT 1\nkey 2 PageUp\n", 2, "", "第 2 行：未知的按键 PageUp"},
        {"sql SELECT 1\nclick\n", 2, "", "第 2 行：click 需要 1 个参数"},
        // Errors found while running stop the run where they happen.
        {"open-xml main.xml\nsql SELECT 1\nclick 42\nsql SELECT 2\n", 2, "1\n",
         "第 3 行：当前表单“主表单”没有控件 42"},
        {"click 2\n", 2, "", "第 1 行：没有打开的表单"},
        {"open 999\n", 2, "", "第 1 行：没有业务功能 999"},
        {"open-xml none.xml\n", 2, "", "第 1 行：无法读取表单文件"},
        {"open-xml main.xml\nclose\nexpect 2 x\n", 2, "", "第 3 行：没有打开的表单"},
        {"sql SELECT * FROM no_such_table\n", 2, "", "第 1 行：SQL 执行失败"},
        {"login admin 1\nsql INSERT INTO c_material (code_0) VALUES ('A1')\nopen-xml grid.xml\n"
         "click 10\nedit 9 0 1 x\n",
         2, "", "第 5 行：控件 9：单元格 (0, 1) 不能编辑"},
        {"open-xml grid.xml\nselect 9 0\n", 2, "", "第 2 行：控件 9：表格只有 0 行"},
        {"sql SELECT 1\ntree-select 2 x\n", 2, "", "第 2 行：节点的键须是整数：x"},
        {"sql SELECT 1\nwithout network\n", 2, "",
         "第 2 行：without 的值须是 printer 或 program：network"},
        {"sql SELECT 1\nrow-click 9 1 left\n", 2, "",
         "第 2 行：row-click 须是“行号”或“行号 right”"},
        {"open-xml tree.xml\ntree-select 4 1\n", 2, "", "第 2 行：控件 4 不是树"},
        {"open-xml tree.xml\nrow-click 9 0\n", 2, "", "第 2 行：控件 9：没有第 0 行"},
        {"open-xml tree.xml\nrow-click 4 0\n", 2, "", "第 2 行：控件 4 不是树形列表"},
    };
    for (const auto& c : cases) {
        const PlayRun run = Run(QString::fromUtf8(c.script));
        EXPECT_EQ(run.exitCode, c.exitCode) << c.script << qPrintable(run.err);
        EXPECT_EQ(run.out, c.out) << c.script;
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.err))) << c.script << qPrintable(run.err);
    }
}

// The cell edit as a user makes it, on a grid whose column has an editor: a click opens the
// editor over the cell, the text arrives key by key, and ending the edit applies it.
TEST(PlayDrivers, EditClicksTheCellTypesIntoItsEditorAndApplies) {
    GridView grid;
    grid.InsertColumn(0, "名称", 0, 100);
    grid.InsertColumn(1, "数量", 0, 80);
    grid.AppendRow({"螺钉", "1"}, "7", 0);
    QLineEdit editor(&grid);
    editor.hide();
    int keystrokes = 0;
    QObject::connect(&editor, &QLineEdit::textEdited, [&] { ++keystrokes; });
    // No end step: the editor's text is what the cell takes.
    grid.SetColumnEditor(
        1,
        [&](QWidget*, int, int, QString& text, void*, GridView*, int) {
            editor.setText(text);
            return 1;
        },
        {}, &editor);
    grid.resize(300, 200);
    grid.show();

    QString error;
    ASSERT_TRUE(EditGridCell(&grid, 0, 1, "25", error)) << qPrintable(error);
    EXPECT_EQ(grid.CellText(0, 1), "25");
    EXPECT_EQ(keystrokes, 2); // the old text was selected, so the first key replaced it
    EXPECT_FALSE(grid.IsEditing());

    EXPECT_FALSE(EditGridCell(&grid, 0, 0, "x", error));
    EXPECT_EQ(error, "单元格 (0, 0) 不能编辑");
    EXPECT_FALSE(EditGridCell(&grid, 1, 1, "x", error));
    EXPECT_EQ(grid.CellText(0, 0), "螺钉");
}

} // namespace
