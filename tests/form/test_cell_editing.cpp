// Cells edited the way a user edits them: a click opens the column's editor over the cell, keys
// arrive at the editor, and leaving it (Enter, Escape, Tab, a click elsewhere) ends the edit,
// on a form over a real account set.
#include "app/Application.h"
#include "app/Login.h"
#include "commands/CommandTable.h"
#include "data/DbSession.h"
#include "form/FormControls.h"
#include "form/FormWindow.h"
#include "platform/AppMessage.h"
#include "support/FormTestSession.h"
#include "support/TestAccountSet.h"
#include "widgets/EditWithButton.h"
#include "widgets/GridView.h"
#include "widgets/PickListPopup.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Column 1 is typed in a text box with an ENDEDIT that computes the amount (column 3) from the
// quantity and price; column 2 shares the text box; column 4 is a date; column 0 numbers rows.
const char* kForm = R"(<html version='1.0' id='0'><head title='入库明细' pos='0,0,700,420'/>
<body><dialog>
  <textbox id='61' pos='0,0,60,20' hidden='1'/>
  <datectrl id='62' pos='0,0,100,20' hidden='1'/>
  <textbox id='70' pos='10,10,120,30'/>
  <button id='80' value='保存' pos='130,10,200,34'/>
  <table id='9' pos='10,40,690,400'><PARA><col_info>
    <col id='1' title='行号' width='40'/>
    <col id='2' title='数量' width='60' hidden_wnd='61'><ENDEDIT>
      <fill target_ids='4' values="SELECT CAST('{{c1}}' AS INTEGER) * CAST('{{c2}}' AS INTEGER) FROM c_user WHERE id_0='admin'">
        <para_info><i value='2' default='0'/><i value='3' default='0'/></para_info></fill>
    </ENDEDIT></col>
    <col id='3' title='单价' width='60' hidden_wnd='61'><ENDEDIT>
      <fill target_ids='4' values="SELECT CAST('{{c1}}' AS INTEGER) * CAST('{{c2}}' AS INTEGER) FROM c_user WHERE id_0='admin'">
        <para_info><i value='2' default='0'/><i value='3' default='0'/></para_info></fill>
    </ENDEDIT></col>
    <col id='4' title='金额' width='80' sum='70'/>
    <col id='5' title='日期' width='100' hidden_wnd='62'/>
    <col id='6' title='备注' width='100'/>
  </col_info></PARA></table>
</dialog></body></html>)";

class CellEditing : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override {
        QString why;
        if (!session_.Start(GetParam(), why))
            GTEST_SKIP() << qPrintable(why);
    }
    void TearDown() override { session_.Stop(); }

    FormWindow* Open(const QString& definition = QString::fromUtf8(kForm)) {
        FormWindow* form =
            FormWindow::OpenForm(definition, QString(), QString(), "9", "入库明细", "");
        form->activateWindow();
        QApplication::processEvents();
        grid_ = qobject_cast<GridView*>(form->ControlByWindowId(9 + 1024));
        return form;
    }
    void Rows(int count, int state) {
        for (int i = 0; i < count; ++i)
            grid_->AppendRow({QString::number(grid_->RowCount() + 1)}, QString::number(i + 1),
                             state);
    }
    void Click(QWidget* widget, QPoint pos) {
        QMouseEvent press(QEvent::MouseButtonPress, pos, widget->mapToGlobal(pos), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, pos, widget->mapToGlobal(pos),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &release);
    }
    void ClickCell(int row, int column) {
        Click(grid_->viewport(), grid_->visualRect(grid_->Model()->index(row, column)).center());
    }
    // Keys go where the focus is, as the keyboard's would.
    void Key(int key, const QString& text = {}, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget();
        ASSERT_TRUE(target);
        QKeyEvent press(QEvent::KeyPress, key, mods, text);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, mods, text);
        QApplication::sendEvent(target, &release);
    }
    void Type(const QString& text) {
        for (const QChar c : text)
            Key(c.unicode(), QString(c));
    }
    QString Cell(int row, int column) const { return grid_->CellText(row, column); }
    // Runs statements on the account set before the form reads it.
    void Execute(const QStringList& statements) {
        DbSession db;
        db.SetConnectionString(session_.Set()->connectionText());
        ASSERT_TRUE(db.Open());
        for (const QString& sql : statements)
            ASSERT_TRUE(db.Execute(sql)) << qPrintable(sql) << qPrintable(db.Detail());
    }

    FormTestSession session_;
    GridView* grid_ = nullptr;
    QStringList& messages_ = session_.messages;
};

