// The grid commands through a real form on a real account set: rows added, deleted and moved
// with their numbers and save states (and what the next save makes of them on both engines),
// column locks and query fills, fills down, colours by rule, the clipboard, capital numerals
// and search initials.
#include "app/Application.h"
#include "app/Login.h"
#include "commands/CommandTable.h"
#include "commands/GridCommands.h"
#include "commands/PhoneticInitials.h"
#include "form/FormControls.h"
#include "form/FormWindow.h"
#include "platform/AppMessage.h"
#include "support/FormTestSession.h"
#include "support/TestAccountSet.h"
#include "widgets/GridView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>

#include <cmath>

#include <gtest/gtest.h>

namespace {

// Detail lines t_line of a header whose key is in box 1; column 0 numbers the rows.
const char* kForm = R"xml(<html version='1.0' id='0'>
<head title='明细' pos='0,0,800,600'/>
<body><dialog>
  <textbox id='1' value='7' pos='10,10,100,30'/>
  <textbox id='2' pos='110,10,300,30'/>
  <textbox id='3' pos='310,10,400,30'/>
  <textbox id='5' pos='410,10,500,30'/>
  <table id='9' pos='10,100,700,400'><PARA>
    <table_info><para_info insert_sql='t_line' parent_field='head_uid_0' parent_field_ID='1'
      auto_index_field='line_0' update_sql='SELECT * FROM t_line WHERE uid_0={{id?uid}}'
      row_color_bg='255,0,0' col='4' text='停用'/></table_info>
    <col_info>
      <col id='1' title='序号' width='40'/><col id='2' title='物料' width='80'/>
      <col id='3' title='数量' width='60' sum='5' color_bg='0,0,255'/>
      <col id='4' title='备注' width='60'/><col id='5' title='余额' width='60'/>
      <col id='6' title='内部' width='0'/>
      <col col_id='1' title='物料' field_name='item_0'/>
      <col col_id='2' title='数量' field_name='qty_0'/>
    </col_info></PARA></table>
  <button id='20' value='保存' pos='10,420,90,440'><ACTION><CLICK>
    <insert_detail><p table_id='9' delete_sql='DELETE FROM t_line WHERE uid_0 IN ({{deleted_uid_0}})'/></insert_detail>
  </CLICK></ACTION></button>
</dialog></body></html>)xml";

constexpr int kShade = 0xF0F0F0;
constexpr int kRed = 0x0000FF;
constexpr int kBlue = 0xFF0000;

class GridCommandsBase {
protected:
    void Start(Engine engine) {
        QString why;
        if (!session_.Start(engine, why))
            GTEST_SKIP() << qPrintable(why);
        form_ =
            FormWindow::OpenForm(QString::fromUtf8(kForm), QString(), QString(), "5", "明细", "");
        ASSERT_TRUE(form_);
        grid_ = qobject_cast<GridView*>(form_->ControlByWindowId(9 + FormControls::kWindowIdBase));
        ASSERT_TRUE(grid_);
    }
    void Stop() { session_.Stop(); }

    // Runs one command element as the runner does; ErrorText tells what it reported.
    bool Command(const QString& xml) {
        FormXml::XmlDocument doc;
        EXPECT_TRUE(doc.LoadXml(xml)) << qPrintable(xml);
        form_->Runner().ErrorText.clear();
        return form_->RunCommand(doc.GetRoot(), 0, "CLICK");
    }
    QString Error() const { return form_->Runner().ErrorText; }
    QLineEdit* Box(int id) {
        return qobject_cast<QLineEdit*>(form_->ControlByWindowId(id + FormControls::kWindowIdBase));
    }
    // Rows of (material, quantity, remark), numbered, saved under keys k1, k2, ...
    void Fill(const QList<QStringList>& rows) {
        grid_->DeleteAllRows();
        for (qsizetype i = 0; i < rows.size(); ++i) {
            QStringList cells = rows[i];
            cells.prepend(QString::number(i + 1));
            grid_->AppendRow(cells, QStringLiteral("k%1").arg(i + 1), 0);
        }
    }
    void Select(const QList<int>& rows) {
        grid_->SelectRow(-1, false);
        for (int row : rows)
            grid_->SelectRow(row, true);
    }
    QStringList Column(int column) const {
        QStringList cells;
        for (int row = 0; row < grid_->RowCount(); ++row)
            cells.append(grid_->CellText(row, column));
        return cells;
    }
    QStringList Keys() const {
        QStringList keys;
        for (int row = 0; row < grid_->RowCount(); ++row)
            keys.append(grid_->RowKey(row));
        return keys;
    }
    QList<int> States() const {
        QList<int> states;
        for (int row = 0; row < grid_->RowCount(); ++row)
            states.append(grid_->RowState(row));
        return states;
    }
    int Background(int row, int column) const {
        return grid_->Model()->ResolveColors(row, column).first;
    }
    int TextColor(int row, int column) const {
        return grid_->Model()->ResolveColors(row, column).second;
    }

