// The query commands through real forms on a real SQLite account set: the paged search and its
// page buttons, its text mode, showing a record in fields, filling grids, lists, headers and the
// process-wide values.
#include "app/Application.h"
#include "app/Login.h"
#include "commands/CommandTable.h"
#include "data/CfgFile.h"
#include "data/CfgScramble.h"
#include "form/ControlValues.h"
#include "form/FormControls.h"
#include "form/FormWindow.h"
#include "platform/AppMessage.h"
#include "support/FormTestSession.h"
#include "support/TestAccountSet.h"
#include "widgets/GridView.h"

#include <QComboBox>
#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

// A search form: filter box 2, search button 10, page text 11, page buttons 12..15 and grid 9.
const char* kSearchForm = R"xml(<html version='1.0' id='0'>
<head title='物料' pos='0,0,700,500'/>
<body><dialog>
  <textbox id='2' pos='10,10,200,30'/>
  <textbox id='3' pos='210,10,400,30'/>
  <textbox id='4' pos='410,10,600,30'/>
  <textbox id='5' pos='10,40,200,60'/>
  <droplist id='6' pos='210,40,400,60'/>
  <droplist id='7' pos='410,40,600,60'/>
  <button id='10' value='查询' pos='10,70,90,95'>
    <ACTION><CLICK><select_info_table><para_info_where
        select='SELECT uid_0,name_0,code_0 FROM c_material' where='1=1{{p1}}' order='uid_0 ASC'
        contain_head='1' is_rowid='1' counts_in_page='10' table_id='9' result_info_id='11'
        page_buttons='12;13;14;15'>
      <f value='2' where=" AND name_0 LIKE '%{{self}}%'"/>
    </para_info_where></select_info_table></CLICK></ACTION></button>
  <static id='11' pos='100,70,400,95'/>
  <button id='12' value='首页' pos='410,70,450,95'>
    <ACTION><CLICK><click_page><para_info page='1' button_id='10'/></click_page></CLICK></ACTION></button>
  <button id='13' value='上页' pos='460,70,500,95'>
    <ACTION><CLICK><click_page><para_info page='2' button_id='10'/></click_page></CLICK></ACTION></button>
  <button id='14' value='下页' pos='510,70,550,95'>
    <ACTION><CLICK><click_page><para_info page='3' button_id='10'/></click_page></CLICK></ACTION></button>
  <button id='15' value='末页' pos='560,70,600,95'>
    <ACTION><CLICK><click_page><para_info page='4' button_id='10'/></click_page></CLICK></ACTION></button>
  <textbox id='16' pos='610,10,690,30'/>
  <table id='9' pos='10,100,600,400'><PARA><col_info>
    <col id='1' title='序号' width='40' sum='16'/><col id='2' title='名称' width='80'/>
    <col id='3' title='编码' width='80'/>
  </col_info></PARA></table>
  <table id='8' hidden='1' pos='10,100,600,400'><PARA><col_info>
    <col id='1' title='序号' width='40'/><col id='2' title='名称' width='80'/>
    <col id='3' title='编码' width='80'/>
  </col_info></PARA></table>
</dialog></body></html>)xml";