TEST_P(CellEditing, EnterAndEscapeBothKeepTheTypedTextAndRunTheColumnSteps) {
    FormWindow* form = Open();
    Rows(2, 0);
    grid_->SetRowState(1, 1);
    ClickCell(0, 1);
    ASSERT_TRUE(grid_->IsEditing());
    auto* box = qobject_cast<QLineEdit*>(form->ControlByWindowId(61 + 1024));
    EXPECT_EQ(QApplication::focusWidget(), box);
    EXPECT_EQ(box->parentWidget(), grid_->viewport()) << "the editor lives in the grid";
    Type("12");
    Key(Qt::Key_Escape);
    EXPECT_FALSE(grid_->IsEditing());
    EXPECT_TRUE(form->isVisible()) << "Escape in the editor does not close the form";
    EXPECT_EQ(Cell(0, 1), "12");
    EXPECT_EQ(grid_->RowState(0), 3) << "a saved row becomes edited";

    // Enter stores the price, the fill step writes the amount and the total follows; Enter then
    // steps on to the next editable cell.
    ClickCell(0, 2);
    Type("5");
    Key(Qt::Key_Return, "\r");
    EXPECT_EQ(Cell(0, 3), "60");
    EXPECT_EQ(ControlText(form->ControlByWindowId(70 + 1024)), "60");
    ASSERT_TRUE(grid_->IsEditing());
    EXPECT_EQ(grid_->EditColumn(), 4);

    // A new row stays new.
    ClickCell(1, 1);
    Type("3");
    Key(Qt::Key_Return, "\r");
    EXPECT_EQ(grid_->RowState(1), 1);
    EXPECT_TRUE(messages_.isEmpty()) << qPrintable(messages_.join('\n'));
}

TEST_P(CellEditing, AnUnchangedEditChangesNothingAndRunsNoSteps) {
    FormWindow* form = Open();
    Rows(1, 0);
    grid_->SetCellText(0, 1, "4");
    grid_->SetCellText(0, 3, "untouched");
    ClickCell(0, 1);
    Key(Qt::Key_Return, "\r");
    EXPECT_EQ(grid_->RowState(0), 0);
    EXPECT_EQ(Cell(0, 3), "untouched") << "ENDEDIT ran for an unchanged cell";
    EXPECT_TRUE(ControlText(form->ControlByWindowId(70 + 1024)).isEmpty())
        << "totals were refreshed";
}

TEST_P(CellEditing, TabStepsThroughEditableCellsAndLeavesTheGridAtTheEnd) {
    FormWindow* form = Open();
    Rows(2, 0);
    // A date editor shows a date even for an empty cell, so passing through one fills it.
    grid_->SetCellText(0, 4, "2026-01-02");
    grid_->SetCellText(1, 4, "2026-01-03");
    ClickCell(0, 1);
    // Reading order over the columns with editors only: 1, 2, 4, then the next row.
    const QList<QPair<int, int>> expected = {{0, 2}, {0, 4}, {1, 1}, {1, 2}, {1, 4}};
    for (const auto& [row, column] : expected) {
        Key(Qt::Key_Tab, "\t");
        ASSERT_TRUE(grid_->IsEditing()) << row << "," << column;
        EXPECT_EQ(grid_->EditRow(), row);
        EXPECT_EQ(grid_->EditColumn(), column);
    }
    Key(Qt::Key_Backtab, {}, Qt::ShiftModifier);
    EXPECT_EQ(grid_->EditColumn(), 2);
    Key(Qt::Key_Tab, "\t");
    Key(Qt::Key_Tab, "\t");
    EXPECT_FALSE(grid_->IsEditing()) << "Tab after the last editable cell leaves the grid";
    EXPECT_FALSE(grid_->isAncestorOf(QApplication::focusWidget()));
    EXPECT_NE(QApplication::focusWidget(), grid_);
    Q_UNUSED(form);
}