    FormTestSession session_;
    FormWindow* form_ = nullptr;
    GridView* grid_ = nullptr;
    QStringList& messages_ = session_.messages;
};

// Commands whose outcome depends on the database run on both engines.
class GridCommandsDb : public GridCommandsBase, public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override { Start(GetParam()); }
    void TearDown() override { Stop(); }
};

// The others change the grid only.
class GridCommands : public GridCommandsBase, public ::testing::Test {
protected:
    void SetUp() override { Start(Engine::Sqlite); }
    void TearDown() override { Stop(); }
};

TEST_P(GridCommandsDb, DeletedAndMovedRowsReachTheDatabaseAtTheNextSave) {
    DbSession& db = form_->Session;
    ASSERT_TRUE(db.IsOpen() || db.Open());
    const QString serial = AutoKeyType(GetParam());
    ASSERT_TRUE(db.Execute(QStringLiteral("CREATE TABLE t_line (uid_0 %1, head_uid_0 INTEGER "
                                          "NOT NULL DEFAULT 0, line_0 INTEGER NOT NULL DEFAULT "
                                          "0, item_0 TEXT NOT NULL DEFAULT '', qty_0 REAL NOT "
                                          "NULL DEFAULT 0)")
                               .arg(serial)));
    ASSERT_TRUE(db.Execute("INSERT INTO t_line (head_uid_0, line_0, item_0, qty_0) VALUES "
                           "(7, 1, 'a', 1), (7, 2, 'b', 2), (7, 3, 'c', 3)"));
    QStringList keys;
    ASSERT_GT(db.QueryList("SELECT uid_0 FROM t_line ORDER BY uid_0", keys), 0);
    grid_->DeleteAllRows();
    for (int i = 0; i < 3; ++i)
        grid_->AppendRow({QString::number(i + 1), QString(QChar(u'a' + i)), QString::number(i + 1)},
                         keys[i], 0);
    grid_->AppendRow({"4", "d", "4"}, "", 1); // typed in, never saved
    form_->SetLoadedKeys(keys.join(','));

    // The saved row b and the new row d go; only b's key is remembered for deletion.
    Select({1, 3});
    ASSERT_TRUE(Command("<delrow><para_info table_id='9' rownum='1'/></delrow>"));
    EXPECT_EQ(form_->DeletedKeys(), keys[1]);
    EXPECT_EQ(form_->LoadedKeysText(), keys[0] + "," + keys[2]);
    EXPECT_EQ(Column(1), QStringList({"a", "c"}));
    EXPECT_EQ(Column(0), QStringList({"1", "2"}));
    EXPECT_EQ(States(), QList<int>({0, 2})); // c got a new number
    EXPECT_EQ(Box(5)->text(), "4");          // the quantity total follows

    // c moves above a: both now stand at another place.
    Select({1});
    ASSERT_TRUE(Command("<uprow table_id='9'/>"));
    EXPECT_EQ(Column(1), QStringList({"c", "a"}));
    EXPECT_EQ(States(), QList<int>({2, 2}));

    form_->RunEvent(20 + FormControls::kWindowIdBase, "CLICK");
    QStringList rows;
    db.QueryList("SELECT item_0, line_0 FROM t_line ORDER BY line_0", rows);
    EXPECT_EQ(rows, QStringList({"c", "1", "a", "2"})) << qPrintable(messages_.join('\n'));
    EXPECT_EQ(form_->DeletedKeys(), "");
    EXPECT_EQ(States(), QList<int>({0, 0}));
}