class QueryCommands : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        QString why;
        if (!session_.Start(GetParam(), why))
            GTEST_SKIP() << qPrintable(why);
        Application::Instance().session.SetLikeRewrite(false);

        form_ = FormWindow::OpenForm(QString::fromUtf8(kSearchForm), QString(), QString(), "5",
                                     "物料", "");
        ASSERT_TRUE(form_);
        ASSERT_TRUE(form_->Session.IsOpen() || form_->Session.Open());
        // M01..M25, codes alternating A and B.
        for (int i = 1; i <= 25; ++i)
            ASSERT_TRUE(form_->Session.Execute(
                QStringLiteral("INSERT INTO c_material (name_0,code_0) VALUES ('M%1','%2')")
                    .arg(i, 2, 10, QLatin1Char('0'))
                    .arg(i % 2 ? "A" : "B")));
        ASSERT_TRUE(form_->Session.QueryList("SELECT uid_0 FROM c_material ORDER BY uid_0", uids_) >
                    0);
        ASSERT_EQ(uids_.size(), 25);
    }
    void TearDown() override {
        if (!session_.Set())
            return;
        Application::Instance().session.SetLikeRewrite(false);
        session_.Stop();
    }

    template <typename T = QWidget> T* Control(int id) {
        return qobject_cast<T*>(form_->ControlByWindowId(id + FormControls::kWindowIdBase));
    }
    GridView* Grid() { return Control<GridView>(9); }
    void Click(int id) { form_->RunEvent(id + FormControls::kWindowIdBase, "CLICK"); }
    // Runs one command element against the form, as the runner does.
    bool Run(const QString& xml) {
        FormXml::XmlDocument doc;
        EXPECT_TRUE(doc.LoadXml(xml)) << qPrintable(xml);
        form_->Runner().ErrorText.clear();
        return form_->RunCommand(doc.GetRoot(), 0, "CLICK");
    }
    QString PageButtons() {
        QString states;
        for (int id = 12; id <= 15; ++id)
            states += Control(id)->isEnabled() ? '1' : '0';
        return states;
    }
    QStringList Column(int column) {
        QStringList cells;
        for (int row = 0; row < Grid()->RowCount(); ++row)
            cells.append(Grid()->CellText(row, column));
        return cells;
    }
    QStringList Keys() {
        QStringList keys;
        for (int row = 0; row < Grid()->RowCount(); ++row)
            keys.append(Grid()->RowKey(row));
        return keys;
    }
    static QStringList Names(int first, int last) {
        QStringList names;
        for (int i = first; i <= last; ++i)
            names.append(QStringLiteral("M%1").arg(i, 2, 10, QLatin1Char('0')));
        return names;
    }

    FormTestSession session_;
    FormWindow* form_ = nullptr;
    QStringList uids_;
    QStringList& messages_ = session_.messages;
};