TEST_P(CellEditing, ANumberedGridKeepsOneEmptyRowAhead) {
    Open();
    Rows(2, 0);
    grid_->SetCellText(0, 5, "已有");
    // The last row is still empty: editing row 0 adds nothing.
    ClickCell(0, 1);
    Type("1");
    Key(Qt::Key_Escape);
    EXPECT_EQ(grid_->RowCount(), 2);
    // Filling the last row adds exactly one new numbered row.
    ClickCell(1, 1);
    Type("2");
    Key(Qt::Key_Escape);
    ASSERT_EQ(grid_->RowCount(), 3);
    EXPECT_EQ(Cell(2, 0), "3");
    EXPECT_EQ(grid_->RowState(2), 1);
    ClickCell(1, 2);
    Type("7");
    Key(Qt::Key_Escape);
    EXPECT_EQ(grid_->RowCount(), 3);
}

TEST_P(CellEditing, ADateCalendarInsideTheEditorKeepsTheEditAClickElsewhereEndsIt) {
    FormWindow* form = Open();
    Rows(1, 0);
    grid_->SetCellText(0, 4, "2026-03-15");
    ClickCell(0, 4);
    ASSERT_TRUE(grid_->IsEditing());
    auto* date = qobject_cast<QDateEdit*>(form->ControlByWindowId(62 + 1024));
    ASSERT_TRUE(date);
    EXPECT_EQ(date->date(), QDate(2026, 3, 15));
    // Open the calendar with its arrow, and choose a day in it.
    Click(date, QPoint(date->width() - 6, date->height() / 2));
    QCalendarWidget* calendar = date->calendarWidget();
    ASSERT_TRUE(calendar->isVisible());
    Click(calendar, calendar->rect().center());
    EXPECT_TRUE(grid_->IsEditing()) << "using the calendar ended the edit";
    calendar->window()->hide();
    date->setDate(QDate(2026, 4, 1));
    // A press on another control of the form ends the edit before that control sees it.
    auto* save = qobject_cast<QPushButton*>(form->ControlByWindowId(80 + 1024));
    Click(save, save->rect().center());
    EXPECT_FALSE(grid_->IsEditing());
    EXPECT_EQ(Cell(0, 4), "2026-04-01");
}

TEST_P(CellEditing, AFailingFillStepSaysSoAndKeepsTheNewText) {
    QString definition = QString::fromUtf8(kForm);
    definition.replace("FROM c_user WHERE id_0='admin'\">\n        <para_info><i value='2'",
                       "FROM no_such_table\">\n        <para_info><i value='2'");
    Open(definition);
    Rows(1, 0);
    ClickCell(0, 1);
    Type("9");
    Key(Qt::Key_Return, "\r");
    EXPECT_EQ(Cell(0, 1), "9");
    EXPECT_EQ(grid_->RowState(0), 3);
    EXPECT_EQ(messages_, QStringList{"数据处理不完整，请联系管理员!"});
}

// Column 1 is a material code picked from the candidates offered as the user types; column 2
// the quantity. The button next in the form's focus order after the editors empties the grid.
const char* kPickForm = R"(<html version='1.0' id='0'><head title='销售明细' pos='0,0,700,420'/>
<body><dialog>
  <editbutton id='61' hidden='1' pos='0,0,120,22'
    value="SELECT code_0, name_0 FROM c_material WHERE code_0 LIKE '{{1}}%' ORDER BY code_0"/>
  <textbox id='62' hidden='1' pos='0,0,60,22'/>
  <button id='81' value='清空明细' pos='130,10,200,34'><ACTION><CLICK>
    <select_info_table><para_info_where select='SELECT uid_0 FROM c_material WHERE 1=0'
      contain_head='1' table_id='9'/></select_info_table></CLICK></ACTION></button>
  <table id='9' pos='10,40,690,400'><PARA><col_info>
    <col id='1' title='序号' width='40'/>
    <col id='2' title='物料编码' width='80' hidden_wnd='61'/>
    <col id='3' title='数量' width='60' hidden_wnd='62'/>
  </col_info></PARA></table>