TEST_P(GridCommandsDb, LockColCollapsesTheColumnsItsQueryNamesOnce) {
    Fill({{"a", "1", ""}});
    const QString lock = "<lock_col table_id='9' target_ids='3;5' values='SELECT 1, 0'/>";
    ASSERT_TRUE(Command(lock));
    ASSERT_TRUE(Command(lock));
    EXPECT_EQ(grid_->ColumnWidth(2), 0);
    EXPECT_EQ(grid_->FixedColumns().count(",3,"), 1);
    EXPECT_TRUE(grid_->IsCellReadOnly(0, 2));
    EXPECT_GT(grid_->ColumnWidth(4), 0);
    EXPECT_FALSE(grid_->IsFixedColumn(4));
    EXPECT_FALSE(grid_->IsCellReadOnly(0, 4));
    // Collapsed columns come back, a locked one never does.
    grid_->SetColumnWidth(3, 0);
    ASSERT_TRUE(Command("<show_cols table_id='9'/>"));
    EXPECT_EQ(grid_->ColumnWidth(3), GridView::kRestoredColumnWidth);
    EXPECT_EQ(grid_->ColumnWidth(2), 0);
    // No row changes nothing; a count that differs is said and fails.
    EXPECT_TRUE(Command("<lock_col table_id='9' target_ids='4' values='SELECT 1 WHERE 1=0'/>"));
    EXPECT_FALSE(Command("<lock_col table_id='9' target_ids='4' values='SELECT 1, 1'/>"));
    EXPECT_EQ(messages_, QStringList({"参数和值数量不匹配!"}));
    EXPECT_GT(grid_->ColumnWidth(3), 0);
    // A control's text bound through para_info stays a value, quotes and all.
    Box(2)->setText("O'Neil");
    ASSERT_TRUE(Command("<lock_col table_id='9' target_ids='4' values=\"SELECT CASE WHEN "
                        "'{{p1}}' = 'O''Neil' THEN 1 ELSE 0 END\"><para_info><p value='2'/>"
                        "</para_info></lock_col>"))
        << qPrintable(Error());
    EXPECT_EQ(grid_->ColumnWidth(3), 0);
}

TEST_P(GridCommandsDb, SetColsTextBindsEachRowInItsBase) {
    Fill({{"O'Neil", "1", ""}, {"b", "2", ""}});
    grid_->SetRowState(1, 3);
    const struct {
        const char* command;
        const char* column; // the placeholder naming the material column
    } cases[] = {{"set_cols_text", "{{id?1}}"}, {"set_cols_text2", "{{id?2}}"}};
    for (const auto& c : cases) {
        const QString xml = QStringLiteral("<%1 table_id='9' target_ids='4;5' values=\"SELECT "
                                           "'%2' || '/' || '{{id?uid}}', '{{p1}}'\">"
                                           "<para_info_where><p value='2' where='{{self}}'/>"
                                           "</para_info_where></%1>")
                                .arg(c.command, c.column);
        Box(2)->setText(c.command);
        ASSERT_TRUE(Command(xml)) << c.command << qPrintable(Error());
        EXPECT_EQ(Column(3), QStringList({"O'Neil/k1", "b/k2"})) << c.command;
        EXPECT_EQ(Column(4), QStringList({c.command, c.command}));
        EXPECT_EQ(States(), QList<int>({2, 3}));
    }
    EXPECT_FALSE(Command("<set_cols_text table_id='9' target_ids='4' values='SELECT 1, 2'/>"));
    EXPECT_EQ(messages_, QStringList({"参数和值数量不匹配!"}));
}

INSTANTIATE_TEST_SUITE_P(Engines, GridCommandsDb,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return std::string(EngineName(info.param)); });