TEST_P(QueryCommands, PagedSearchAndPageButtons) {
    Click(10);
    ASSERT_EQ(Grid()->RowCount(), 10) << qPrintable(form_->Runner().ErrorText);
    EXPECT_EQ(ControlText(Control(11)),
              QStringLiteral("当前 1/3 页 每页 10 条记录 合计 25 条记录"));
    EXPECT_EQ(form_->Page().total, 3);
    EXPECT_EQ(PageButtons(), "0011");
    // The key field is not shown; column 0 numbers the rows.
    EXPECT_EQ(Column(0), QStringList({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
    EXPECT_EQ(Column(1), Names(1, 10));
    EXPECT_EQ(Grid()->CellText(1, 2), "B");
    EXPECT_EQ(Keys(), uids_.mid(0, 10));
    EXPECT_EQ(form_->LoadedKeysText(), uids_.mid(0, 10).join(','));
    EXPECT_EQ(form_->ExpandPlaceholders("{{selected_uid_0}}"), uids_.mid(0, 10).join(','));

    const struct {
        int button;
        int page;
        int first, last;
        const char* buttons;
    } steps[] = {
        {15, 3, 21, 25, "1100"}, // last
        {13, 2, 11, 20, "1111"}, // previous
        {14, 3, 21, 25, "1100"}, // next
        {12, 1, 1, 10, "0011"},  // first
        {14, 2, 11, 20, "1111"},
    };
    for (const auto& s : steps) {
        Click(s.button);
        EXPECT_EQ(form_->Page().number, s.page) << s.button;
        EXPECT_EQ(Column(1), Names(s.first, s.last)) << s.button;
        EXPECT_EQ(Grid()->CellText(0, 0), "1") << s.button;
        EXPECT_EQ(form_->LoadedKeysText(), uids_.mid(s.first - 1, s.last - s.first + 1).join(','))
            << s.button;
        EXPECT_EQ(PageButtons(), s.buttons) << s.button;
        EXPECT_EQ(ControlText(Control(11)),
                  QStringLiteral("当前 %1/3 页 每页 10 条记录 合计 25 条记录").arg(s.page));
        EXPECT_TRUE(form_->Page().resetPermitted);
    }

    // A page button re-runs the search with the filter as it now stands; a page past the end
    // of the shorter result shows its last page.
    Click(15);
    Control<QLineEdit>(2)->setText("1"); // M01, M10..M19, M21: two pages
    Click(14);
    EXPECT_EQ(form_->Page().number, 2);
    EXPECT_EQ(Column(1), QStringList({"M19", "M21"}));
    EXPECT_EQ(ControlText(Control(11)),
              QStringLiteral("当前 2/2 页 每页 10 条记录 合计 12 条记录"));
    Control<QLineEdit>(2)->setText("M2"); // one page
    Click(15);
    EXPECT_EQ(form_->Page().number, 1);
    EXPECT_EQ(ControlText(Control(11)), QStringLiteral("当前 1/1 页 每页 10 条记录 合计 6 条记录"));
    Control<QLineEdit>(2)->clear();

    // The user's own search starts again from the first page.
    form_->SetDeletedKeys("7");
    Click(10);
    EXPECT_EQ(form_->Page().number, 1);
    EXPECT_EQ(Column(1), Names(1, 10));
    EXPECT_TRUE(form_->DeletedKeys().isEmpty());
}

// A paged search may put every row it found into another grid (for copying and export); the
// page shown, the page state and the loaded keys stay the page's.
TEST_P(QueryCommands, APagedSearchPutsEveryRowFoundIntoAnotherGrid) {
    const QString search = QStringLiteral(
        R"(<select_info_table><para_info_where select='SELECT uid_0,name_0,code_0 FROM c_material'
        where='1=1{{p1}}' order='uid_0 DESC' contain_head='1' is_rowid='1' counts_in_page='10'
        table_id='9' result_info_id='11' all_rows_table_id='8'>
      <f value='2' where=" AND name_0 LIKE '%{{self}}%'"/>
    </para_info_where></select_info_table>)");
    auto* all = Control<GridView>(8);
    const struct {
        const char* filter;
        int page;
        int first, last; // the names found, M<last> down to M<first>
        int shown;
    } cases[] = {
        {"", 1, 1, 25, 10},
        {"", 3, 1, 25, 5},
        {"M1", 2, 10, 19, 10}, // one page: a page past the end shows the last one
        {"none", 1, 1, 0, 0},
    };
    for (const auto& c : cases) {
        Control<QLineEdit>(2)->setText(QString::fromUtf8(c.filter));
        form_->SetPage({c.page, form_->Page().total, form_->Page().resetPermitted});
        form_->SetPage({form_->Page().number, form_->Page().total, false});
        ASSERT_TRUE(Run(search)) << qPrintable(form_->Runner().ErrorText);
        form_->SetPage({form_->Page().number, form_->Page().total, true});
        QStringList names;
        QStringList keys;
        QStringList numbers;
        for (int i = c.last; i >= c.first; --i) {
            names.append(QStringLiteral("M%1").arg(i, 2, 10, QLatin1Char('0')));
            keys.append(uids_[i - 1]);
            numbers.append(QString::number(numbers.size() + 1));
        }
        QStringList allNames;
        QStringList allKeys;
        QStringList allNumbers;
        for (int row = 0; row < all->RowCount(); ++row) {
            allNumbers.append(all->CellText(row, 0));
            allNames.append(all->CellText(row, 1));
            allKeys.append(all->RowKey(row));
        }
        EXPECT_EQ(allNames, names) << c.filter << c.page;
        EXPECT_EQ(allKeys, keys) << c.filter << c.page;
        EXPECT_EQ(allNumbers, numbers) << c.filter << c.page;
        EXPECT_EQ(Grid()->RowCount(), c.shown) << c.filter << c.page;
        EXPECT_EQ(form_->LoadedKeysText(), Keys().join(',')) << c.filter << c.page;
    }
}

// A search without a page display (a detail grid filled beside the list) shows its first page
// and leaves the list's page state alone, so the list's page buttons still page the list.
TEST_P(QueryCommands, ASearchWithoutPageDisplayLeavesTheListsPagesAlone) {
    Click(10);
    Click(15);
    ASSERT_EQ(form_->Page().number, 3);
    ASSERT_TRUE(Run("<select_info_table><para_info_where select='SELECT uid_0,name_0,code_0 FROM "
                    "c_material' order='uid_0 ASC' contain_head='1' is_rowid='1' "
                    "counts_in_page='4' table_id='8'/></select_info_table>"))
        << qPrintable(form_->Runner().ErrorText);
    EXPECT_EQ(Control<GridView>(8)->RowCount(), 4);
    EXPECT_EQ(Control<GridView>(8)->CellText(0, 1), "M01");
    EXPECT_EQ(form_->Page().number, 3);
    EXPECT_EQ(form_->Page().total, 3);
    EXPECT_EQ(ControlText(Control(11)),
              QStringLiteral("当前 3/3 页 每页 10 条记录 合计 25 条记录"));
    Click(13);
    EXPECT_EQ(form_->Page().number, 2);
    EXPECT_EQ(Column(1), Names(11, 20));
}

TEST_P(QueryCommands, FiltersAndTheLikeRewrite) {
    ASSERT_TRUE(form_->Session.Execute("INSERT INTO c_material (name_0) VALUES ('O''Brien')"));
    const struct {
        const char* filter;
        int rows;
    } cases[] = {
        {"M2", 6},      // M20..M25: one page, every page button off
        {"O'Brien", 1}, // the quote reaches the SQL doubled
        {"", 26},       // an empty filter drops its condition
        {"nothing", 0},
    };
    for (const auto& c : cases) {
        Control<QLineEdit>(2)->setText(QString::fromUtf8(c.filter));
        Click(10);
        EXPECT_TRUE(messages_.isEmpty()) << c.filter << qPrintable(messages_.join('\n'));
        const int shown = std::min(c.rows, 10);
        EXPECT_EQ(Grid()->RowCount(), shown) << c.filter;
        if (c.rows > 0 && c.rows <= 10) {
            EXPECT_EQ(PageButtons(), "0000") << c.filter;
            EXPECT_EQ(ControlText(Control(11)),
                      QStringLiteral("当前 1/1 页 每页 10 条记录 合计 %1 条记录").arg(c.rows));
        }
    }

    // A fragment without wildcards matches only whole names, unless LIKE is rewritten into a
    // case-insensitive InStr.
    const QString exact =
        QString::fromUtf8(kSearchForm).replace("LIKE '%{{self}}%'", "LIKE '{{self}}'");
    delete form_;
    Application::Instance().forms.openForms.clear();
    form_ = FormWindow::OpenForm(exact, QString(), QString(), "5", "物料", "");
    ASSERT_TRUE(form_);
    Control<QLineEdit>(2)->setText("m2");
    Click(10);
    EXPECT_EQ(Grid()->RowCount(), 0);
    Application::Instance().session.SetLikeRewrite(true);
    Click(10);
    EXPECT_EQ(Column(1), Names(20, 25));
    EXPECT_TRUE(messages_.isEmpty()) << qPrintable(messages_.join('\n'));
}

TEST_P(QueryCommands, SearchWithoutPagingAndAFailingSearch) {
    Grid()->InsertRow(0, "old");
    ASSERT_TRUE(Run("<select_info_table><para_info select='SELECT name_0,code_0 FROM c_material'"
                    " where=\" WHERE name_0 &gt;= '{{p1}}'\" order=' ORDER BY uid_0 DESC'"
                    " reset_head='1' table_id='9'><a value='2'/></para_info></select_info_table>"));
    // No key field, no row numbers; the header is rebuilt from the field names.
    EXPECT_EQ(Grid()->ColumnCount(), 2);
    EXPECT_EQ(Grid()->Model()->Column(0)->title, "name_0");
    EXPECT_EQ(Grid()->RowCount(), 25);
    EXPECT_EQ(Grid()->CellText(0, 0), "M25");
    EXPECT_EQ(Grid()->CellText(0, 1), "A");

    Control<QLineEdit>(2)->setText("M24");
    ASSERT_TRUE(Run("<select_info_table><para_info select='SELECT name_0 FROM c_material'"
                    " where=\" WHERE name_0 &gt;= '{{p1}}'\" order='' table_id='9'>"
                    "<a value='2'/></para_info></select_info_table>"));
    EXPECT_EQ(Column(0), QStringList({"M24", "M25"}));

    EXPECT_FALSE(Run("<select_info_table><para_info_where select='SELECT x FROM no_such_table'"
                     " counts_in_page='10' order='x ASC' table_id='9'/></select_info_table>"));
    EXPECT_FALSE(form_->Runner().ErrorText.isEmpty());
    EXPECT_EQ(Grid()->RowCount(), 0);
    EXPECT_FALSE(Run("<select_info_table><para_info_where table_id='99'/></select_info_table>"));
    EXPECT_EQ(form_->Runner().ErrorText, QStringLiteral("控件指向出错:\n99"));
}

// A search without paging that finds nothing fails without a message of its own; its grid shows
// no rows and keeps the header it would have rebuilt.
TEST_P(QueryCommands, AnEmptySearchWithoutPagingFailsAndKeepsTheHeader) {
    const int columns = Grid()->ColumnCount();
    const QString title = Grid()->Model()->Column(0)->title;
    Grid()->InsertRow(0, "old");
    EXPECT_FALSE(Run("<select_info_table><para_info select='SELECT name_0 FROM c_material'"
                     " where=\" WHERE name_0 = 'none'\" reset_head='1' table_id='9'>"
                     "</para_info></select_info_table>"));
    EXPECT_TRUE(form_->Runner().ErrorText.isEmpty());
    EXPECT_EQ(Grid()->RowCount(), 0);
    EXPECT_EQ(Grid()->ColumnCount(), columns);
    EXPECT_EQ(Grid()->Model()->Column(0)->title, title);
}

// The rows arrive one at a time; a search that fails after some of them shows none, and a header
// it would have rebuilt stays as it was.
TEST_P(QueryCommands, ASearchFailingPartWayShowsNoRowsAndKeepsTheHeader) {
    const int columns = Grid()->ColumnCount();
    const QString title = Grid()->Model()->Column(0)->title;
    EXPECT_FALSE(Run("<select_info_table><para_info select='SELECT name_0, CASE WHEN uid_0 &gt; " +
                     uids_[2] +
                     " THEN abs(-9223372036854775807 - 1) ELSE 1 END AS n"
                     " FROM c_material' order=' ORDER BY uid_0' reset_head='1' table_id='9'>"
                     "</para_info></select_info_table>"));
    EXPECT_FALSE(form_->Runner().ErrorText.isEmpty());
    EXPECT_EQ(Grid()->RowCount(), 0);
    EXPECT_EQ(Grid()->ColumnCount(), columns);
    EXPECT_EQ(Grid()->Model()->Column(0)->title, title);
}

TEST_P(QueryCommands, TextModeSplitsAControlsTextIntoRows) {
    const struct {
        const char* text;
        const char* extra; // removal and replacement attributes
    } cases[] = {
        {"k1~a~b~k2~c~d~", ""},
        {"#k1@a;~b^k2%c~d~", "reset_head='#' result_info_id='@|%' page_buttons='{{;}}' order='^'"},
    };
    for (const auto& c : cases) {
        Control<QLineEdit>(3)->setText(QString::fromUtf8(c.text));
        form_->SetLoadedKeys("stale");
        ASSERT_TRUE(Run(QStringLiteral("<select_info_table><para_info select='3' where='~'"
                                       " counts_in_page='3' contain_head='1' table_id='9' %1/>"
                                       "</select_info_table>")
                            .arg(c.extra)))
            << c.text;
        EXPECT_EQ(Keys(), QStringList({"k1", "k2"})) << c.text;
        EXPECT_EQ(Column(0), QStringList({"a", "c"})) << c.text;
        EXPECT_EQ(Column(1), QStringList({"b", "d"})) << c.text;
        EXPECT_EQ(form_->LoadedKeysText(), "k1,k2") << c.text;
    }

    // Without keys every cell is shown; a row whose cells run out stays partly filled.
    Control<QLineEdit>(3)->setText("a~b~c~d~e");
    ASSERT_TRUE(Run("<select_info_table><para_info select='3' where='~' counts_in_page='3'"
                    " table_id='9'/></select_info_table>"));
    EXPECT_EQ(Column(0), QStringList({"a", "d"}));
    EXPECT_EQ(Column(1), QStringList({"b", "e"}));
    EXPECT_EQ(Column(2), QStringList({"c", ""}));
}

TEST_P(QueryCommands, QueryToWndsShowsOneRecord) {
    const QString command =
        "<query_to_wnds target_ids='3;4;5' values=\"SELECT name_0,code_0,uid_0 FROM c_material "
        "WHERE 1=1{{p1}}\"><para_info_where><a value='2' default='M07'"
        " where=\" AND name_0 LIKE '{{self}}'\"/></para_info_where></query_to_wnds>";
    // An empty filter takes its default.
    ASSERT_TRUE(Run(command));
    EXPECT_EQ(Control<QLineEdit>(3)->text(), "M07");
    EXPECT_EQ(Control<QLineEdit>(4)->text(), "A");
    EXPECT_EQ(Control<QLineEdit>(5)->text(), uids_[6]);

    // No row clears the targets.
    Control<QLineEdit>(2)->setText("none");
    ASSERT_TRUE(Run(command));
    EXPECT_EQ(Control<QLineEdit>(3)->text(), "");
    EXPECT_EQ(Control<QLineEdit>(5)->text(), "");

    // Ten rows of three values for three targets.
    Control<QLineEdit>(2)->setText("M1%");
    EXPECT_FALSE(Run(command));
    EXPECT_EQ(messages_, QStringList({QStringLiteral("参数和值数量不匹配!")}));

    // The columns and targets from para_in_out; the row of the grid binds from 1.
    Grid()->BeginFill();
    Grid()->AppendRow({"x", "M03"}, uids_[2]);
    Grid()->AppendRow({"y", "M09"}, uids_[8]);
    Grid()->EndFill();
    Grid()->SelectRow(0, true);
    const QString inOut = "<query_to_wnds table_id='9' num='%1' values=\"SELECT {{para_in}} FROM "
                          "c_material WHERE name_0='{{id?2}}' AND uid_0&lt;&gt;{{id?uid}}+1\">"
                          "<para_in_out><a in='code_0' out='3'/><b in='name_0' out='4'/>"
                          "</para_in_out></query_to_wnds>";
    ASSERT_TRUE(Run(inOut.arg(1))); // the second row
    EXPECT_EQ(Control<QLineEdit>(3)->text(), "A");
    EXPECT_EQ(Control<QLineEdit>(4)->text(), "M09");
    ASSERT_TRUE(Run(inOut.arg(2))); // num = row count: the selected row
    EXPECT_EQ(Control<QLineEdit>(4)->text(), "M03");
}

// A query that fails is not "no row": the fields keep what they held and the session's message
// says why.
TEST_P(QueryCommands, AFailingQueryToWndsSaysWhyAndKeepsTheFields) {
    Control<QLineEdit>(3)->setText("kept");
    Control<QLineEdit>(4)->setText("kept too");
    EXPECT_FALSE(Run("<query_to_wnds target_ids='3;4' values='SELECT name_0,code_0 FROM "
                     "no_such_table'/>"));
    EXPECT_FALSE(form_->Session.Message().isEmpty());
    EXPECT_EQ(form_->Runner().ErrorText, form_->Session.Message());
    EXPECT_EQ(Control<QLineEdit>(3)->text(), "kept");
    EXPECT_EQ(Control<QLineEdit>(4)->text(), "kept too");
}

TEST_P(QueryCommands, QueryToWndJoinsAndQueryToMainSetsGlobals) {
    ASSERT_TRUE(Run("<query_to_wnd target_ids='3' values=\"SELECT name_0 FROM c_material WHERE "
                    "uid_0&lt;={{p1}}\"><para_info_where><a value='2' where='{{self}}'/>"
                    "</para_info_where></query_to_wnd>"));
    EXPECT_EQ(Control<QLineEdit>(3)->text(), ""); // "uid_0<=" fails: no row
    Control<QLineEdit>(2)->setText(uids_[2]);
    ASSERT_TRUE(Run("<query_to_wnd target_ids='3' values=\"SELECT name_0 FROM c_material WHERE "
                    "uid_0&lt;={{p1}} ORDER BY uid_0\"><para_info_where><a value='2' "
                    "where='{{self}}'/></para_info_where></query_to_wnd>"));
    EXPECT_EQ(Control<QLineEdit>(3)->text(), "M01,M02,M03");
    EXPECT_FALSE(Run("<query_to_wnd values='SELECT 1'/>"));
    EXPECT_EQ(form_->Runner().ErrorText, QStringLiteral("参数错误"));

    SessionContext& session = Application::Instance().session;
    const auto& globals = session.globals;
    for (int slot = 0; slot < 10; ++slot)
        session.SetGlobal(slot, "old");
    ASSERT_TRUE(Run("<query_to_main target_ids='0;9;4' values=\"SELECT name_0,code_0,'x' FROM "
                    "c_material WHERE name_0='M02'\"/>"));
    EXPECT_EQ(globals[0], "M02");
    EXPECT_EQ(globals[9], "B");
    EXPECT_EQ(globals[4], "x");
    EXPECT_EQ(globals[1], "old");
    EXPECT_EQ(form_->ExpandPlaceholders("{{A9}}"), "B");
    ASSERT_TRUE(Run("<query_to_main target_ids='0;9' values=\"SELECT 1,2 WHERE 1=0\"/>"));
    EXPECT_EQ(globals[0], "");
    EXPECT_EQ(globals[9], "");
    EXPECT_FALSE(Run("<query_to_main target_ids='10' values=\"SELECT 1\"/>"));
    EXPECT_EQ(messages_, QStringList({QStringLiteral("超出可设置全局变量范围！")}));
    EXPECT_FALSE(Run("<query_to_main target_ids='1;2' values=\"SELECT 1\"/>"));
    for (int slot = 0; slot < 10; ++slot)
        session.SetGlobal(slot, QString());
}

TEST_P(QueryCommands, QueryToTableAppendsNewNumberedRows) {
    Grid()->InsertRow(0, "9");
    Control<QLineEdit>(2)->setText("M0");
    Control<QLineEdit>(3)->setText(uids_[2]);
    ASSERT_TRUE(Run("<query_to_table><para_info to_table_id='9' select=\"SELECT '{{row_num}}',"
                    "name_0,code_0 FROM c_material WHERE name_0 LIKE '{{p1}}%' AND uid_0&lt;={{p2}}"
                    " ORDER BY uid_0\"><para_in><a value='2'/><b value='3'/></para_in>"
                    "<para_out><a value='0'/><b value='2'/><c value='1'/></para_out></para_info>"
                    "</query_to_table>"));
    ASSERT_EQ(Grid()->RowCount(), 4);
    EXPECT_EQ(Column(0), QStringList({"9", "2", "3", "4"}));
    EXPECT_EQ(Column(1), QStringList({"", "A", "B", "A"}));
    EXPECT_EQ(Column(2), QStringList({"", "M01", "M02", "M03"}));
    EXPECT_EQ(Control<QLineEdit>(16)->text(), "18"); // the column total follows the new rows
    for (int row = 1; row < 4; ++row) {
        EXPECT_EQ(Grid()->RowState(row), 1);
        EXPECT_EQ(Grid()->RowKey(row), "0");
    }

    // select_into binds the source row's columns as {{c%d}}.
    Grid()->SelectRow(2, true);
    ASSERT_TRUE(Run("<select_into><para_info from_table_id='9' to_table_id='9' select=\""
                    "SELECT uid_0,name_0 FROM c_material WHERE name_0='{{c1}}'\"><para_out>"
                    "<a value='2'/><b value='1'/></para_out></para_info></select_into>"));
    ASSERT_EQ(Grid()->RowCount(), 5);
    EXPECT_EQ(Grid()->CellText(4, 0), "5");
    EXPECT_EQ(Grid()->CellText(4, 1), "M02");
    EXPECT_EQ(Control<QLineEdit>(16)->text(), "23");
}

TEST_P(QueryCommands, ListsAndHeaders) {
    ASSERT_TRUE(Run("<query_to_list target_ids='6' values=\"SELECT name_0 FROM c_material WHERE "
                    "code_0='{{p1}}' AND uid_0&lt;=0{{p2}} ORDER BY uid_0\"><para_info>"
                    "<a value='2' where='{{self}}'/><b value='3' where='{{self}}'/></para_info>"
                    "</query_to_list>"));
    EXPECT_EQ(Control<QComboBox>(6)->count(), 0); // no row: the list is left as it was
    Control<QLineEdit>(2)->setText("B");
    Control<QLineEdit>(3)->setText(uids_[5]);
    ASSERT_TRUE(Run("<query_to_list target_ids='6' values=\"SELECT name_0 FROM c_material WHERE "
                    "code_0='{{p1}}' AND uid_0&lt;=0{{p2}} ORDER BY uid_0\"><para_info>"
                    "<a value='2' where='{{self}}'/><b value='3' where='{{self}}'/></para_info>"
                    "</query_to_list>"));
    auto items = [](QComboBox* list) {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts.append(list->itemText(i));
        return texts;
    };
    EXPECT_EQ(items(Control<QComboBox>(6)), QStringList({"M02", "M04", "M06"}));
    EXPECT_EQ(Control<QComboBox>(6)->currentIndex(), 0);

    ASSERT_TRUE(Run("<query_to_lists2 target_ids='6;7' values=\"SELECT 'A' UNION ALL SELECT 'B' "
                    "UNION ALL SELECT '-|-||-|-' UNION ALL SELECT 'C'\"/>"));
    EXPECT_EQ(items(Control<QComboBox>(6)), QStringList({"A", "B"}));
    EXPECT_EQ(items(Control<QComboBox>(7)), QStringList({"C"}));

    // Unresolvable targets are skipped.
    ASSERT_TRUE(Run("<query_to_lists target_ids='99;7' values=\"SELECT 'X'\"/>"));
    EXPECT_EQ(items(Control<QComboBox>(7)), QStringList({"X"}));

    ASSERT_TRUE(
        Run("<query_to_head table_id='9' target_ids='2;0' values=\"SELECT 'Code','No'\"/>"));
    EXPECT_EQ(Grid()->Model()->Column(0)->title, "No");
    EXPECT_EQ(Grid()->Model()->Column(1)->title, QStringLiteral("名称"));
    EXPECT_EQ(Grid()->Model()->Column(2)->title, "Code");
    EXPECT_FALSE(Run("<query_to_head target_ids='1' values=\"SELECT 'a'\"/>"));
    EXPECT_EQ(form_->Runner().ErrorText, QStringLiteral("未指定表格id"));
    EXPECT_FALSE(Run("<query_to_head table_id='9' target_ids='1' values=\"SELECT 'a','b'\"/>"));
    EXPECT_EQ(messages_.last(), QStringLiteral("参数和值数量不匹配!"));
}

INSTANTIATE_TEST_SUITE_P(Engines, QueryCommands,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return std::string(EngineName(info.param)); });

} // namespace