</dialog></body></html>)";

// However the candidate is chosen, the cell takes it and the user goes on typing the quantity:
// the keyboard never leaves the grid, so no key typed next can reach the button.
TEST_P(CellEditing, APickedCandidateMovesTheEditOnToTheNextCell) {
    QStringList materials;
    for (const char* code : {"JG001", "JG002", "JG003"})
        materials.append(
            QStringLiteral("INSERT INTO c_material (code_0, name_0) VALUES ('%1', '角钢')")
                .arg(QLatin1String(code)));
    ASSERT_NO_FATAL_FAILURE(Execute(materials));
    FormWindow* form = Open(QString::fromUtf8(kPickForm));
    Rows(4, 0);
    auto* box = qobject_cast<EditWithButton*>(form->ControlByWindowId(61 + 1024));
    auto* quantity = form->ControlByWindowId(62 + 1024);
    ASSERT_TRUE(box && quantity);
    QStringList focusedButtons;
    const QObject watching;
    QObject::connect(qApp, &QApplication::focusChanged, &watching, [&](QWidget*, QWidget* now) {
        if (auto* button = qobject_cast<QPushButton*>(now))
            focusedButtons.append(button->text());
    });
    // Keys and clicks arrive through the event loop, one by one, as the user's do.
    const auto settle = [] {
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
    };
    const auto doubleClickRow = [box](int row) {
        QTreeWidget* list = box->PickList()->List();
        const QPoint pos = list->visualItemRect(list->topLevelItem(row)).center();
        for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                        QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
            const bool down = type != QEvent::MouseButtonRelease;
            QMouseEvent event(type, pos, list->viewport()->mapToGlobal(pos), Qt::LeftButton,
                              down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(list->viewport(), &event);
        }
    };
    struct Case {
        const char* how;
        std::function<void()> choose;
        QString code;
    };
    const std::vector<Case> cases{
        {"Down Down Enter",
         [&] {
             for (const int key : {Qt::Key_Down, Qt::Key_Down}) {
                 Key(key);
                 settle();
             }
             Key(Qt::Key_Return, "\r");
         },
         "JG002"},
        {"Enter", [&] { Key(Qt::Key_Return, "\r"); }, "JG001"},
        {"double click", [&] { doubleClickRow(2); }, "JG003"},
    };
    for (int row = 0; row < int(cases.size()); ++row) {
        const Case& pick = cases[size_t(row)];
        SCOPED_TRACE(pick.how);
        ClickCell(row, 1);
        QEventLoop loop;
        QObject::connect(box, &EditWithButton::pickListUpdated, &loop, &QEventLoop::quit);
        QTimer::singleShot(15000, &loop, &QEventLoop::quit);
        Type("JG");
        loop.exec();
        settle();
        ASSERT_TRUE(box->PickList()->isVisible());
        EXPECT_EQ(QApplication::focusWidget(), box) << "the list took the keyboard";
        pick.choose();
        settle();
        // The window manager gives the keyboard back to the form when a window that held it
        // goes.
        form->activateWindow();
        settle();
        EXPECT_EQ(Cell(row, 1), pick.code);
        EXPECT_FALSE(box->PickList()->isVisible());
        ASSERT_EQ(QApplication::focusWidget(), quantity);
        EXPECT_EQ(grid_->EditRow(), row);
        EXPECT_EQ(grid_->EditColumn(), 2);
        Type("5");
        Key(Qt::Key_Space, " ");
        Key(Qt::Key_Return, "\r");
        EXPECT_EQ(Cell(row, 2), "5 ");
    }
    EXPECT_EQ(grid_->RowCount(), 4) << "the lines were emptied";
    EXPECT_EQ(focusedButtons, QStringList());
}