TEST_F(GridCommands, AddRowInsertsWhereWhichRowSays) {
    const struct {
        int whichRow;
        QList<int> selected;
        int at;
    } cases[] = {
        {-1, {2}, 0}, // the top, selection or not
        {1, {0}, 3},  // the end
        {0, {2}, 2},  // above the selection
        {0, {}, 3},   // the end when nothing is selected
    };
    for (const auto& c : cases) {
        Fill({{"a"}, {"b"}, {"c"}});
        Select(c.selected);
        ASSERT_TRUE(Command(QStringLiteral("<addrow><para_info table_id='9' rownum='1' "
                                           "which_row='%1'/></addrow>")
                                .arg(c.whichRow)));
        ASSERT_EQ(grid_->RowCount(), 4);
        EXPECT_EQ(grid_->CellText(c.at, 1), "") << c.whichRow;
        EXPECT_EQ(grid_->RowKey(c.at), "");
        EXPECT_EQ(Column(0), QStringList({"1", "2", "3", "4"}));
        QList<int> states = {0, 0, 0};
        for (int row = c.at; row < 3; ++row)
            states[row] = 2; // renumbered
        states.insert(c.at, 1);
        EXPECT_EQ(States(), states) << c.whichRow;
    }
    // Without row numbers the new row asks for input.
    ASSERT_TRUE(Command("<addrow><para_info table_id='9' which_row='1'/></addrow>"));
    EXPECT_EQ(grid_->CellText(4, 0), "请输入...");
    EXPECT_FALSE(Command("<addrow><para_info table_id='99'/></addrow>"));
    EXPECT_EQ(Error(), "控件指向出错:\n99");
}

// A grid without row numbers: the new row opens the editor of its first column at once.
TEST_F(GridCommands, AddRowWithoutNumbersOpensTheEditor) {
    FormWindow* form = FormWindow::OpenForm(
        QStringLiteral("<html version='1.0' id='0'><head title='清单' pos='0,0,500,300'/>"
                       "<body><dialog><textbox id='61' pos='0,0,60,20' hidden='1'/>"
                       "<table id='9' pos='10,10,480,280'><PARA><col_info>"
                       "<col id='1' title='名称' width='100' hidden_wnd='61'/>"
                       "<col id='2' title='数量' width='60'/></col_info></PARA></table>"
                       "</dialog></body></html>"),
        QString(), QString(), "6", "清单", "");
    ASSERT_TRUE(form);
    auto* grid = qobject_cast<GridView*>(form->ControlByWindowId(9 + FormControls::kWindowIdBase));
    ASSERT_TRUE(grid);
    grid->AppendRow({"甲", "1"}, "k1", 0);
    FormXml::XmlDocument doc;
    ASSERT_TRUE(doc.LoadXml("<addrow><para_info table_id='9' which_row='-1'/></addrow>"));
    ASSERT_TRUE(form->RunCommand(doc.GetRoot(), 0, "CLICK"));
    ASSERT_EQ(grid->RowCount(), 2);
    EXPECT_TRUE(grid->IsEditing());
    EXPECT_EQ(grid->EditRow(), 0);
    EXPECT_EQ(grid->EditColumn(), 0);
    EXPECT_EQ(ControlText(form->ControlByWindowId(61 + FormControls::kWindowIdBase)), "请输入...");
    EXPECT_EQ(grid->RowState(0), 1);
    EXPECT_EQ(grid->CellText(1, 0), "甲");
}

TEST_F(GridCommands, UpAndDownMoveRowsButNotTheirNumbers) {
    Fill({{"a"}, {"b"}, {"c"}, {"d"}, {"e"}});
    Select({2, 3});
    ASSERT_TRUE(Command("<uprow table_id='9'/>"));
    EXPECT_EQ(Column(0), QStringList({"1", "2", "3", "4", "5"}));
    EXPECT_EQ(Column(1), QStringList({"a", "c", "d", "b", "e"}));
    EXPECT_EQ(Keys(), QStringList({"k1", "k3", "k4", "k2", "k5"}));
    EXPECT_EQ(grid_->SelectedRows(), QList<int>({1, 2}));
    ASSERT_TRUE(Command("<downrow table_id='9'/>"));
    EXPECT_EQ(Column(1), QStringList({"a", "b", "c", "d", "e"}));
    EXPECT_EQ(grid_->SelectedRows(), QList<int>({2, 3}));
    // At the edges nothing moves.
    for (const auto& [command, row] : {std::pair{"uprow", 0}, std::pair{"downrow", 4}}) {
        Select({row});
        ASSERT_TRUE(Command(QStringLiteral("<%1 table_id='9'/>").arg(command)));
        EXPECT_EQ(Column(1), QStringList({"a", "b", "c", "d", "e"})) << command;
    }
}

