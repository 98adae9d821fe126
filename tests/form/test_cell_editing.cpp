// Cells edited the way a user edits them: a click opens the column's editor over the cell, keys
// arrive at the editor, and leaving it (Enter, Escape, Tab, a click elsewhere) ends the edit,
// on a form over a real account set.
#include "app/Login.h"
#include "app/MainApp.h"
#include "commands/CommandTable.h"
#include "data/DbSession.h"
#include "form/D_T1.h"
#include "form/ZvControls.h"
#include "platform/AppMessage.h"
#include "support/FormTestSession.h"
#include "support/TestAccountSet.h"
#include "widgets/CListCtrlEx.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

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

    D_T1* Open(const QString& definition = QString::fromUtf8(kForm)) {
        D_T1* form = D_T1::OpenForm(definition, QString(), QString(), "9", "入库明细", "");
        form->activateWindow();
        QApplication::processEvents();
        grid_ = qobject_cast<CListCtrlEx*>(form->ControlByWindowId(9 + 1024));
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

    FormTestSession session_;
    CListCtrlEx* grid_ = nullptr;
    QStringList& messages_ = session_.messages;
};

TEST_P(CellEditing, EnterAndEscapeBothKeepTheTypedTextAndRunTheColumnSteps) {
    D_T1* form = Open();
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
    D_T1* form = Open();
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
    D_T1* form = Open();
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
    D_T1* form = Open();
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

INSTANTIATE_TEST_SUITE_P(Engines, CellEditing, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return std::string(EngineName(info.param)); });

} // namespace