// Another window of the client taking the keyboard (a message box an action shows) ends the
// edit; when the form gets the keyboard back it goes to the grid, not to the control after the
// hidden editor.
TEST_P(CellEditing, TheKeyboardComesBackToTheGridNotToTheNextControl) {
    FormWindow* form = Open(QString::fromUtf8(kPickForm));
    Rows(1, 0);
    ClickCell(0, 2);
    ASSERT_TRUE(grid_->IsEditing());
    Type("7");
    QWidget other;
    other.setWindowTitle(QStringLiteral("提示"));
    auto* answer = new QPushButton(QStringLiteral("确定"), &other);
    other.show();
    other.activateWindow();
    answer->setFocus();
    QApplication::processEvents();
    EXPECT_FALSE(grid_->IsEditing());
    EXPECT_EQ(Cell(0, 2), "7");
    other.hide();
    form->activateWindow();
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), grid_);
}

// Contract 1's saved lines, then contract 2's lines as new lines of a copy, then the empty
// numbered entry row: all loaded, nothing of the user's yet.
const char* kLinesForm = R"(<html version='1.0' id='0'><head title='销售合同' pos='0,0,700,420'>
  <ACTION><INIT><sendmessage target_ids='53' values='CLICK'/></INIT></ACTION></head>
<body><dialog>
  <textbox id='1' value='1' hidden='1' pos='0,0,10,10'/>
  <textbox id='61' hidden='1' pos='0,0,60,22'/>
  <button id='35' value='插行' pos='10,10,60,34'><ACTION><CLICK>
    <addrow><para_info table_id='9' rownum='1' which_row='0'/></addrow></CLICK></ACTION></button>
  <button id='37' value='删除行' pos='70,10,120,34'><ACTION><CLICK>
    <delrow><para_info table_id='9' rownum='1'/></delrow></CLICK></ACTION></button>
  <button id='51' value='保存' pos='130,10,180,34'><ACTION><CLICK>
    <insert_detail><p table_id='9'
      delete_sql='DELETE FROM t_line WHERE uid_0 IN ({{deleted_uid_0}})'/></insert_detail>
    <query_to_table><para_info to_table_id='9' select="SELECT '', '', ''">
      <para_out><c value='0'/><c value='1'/><c value='2'/></para_out></para_info></query_to_table>
  </CLICK></ACTION></button>
  <button id='52' value='关闭' pos='190,10,240,34'><ACTION><CLICK><close/></CLICK></ACTION></button>
  <button id='53' value='刷新' pos='250,10,300,34'><ACTION><CLICK>
    <select_info_table><para_info_where select='SELECT uid_0, line_0, item_0, qty_0 FROM t_line'
      where=' WHERE head_uid_0 = 1' order=' ORDER BY line_0' contain_head='1'
      table_id='9'/></select_info_table>
    <query_to_table><para_info to_table_id='9'
        select="SELECT '', item_0, qty_0 FROM t_line WHERE head_uid_0 = 2">
      <para_out><c value='0'/><c value='1'/><c value='2'/></para_out></para_info></query_to_table>
    <query_to_table><para_info to_table_id='9' select="SELECT '', '', ''">
      <para_out><c value='0'/><c value='1'/><c value='2'/></para_out></para_info></query_to_table>
  </CLICK></ACTION></button>
  <table id='9' pos='10,40,690,400'><PARA>
    <table_info><para_info insert_sql='t_line' parent_field='head_uid_0' parent_field_ID='1'
      auto_index_field='line_0' update_sql='SELECT * FROM t_line WHERE uid_0={{id?uid}}'/>
    </table_info>
    <col_info>
      <col id='1' title='序号' width='40'/>
      <col id='2' title='物料' width='80' hidden_wnd='61'/>
      <col id='3' title='数量' width='60' hidden_wnd='61'/>
      <col col_id='1' title='物料' field_name='item_0' empty='1'/>
      <col col_id='2' title='数量' field_name='qty_0'/>
    </col_info></PARA></table>
</dialog></body></html>)";