TEST_F(GridCommands, SelectAllAndTheKeysOfTheMarkedRows) {
    Fill({{"a"}, {"b"}, {"c"}});
    Select({0, 2});
    ASSERT_TRUE(Command("<get_ids_from_list><para_info table_id='9' target_id='2'/>"
                        "</get_ids_from_list>"));
    EXPECT_EQ(Box(2)->text(), "k1,k3");
    ASSERT_TRUE(Command("<select_all table_id='9'/>"));
    EXPECT_EQ(grid_->SelectedRows(), QList<int>({0, 1, 2}));
}

TEST_F(GridCommands, ReadOnlyGridAndColumnTexts) {
    Fill({{"a", "1"}, {"b", "2"}});
    grid_->SetRowState(1, 1);
    ASSERT_TRUE(Command("<set_table_readonly table_id='9' values='1'/>"));
    EXPECT_TRUE(grid_->IsCellReadOnly(0, 1));
    ASSERT_TRUE(Command("<set_table_readonly table_id='9' values='0'/>"));
    EXPECT_FALSE(grid_->IsCellReadOnly(0, 1));

    ASSERT_TRUE(Command("<set_col_text table_id='9' target_ids='4' values='已核'/>"));
    EXPECT_EQ(Column(3), QStringList({"已核", "已核"}));
    EXPECT_EQ(States(), QList<int>({2, 1}));

    Fill({{"A4复印纸", "", "70g"}, {"螺丝刀", "", ""}});
    ASSERT_TRUE(Command("<set_cols_pinyin><para_info table_id='9' target_ids='5' values='2,4'/>"
                        "</set_cols_pinyin>"));
    EXPECT_EQ(Column(4), QStringList({"A4FYZ70g", "LSD"}));
    EXPECT_EQ(PhoneticInitials("〇中文ｘ"), "〇ZWｘ");
}

TEST_F(GridCommands, SumColsKeepsARunningBalance) {
    const struct {
        QList<QStringList> rows; // col1, col2, col3
        QStringList balances;
    } cases[] = {
        {{{"100", "0", "0"}, {"0", "30", "0"}, {"50", "0", "0"}}, {"100", "70", "120"}},
        {{{"100", "0", "0"}, {"0", "30", "0"}, {"50.5", "0", "0"}}, {"100", "70", "120.5"}},
        {{{"1,000", "", ""}, {"0", "30", ""}, {"5", "", ""}}, {"1,000.00", "970.00", "975.00"}},
        // An opening balance in the first row; run twice, the result stays.
        {{{"", "10", "500"}, {"20", "", "0"}}, {"500", "520"}},
    };
    for (const auto& c : cases) {
        grid_->DeleteAllRows();
        for (const QStringList& row : c.rows)
            grid_->AppendRow({"", row[0], row[1], "", row[2]});
        for (int run = 0; run < 2; ++run)
            ASSERT_TRUE(Command("<sum_cols><para_info table_id='9' col1='2' col2='3' col3='5'/>"
                                "</sum_cols>"));
        EXPECT_EQ(Column(4), c.balances);
    }
    Fill({{"a", "1,200.5"}, {"b", "3"}});
    ASSERT_TRUE(Command("<sum_table_col target_ids='9'/>"));
    EXPECT_EQ(Box(5)->text(), "1,203.50");
}

TEST_F(GridCommands, FillDownAndBlankRepeats) {
    // Column 2 shows the fill down; column 4 that each column starts remembering afresh.
    Fill({{"A", "", "x"}, {"", "", ""}, {"B", "", "y"}, {"同上", "", "同上"}, {"", "", ""}});
    ASSERT_TRUE(Command("<set_cell_text><para_info table_id='9' col='2;4' text='同上'/>"
                        "</set_cell_text>"));
    EXPECT_EQ(Column(1), QStringList({"A", "A", "B", "B", "B"}));
    EXPECT_EQ(Column(3), QStringList({"x", "x", "y", "y", "y"}));
    EXPECT_EQ(States(), QList<int>({0, 0, 0, 0, 0}));

    Fill({{"X", "1", "p"}, {"X", "2", "q"}, {"Y", "3", "r"}, {"Y", "4", "s"}, {"Z", "5", "t"}});
    ASSERT_TRUE(Command("<del_cell_text><para_info_where table_id='9' col='2' col_from='3' "
                        "col_to='4'/></del_cell_text>"));
    EXPECT_EQ(Column(2), QStringList({"1", "", "3", "", "5"}));
    EXPECT_EQ(Column(3), QStringList({"p", "", "r", "", "t"}));
    EXPECT_EQ(Column(1), QStringList({"X", "X", "Y", "Y", "Z"}));
    // Without a column to compare nothing is blanked.
    ASSERT_TRUE(Command("<del_cell_text><para_info table_id='9' col_from='2' col_to='4'/>"
                        "</del_cell_text>"));
    EXPECT_EQ(Column(1), QStringList({"X", "X", "Y", "Y", "Z"}));
    const QList<int> shades = {0xFFFFFF, 0xFFFFFF, kShade, kShade, 0xFFFFFF};
    for (int row = 0; row < 5; ++row) {
        EXPECT_EQ(Background(row, 1), shades[row]) << row;
        EXPECT_EQ(TextColor(row, 1), 0);
    }
}

TEST_F(GridCommands, RowColoursFollowRulesAndTheirRows) {
    Fill({{"a", "-3"}, {"b", "5", "停用"}, {"c", "", "x"}, {"d", "0"}});
    ASSERT_TRUE(Command("<set_rows_colors table_id='9'><rows_colors>"
                        "<r color_bg='0,255,0' text_col='3' empty='1'/>"
                        "<r color_text='255,0,0' text_col='3' text='-0'/>"
                        "<r color_bg='0,0,255' text_col='4' empty='2'/>"
                        "<r color_bg='1,2,3' text_col='3' text='0'/>"
                        "</rows_colors></set_rows_colors>"));
    EXPECT_EQ(TextColor(0, 1), kRed); // a negative amount
    EXPECT_EQ(Background(0, 1), 0xFFFFFF);
    EXPECT_EQ(Background(1, 1), kBlue); // a remark
    EXPECT_EQ(Background(2, 1), kBlue); // no amount (green), then the later remark rule
    EXPECT_EQ(Background(3, 1), 0x030201);
    // The colour is the row's: sorting takes it along.
    grid_->SetColumnSort(1, kSortable, kSortText);
    grid_->SortByColumn(1, true);
    grid_->SortByColumn(1, true); // descending: d c b a
    EXPECT_EQ(grid_->CellText(0, 1), "d");
    EXPECT_EQ(Background(0, 1), 0x030201);
    EXPECT_EQ(TextColor(3, 1), kRed);

    Fill({{"a", "1", "停用"}, {"b", "2", ""}});
    ASSERT_TRUE(Command("<set_row_color table_id='9'/>"));
    EXPECT_EQ(Background(0, 2), kRed);
    EXPECT_NE(Background(1, 2), kRed);
}

TEST_F(GridCommands, CellColours) {
    Fill({{"a", "-1", "255,0,0"}, {"b", "2", ""}});
    ASSERT_TRUE(Command("<set_cell_color><para_info table_id='9' color_bg='0,255,0' text_col='3' "
                        "text='-0' color_col='2,3'/></set_cell_color>"));
    EXPECT_EQ(Background(0, 1), 0x00FF00);
    EXPECT_EQ(Background(0, 2), 0x00FF00);
    EXPECT_NE(Background(0, 3), 0x00FF00);
    EXPECT_NE(Background(1, 1), 0x00FF00);

    ASSERT_TRUE(Command("<set_cell_color2><para_info table_id='9' color_col='4' text_col='4'/>"
                        "</set_cell_color2>"));
    EXPECT_EQ(Background(0, 3), kRed);
    EXPECT_EQ(Background(1, 3), 0xFFFFFF);

    ASSERT_TRUE(Command("<set_cols_color table_id='9'/>"));
    EXPECT_EQ(Background(0, 2), kBlue);
    EXPECT_EQ(Background(1, 2), kBlue);
    EXPECT_TRUE(messages_.isEmpty()) << qPrintable(messages_.join('\n'));
}