// Closing the form by its close box asks before it throws away lines the user added, changed
// or deleted; lines as a query put them in, or as a save left them, go without a word, and so
// does a close the form's own action asks for. No keeps the form open with its lines.
TEST_P(CellEditing, ClosingAsksOnlyAboutTheUsersUnsavedLines) {
    const QString serial = AutoKeyType(GetParam());
    ASSERT_NO_FATAL_FAILURE(Execute(
        {QStringLiteral("CREATE TABLE t_line (uid_0 %1, head_uid_0 INTEGER NOT NULL DEFAULT 0, "
                        "line_0 INTEGER NOT NULL DEFAULT 0, item_0 TEXT NOT NULL DEFAULT '', "
                        "qty_0 TEXT NOT NULL DEFAULT '')")
             .arg(serial),
         QStringLiteral("INSERT INTO t_line (head_uid_0, line_0, item_0, qty_0) VALUES "
                        "(1, 1, 'JG001', '10'), (1, 2, 'JG002', '20'), (2, 1, 'JG003', '5')")}));
    FormWindow* form = nullptr;
    const auto press = [&](int id) {
        QWidget* button = form->ControlByWindowId(id + 1024);
        Click(button, button->rect().center());
    };
    const auto lines = [this] {
        QStringList rows;
        for (int row = 0; row < grid_->RowCount(); ++row)
            rows.append(grid_->Model()->RowCells(row).join('|'));
        return rows;
    };
    const auto closeAnswering = [&](MessageAnswer answer) {
        messages_.clear();
        session_.answers = {answer};
        form->close();
    };
    const auto type = [this](int row, int column, const QString& text) {
        ClickCell(row, column);
        Type(text);
        Key(Qt::Key_Return, "\r");
    };
    struct Case {
        const char* what;
        std::function<void()> steps;
        bool asks;
    };
    const std::vector<Case> cases{
        {"loaded lines only", [] {}, false},
        {"a saved line changed", [&] { type(0, 2, "11"); }, true},
        {"a copied line changed", [&] { type(2, 2, "6"); }, true},
        {"the entry row typed into", [&] { type(3, 1, "JG009"); }, true},
        {"a saved line deleted",
         [&] {
             grid_->SelectRow(0, true);
             press(37);
         },
         true},
        {"a copied line deleted",
         [&] {
             grid_->SelectRow(2, true);
             press(37);
         },
         false},
        {"a line inserted",
         [&] {
             grid_->SelectRow(1, true);
             press(35);
         },
         true},
        {"changed and saved",
         [&] {
             type(0, 2, "12");
             grid_->SelectRow(1, true);
             press(37);
             press(51);
         },
         false},
        {"changed and reloaded",
         [&] {
             type(0, 2, "13");
             press(53);
         },
         false},
        {"changed, closed by the form's own button",
         [&] {
             type(0, 2, "14");
             press(52);
         },
         false},
    };
    const QString question = QStringLiteral("明细已修改，是否放弃修改？");
    int menu = 200;
    // Each case on a form of its own, from the lines as saved.
    const auto open = [&] {
        form = FormWindow::OpenForm(QString::fromUtf8(kLinesForm), QString(), QString(),
                                    QString::number(menu++), "销售合同", "");
        form->activateWindow();
        QApplication::processEvents();
        grid_ = qobject_cast<GridView*>(form->ControlByWindowId(9 + 1024));
    };
    for (const Case& step : cases) {
        SCOPED_TRACE(step.what);
        open();
        ASSERT_EQ(grid_->RowCount(), 4) << qPrintable(messages_.join('\n'));
        messages_.clear();
        step.steps();
        EXPECT_TRUE(messages_.isEmpty()) << qPrintable(messages_.join('\n'));
        const QStringList before = lines();
        if (form->isVisible()) {
            closeAnswering(MessageAnswer::No);
            EXPECT_EQ(messages_, step.asks ? QStringList{question} : QStringList());
        }
        if (step.asks) {
            ASSERT_TRUE(form->isVisible()) << "No closed the form";
            EXPECT_EQ(lines(), before);
            closeAnswering(MessageAnswer::Yes);
            EXPECT_EQ(messages_, QStringList{question});
        }
        EXPECT_FALSE(form->isVisible());
    }

    // A text still in its cell editor counts: the close takes it into the cell first.
    open();
    ClickCell(1, 2);
    Type("3");
    closeAnswering(MessageAnswer::No);
    EXPECT_EQ(messages_, QStringList{question});
    EXPECT_FALSE(grid_->IsEditing());
    EXPECT_EQ(Cell(1, 2), "3");
}

INSTANTIATE_TEST_SUITE_P(Engines, CellEditing, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return std::string(EngineName(info.param)); });

} // namespace