TEST_F(GridCommands, ClipboardCopiesAndPastes) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText("before");
    grid_->DeleteAllRows();
    EXPECT_FALSE(Command("<copy_table target_ids='9'/>"));
    EXPECT_EQ(messages_, QStringList({"没有记录!"}));
    EXPECT_EQ(clipboard->text(), "before");

    Fill({{"螺\t丝", "1", "两行\r\n备注"}});
    ASSERT_TRUE(Command("<copy_table target_ids='9'/>"));
    // The hidden column stays out; tabs and line breaks inside cells are dropped.
    EXPECT_EQ(clipboard->text(), "序号\t物料\t数量\t备注\t余额\r\n1\t螺丝\t1\t两行备注\t\r\n");
    ASSERT_TRUE(Command("<copytable target_ids='9' values='3,2'/>"));
    EXPECT_EQ(clipboard->text(), "数量\t物料\r\n1\t螺丝\r\n");

    clipboard->setText("b\t2\r\nc\t3\r\n");
    ASSERT_TRUE(Command("<paste_table target_ids='9'/>"));
    EXPECT_EQ(Column(0), QStringList({"1", "2", "3"}));
    EXPECT_EQ(Column(1), QStringList({"螺\t丝", "b", "c"}));
    EXPECT_EQ(Column(2), QStringList({"1", "2", "3"}));
    EXPECT_EQ(States(), QList<int>({0, 1, 1}));
    // Replacing the rows deletes the saved ones at the next save.
    clipboard->setText("d\t4");
    ASSERT_TRUE(Command("<paste_table target_ids='9' values='1'/>"));
    EXPECT_EQ(Column(1), QStringList({"d"}));
    EXPECT_EQ(form_->DeletedKeys(), "k1");

    Box(2)->setText("HT-001");
    ASSERT_TRUE(Command("<copycontent values='合同{{p1}}{{\\n}}金额{{\\t}}{{p2}}'><para_info>"
                        "<a value='2'/><b value='5'/></para_info></copycontent>"));
    EXPECT_EQ(clipboard->text(), "合同HT-001\r\n金额\t");
}

TEST(CapitalNumerals, AmountsAsTheyAreWrittenOnContracts) {
    const struct {
        double amount;
        const char* text;
    } cases[] = {
        {0, "零元整"},
        {100, "壹佰元整"},
        {1000000, "壹佰万元整"},
        {0.05, "伍分"},
        {1010.01, "壹仟零壹拾元零壹分"},
        {10.50, "壹拾元零伍角"},
        {10005, "壹万零伍元整"},
        {120000, "壹拾贰万元整"},
        {100000000, "壹亿元整"},
        {100010000, "壹亿零壹万元整"},
        {100000001.5, "壹亿零壹元伍角"},
        {1000000000000, "壹万亿元整"},
        {9999999999999.99, "玖万玖仟玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖元玖角玖分"},
        {10000000000000, "出错!"},
        {HUGE_VAL, "出错!"},
        {-5, "负伍元整"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CapitalNumerals(c.amount), QString::fromUtf8(c.text)) << c.amount;
}

TEST_F(GridCommands, GetDaxieReadsARowOrAControl) {
    Fill({{"a", "1,234.50"}});
    const QString fromRow = "<get_daxie><para_info table_id='9' col='3' result_id='2'/>"
                            "</get_daxie>";
    EXPECT_FALSE(Command(fromRow));
    EXPECT_EQ(Error(), "请选择记录！");
    Select({0});
    ASSERT_TRUE(Command(fromRow));
    EXPECT_EQ(Box(2)->text(), "壹仟贰佰叁拾肆元伍角");
    Box(3)->setText("");
    ASSERT_TRUE(Command("<get_daxie><para_info num_id='3' result_id='2'/></get_daxie>"));
    EXPECT_EQ(Box(2)->text(), "零元整");
    EXPECT_FALSE(Command("<get_daxie><para_info result_id='2'/></get_daxie>"));
    EXPECT_EQ(Error(), "请选择记录或者录入关联索引的指定控件编号num_id！");
}

} // namespace
