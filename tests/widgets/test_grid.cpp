// The grid: columns built from a table definition, row records, colours, read-only flags,
// sorting, remembered widths, bulk filling, mouse and clipboard behaviour.
#include "app/Application.h"
#include "data/CfgFile.h"
#include "form/GridBuilder.h"
#include "form/XmlDocument.h"
#include "platform/AppMessage.h"
#include "support/SessionFacts.h"
#include "widgets/GridHeader.h"
#include "widgets/GridView.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <memory>

namespace {

// A table with every column attribute: a save-only col_id node and an id-less node that make
// no column, a hidden column, a fixed column, a negative width and a malformed colour.
const char* const kTableXml = R"(
<table id="3" pos="0,0,400,300">
  <PARA>
    <table_info><info is_col_color="1"/></table_info>
    <col_info>
      <col id="1" title="名称" format="0" width="120" sort="1" color_bg="255,255,0" color_text="0,0,255"/>
      <col col_id="2" id="9" title="外键"/>
      <col id="2" title="数量" format="1" width="80" sort="2" hidden_wnd="15" sum="16"/>
      <col title="无编号" width="50"/>
      <col id="3" title="内部" width="0" sort="1"/>
      <col id="4" title="日期" format="2" width="90" type="-1" sort="3"/>
      <col id="5" title="备注" width="-5" sort="9" color_text="1,2"/>
    </col_info>
  </PARA>
</table>)";

FormXml::XmlNode Parse(FormXml::XmlDocument& doc, const QString& xml) {
    EXPECT_TRUE(doc.LoadXml(xml));
    return doc.GetRoot();
}

void Click(QWidget* target, QPoint pos, Qt::MouseButton button = Qt::LeftButton,
           Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const QPointF local(pos);
    const QPointF global(target->mapToGlobal(pos));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, button, button, modifiers);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, button, Qt::NoButton, modifiers);
    QApplication::sendEvent(target, &release);
}

void Move(QWidget* target, QPoint pos) {
    QMouseEvent move(QEvent::MouseMove, QPointF(pos), QPointF(target->mapToGlobal(pos)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
}

QPoint CellCentre(const GridView& grid, int row, int column) {
    return grid.visualRect(grid.Model()->index(row, column)).center();
}

void ClickHeader(GridView& grid, int column) {
    QHeaderView* header = grid.horizontalHeader();
    Click(header->viewport(),
          QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                 header->height() / 2));
}

QStringList Column(const GridView& grid, int column) {
    QStringList texts;
    for (int row = 0; row < grid.RowCount(); ++row)
        texts << grid.CellText(row, column);
    return texts;
}

QStringList Keys(const GridView& grid) {
    QStringList keys;
    for (int row = 0; row < grid.RowCount(); ++row)
        keys << grid.RowKey(row);
    return keys;
}

// The arguments of every emission of a signal, in order.
template <typename Object, typename... Args>
std::shared_ptr<QList<QVariantList>> Record(Object* sender, void (Object::*signal)(Args...)) {
    auto calls = std::make_shared<QList<QVariantList>>();
    QObject::connect(sender, signal, [calls](Args... args) {
        calls->append(QVariantList{QVariant::fromValue(args)...});
    });
    return calls;
}

class Grid : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        Application& app = Application::Instance();
        savedFolder_ = app.session.exeFolder;
        savedUser_ = app.session.userUid;
        ChangeStartUp(app.session, [&](SessionContext::StartUp& facts) {
            facts.exeFolder = dir_.path() + QLatin1Char('/');
        });
        ChangeUser(app.session,
                   [&](SessionContext::User& user) { user.userUid = QStringLiteral("7"); });
        savedSink_ = SetMessageSink([this](const AppMessageRequest& request) {
            messages_ << request.text;
            return MessageAnswer::Ok;
        });
    }
    void TearDown() override {
        SetMessageSink(savedSink_);
        ChangeStartUp(Application::Instance().session,
                      [&](SessionContext::StartUp& facts) { facts.exeFolder = savedFolder_; });
        ChangeUser(Application::Instance().session,
                   [&](SessionContext::User& user) { user.userUid = savedUser_; });
    }

    std::unique_ptr<GridView> Build(const QString& xml, int menuUid = 12) {
        auto grid = std::make_unique<GridView>();
        FormXml::XmlDocument doc;
        const FormXml::XmlNode table = Parse(doc, xml);
        const Application& app = Application::Instance();
        SetUpGrid(*grid, table,
                  {app.CfgPath(), menuUid, table.GetAttributeInt("id", 0), app.session.userUid});
        return grid;
    }

    // A shown, focused grid of `rows` rows over three plain columns, ready for mouse and keys.
    std::unique_ptr<GridView> Shown(int rows) {
        auto grid = std::make_unique<GridView>();
        for (int column = 0; column < 3; ++column)
            grid->InsertColumn(column, QStringLiteral("C%1").arg(column), 0, 80);
        for (int row = 0; row < rows; ++row)
            grid->AppendRow({QStringLiteral("r%1a").arg(row), QStringLiteral("r%1b").arg(row),
                             QStringLiteral("r%1c").arg(row)});
        grid->resize(300, 200);
        grid->show();
        grid->activateWindow();
        QApplication::setActiveWindow(grid.get());
        grid->setFocus();
        QApplication::processEvents();
        return grid;
    }

    QString Cfg(const QString& key) const {
        return ReadCfg(Application::Instance().CfgPath(), QStringLiteral("TABLECOLS"), key);
    }

    QTemporaryDir dir_;
    QStringList messages_;

private:
    QString savedFolder_;
    QString savedUser_;
    MessageSink savedSink_;
};

TEST_F(Grid, ColumnsAreBuiltFromTheDefinition) {
    auto grid = Build(kTableXml);
    ASSERT_EQ(grid->ColumnCount(), 5);
    GridModel* model = grid->Model();

    struct Expected {
        QString title;
        Qt::Alignment alignment;
        int width;
        int sortFlags;
        int sortKind;
        int background;
        int text;
    };
    const int defaultWidth = grid->horizontalHeader()->defaultSectionSize();
    const Expected expected[] = {
        {"名称", Qt::AlignLeft, 120, kSortable, kSortText, 0x00FFFF, 0xFF0000},
        {"数量", Qt::AlignRight, 80, kSortable, kSortNumber, 0xFFFFFF, 0},
        {"内部", Qt::AlignLeft, 0, kSortable, kSortText, 0xFFFFFF, 0},
        {"日期", Qt::AlignHCenter, 90, kSortable, kSortDate, 0xFFFFFF, 0},
        {"备注", Qt::AlignLeft, defaultWidth, 0, 0, 0xFFFFFF, 0x0000FF},
    };
    for (int column = 0; column < 5; ++column) {
        SCOPED_TRACE(column);
        const Expected& e = expected[column];
        const ColumnInfo* info = model->Column(column);
        EXPECT_EQ(model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(), e.title);
        EXPECT_EQ(info->alignment, e.alignment);
        EXPECT_EQ(grid->ColumnWidth(column), e.width);
        EXPECT_EQ(info->sortFlags, e.sortFlags);
        EXPECT_EQ(info->sortKind, e.sortKind);
        EXPECT_EQ(info->background, e.background);
        EXPECT_EQ(info->text, e.text);
    }
    EXPECT_EQ(grid->HiddenColumns(), ",3,");
    EXPECT_EQ(grid->FixedColumns(), ",3,4,");
    EXPECT_TRUE(grid->IsFixedColumn(3));
    EXPECT_FALSE(grid->IsFixedColumn(1));
    EXPECT_EQ(grid->horizontalHeader()->sectionResizeMode(2), QHeaderView::Fixed);
    EXPECT_EQ(grid->horizontalHeader()->sectionResizeMode(3), QHeaderView::Fixed);
    EXPECT_EQ(grid->ColumnEditorControlId(1), 15);
    EXPECT_EQ(grid->ColumnSumControlId(1), 16);
    EXPECT_EQ(grid->ColumnEditorControlId(0), 0);
    EXPECT_EQ(messages_, QStringList{QStringLiteral("RGB颜色格式错误(x,y,z)")});

    // With is_col_color="1" new rows carry no colour, so the column colours show.
    grid->InsertRow(0, QStringLiteral("x"));
    grid->InsertRow(1, QStringLiteral("y"));
    EXPECT_EQ(model->data(model->index(1, 0), Qt::BackgroundRole).value<QColor>(),
              QColor(255, 255, 0));
    EXPECT_EQ(model->data(model->index(1, 0), Qt::ForegroundRole).value<QColor>(),
              QColor(0, 0, 255));
}

TEST_F(Grid, RowsAlternateUnlessColumnColoursAreAskedFor) {
    const QString plain = QStringLiteral(R"(<table id="1"><PARA><col_info>
        <col id="1" title="a" width="50" color_bg="255,0,0"/></col_info></PARA></table>)");
    auto grid = Build(plain);
    for (int row = 0; row < 6; ++row)
        grid->InsertRow(row, QString::number(row));
    for (int row = 0; row < 6; ++row)
        EXPECT_EQ(grid->Model()->ResolveColors(row, 0),
                  std::make_pair(row % 2 ? 0xFCFCFC : 0xFFFFFF, 0))
            << row;

    auto noTable = Build(QStringLiteral("<table id='2'/>"));
    EXPECT_EQ(noTable->ColumnCount(), 0);
    EXPECT_TRUE(noTable->Model()->AlternateRowColors());
    EXPECT_FALSE(noTable->StartsHidden());
    EXPECT_TRUE(Build(QStringLiteral("<table id='2'><PARA><table_info><i hidden='1'/>"
                                     "</table_info></PARA></table>"))
                    ->StartsHidden());
}

TEST_F(Grid, CellColoursComeFromTheMostSpecificLevelThatHasAny) {
    GridView grid;
    grid.Model()->SetAlternateRowColors(false);
    grid.Model()->SetDefaultColors(0xEEEEEE, 0x111111);
    grid.InsertColumn(0, "a", 0, 50);
    grid.InsertColumn(1, "b", 0, 50);
    for (int row = 0; row < 5; ++row)
        grid.InsertRow(row, "");
    grid.SetColumnColors(0, 0x0000AA, -1);
    grid.SetColumnColors(1, 0x0000AA, 0x0000BB);
    grid.SetRowColors(2, 0x00CC00, -1);
    grid.SetRowColors(3, 0x00CC00, 0x00DD00);
    grid.SetCellColors(3, 1, -1, 0xFF0000);
    grid.SetCellColors(4, 0, 0x123456, 0x654321);
    grid.SetCellColors(4, 1, -1, -1);

    struct Case {
        int row, column, background, text;
    };
    const Case cases[] = {
        {0, 0, 0x0000AA, 0x111111}, // column only; its unset text colour is the default
        {0, 1, 0x0000AA, 0x0000BB},
        {2, 1, 0x00CC00, 0x111111}, // the row wins as a pair over the column
        {3, 0, 0x00CC00, 0x00DD00},
        {3, 1, 0xEEEEEE, 0xFF0000}, // a text-only cell shows on the default background
        {4, 0, 0x123456, 0x654321},
        {4, 1, 0x0000AA, 0x0000BB}, // a cell record without colours falls through
    };
    for (const Case& c : cases) {
        EXPECT_EQ(grid.Model()->ResolveColors(c.row, c.column),
                  std::make_pair(c.background, c.text))
            << c.row << "," << c.column;
    }
    EXPECT_EQ(grid.Model()->data(grid.Model()->index(3, 1), Qt::BackgroundRole).value<QColor>(),
              QColor(0xEE, 0xEE, 0xEE));
    EXPECT_EQ(grid.Model()->data(grid.Model()->index(3, 1), Qt::ForegroundRole).value<QColor>(),
              QColor(0, 0, 0xFF));
    EXPECT_FALSE(grid.SetCellColors(5, 0, 1, 1));
    EXPECT_FALSE(grid.SetRowColors(-1, 1, 1));
}

TEST_F(Grid, ReadOnlyFlagsLockAtAnyLevel) {
    GridView grid;
    for (int column = 0; column < 3; ++column)
        grid.InsertColumn(column, "", 0, 40);
    for (int row = 0; row < 3; ++row)
        grid.InsertRow(row, "");
    EXPECT_TRUE(grid.SetColumnReadOnly(0, true));
    EXPECT_TRUE(grid.SetRowReadOnly(1, true));
    EXPECT_TRUE(grid.SetCellReadOnly(2, 2, true));
    EXPECT_FALSE(grid.SetColumnReadOnly(3, true));

    const bool expected[3][3] = {{true, false, false}, {true, true, true}, {true, false, true}};
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            EXPECT_EQ(grid.IsCellReadOnly(row, column), expected[row][column])
                << row << "," << column;

    grid.SetRowReadOnly(1, false);
    EXPECT_FALSE(grid.IsCellReadOnly(1, 1));
}

TEST_F(Grid, RowOperationsKeepKeysAndStatesWithTheirRows) {
    GridView grid;
    grid.InsertColumn(0, "a", 0, 50);
    grid.InsertColumn(1, "b", 0, 50);
    EXPECT_EQ(grid.InsertRow(0, "A"), 0);
    EXPECT_EQ(grid.InsertRow(1, "C"), 1);
    EXPECT_EQ(grid.InsertRow(1, "B"), 1); // between the two
    EXPECT_EQ(grid.InsertRow(-1, "X"), -1);
    EXPECT_EQ(grid.RowKey(1), ""); // a new row: key "" and state 0
    EXPECT_EQ(grid.RowState(1), 0);
    EXPECT_TRUE(grid.SetRowData(0, nullptr, "10", 0));
    EXPECT_TRUE(grid.SetRowData(1, nullptr, "0", 1));
    EXPECT_TRUE(grid.SetRowData(2, nullptr, "30", 3));
    EXPECT_FALSE(grid.SetRowData(3, nullptr, "40", 1));
    grid.SetCellText(1, 1, "b1");

    EXPECT_TRUE(grid.DeleteRow(0));
    EXPECT_FALSE(grid.DeleteRow(5));
    EXPECT_EQ(Column(grid, 0), QStringList({"B", "C"}));
    EXPECT_EQ(Keys(grid), QStringList({"0", "30"}));
    EXPECT_EQ(grid.RowState(0), 1);
    EXPECT_EQ(grid.RowState(1), 3);
    EXPECT_EQ(grid.CellText(0, 1), "b1");
    EXPECT_EQ(grid.CellText(0, 2), ""); // out of range
    EXPECT_EQ(grid.RowKey(9), "");

    grid.RowData(1)->state = 2; // writable in place
    EXPECT_EQ(grid.RowState(1), 2);

    grid.DeleteAllRows();
    EXPECT_EQ(grid.RowCount(), 0);
    EXPECT_EQ(grid.ColumnCount(), 2);
    EXPECT_TRUE(grid.DeleteAllRowsAndColumns());
    EXPECT_EQ(grid.ColumnCount(), 0);
}

TEST_F(Grid, SortingByEachKindMovesWholeRows) {
    struct Case {
        const char* name;
        int kind;
        QStringList cells;
        QStringList ascending;
    };
    const Case cases[] = {
        {"text ignores case", kSortText, {"b", "A", "c", "a2"}, {"A", "a2", "b", "c"}},
        {"numbers drop commas",
         kSortNumber,
         {"1,200", "300", "x", "1,200.5", "-2"},
         {"-2", "x", "300", "1,200", "1,200.5"}},
        {"dates; unparsable is the zero date",
         kSortDate,
         {"2023-05-01", "2021-12-31 08:00:00", "bad", "2021-12-31", "1899-12-29"},
         {"1899-12-29", "bad", "2021-12-31", "2021-12-31 08:00:00", "2023-05-01"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GridView grid;
        grid.InsertColumn(0, "v", 0, 50);
        grid.InsertColumn(1, "k", 0, 50);
        for (int row = 0; row < c.cells.size(); ++row) {
            grid.AppendRow({c.cells[row], QString::number(row)}, "K" + c.cells[row], row);
            grid.SetCellColors(row, 1, 0x10 + row, -1);
        }
        grid.SetColumnSort(0, kSortable, c.kind);

        grid.SortByColumn(0, true);
        EXPECT_TRUE(grid.SortAscending());
        EXPECT_EQ(Column(grid, 0), c.ascending);
        for (int row = 0; row < grid.RowCount(); ++row) {
            const int from = grid.CellText(row, 1).toInt();
            EXPECT_EQ(grid.RowKey(row), "K" + c.cells[from]);
            EXPECT_EQ(grid.RowState(row), from);
            EXPECT_EQ(grid.Model()->ResolveColors(row, 1).first, 0x10 + from);
        }

        grid.SortByColumn(0, true);
        EXPECT_FALSE(grid.SortAscending());
        QStringList descending = c.ascending;
        std::reverse(descending.begin(), descending.end());
        EXPECT_EQ(Column(grid, 0), descending);

        grid.SortByColumn(0, false); // no toggle: same direction again
        EXPECT_FALSE(grid.SortAscending());
    }
    // The number comparison never answers "equal".
    EXPECT_EQ(GridModel::CompareCells("1,200", "1,200", kSortNumber), 1);
    EXPECT_EQ(GridModel::CompareCells("300", "1,200", kSortNumber), -1);
    EXPECT_EQ(GridModel::CompareCells("2021-12-31", "2021-12-31", kSortDate), 0);
    EXPECT_EQ(GridModel::CompareCells("bad", "bad", kSortDate), 1);
}

TEST_F(Grid, HeaderClicksSortSortableColumnsOnly) {
    auto grid = Build(kTableXml);
    const QStringList dates{"2024-01-02", "2023-01-01"};
    for (const char* text : {"b", "C", "a"})
        grid->AppendRow({text, "1", "", dates.value(grid->RowCount()), ""}, QString("k") + text);
    grid->resize(600, 300);
    grid->show();
    QApplication::processEvents();
    QHeaderView* header = grid->horizontalHeader();

    ClickHeader(*grid, 4); // sort="9": not sortable
    EXPECT_EQ(grid->SortColumn(), -1);
    EXPECT_EQ(header->sortIndicatorSection(), -1);
    EXPECT_EQ(Column(*grid, 0), QStringList({"b", "C", "a"}));

    ClickHeader(*grid, 3); // fixed (type -1): the click is swallowed
    EXPECT_EQ(grid->SortColumn(), -1);
    EXPECT_EQ(header->sortIndicatorSection(), -1);

    ClickHeader(*grid, 0);
    EXPECT_EQ(Column(*grid, 0), QStringList({"a", "b", "C"}));
    EXPECT_EQ(Keys(*grid), QStringList({"ka", "kb", "kC"}));
    EXPECT_EQ(header->sortIndicatorSection(), 0);
    EXPECT_TRUE(grid->SortAscending());
    ClickHeader(*grid, 0);
    EXPECT_EQ(Column(*grid, 0), QStringList({"C", "b", "a"}));
    EXPECT_FALSE(grid->SortAscending());

    ClickHeader(*grid, 4); // the arrow stays where it was
    EXPECT_EQ(header->sortIndicatorSection(), 0);
    EXPECT_FALSE(grid->SortAscending());
}

TEST_F(Grid, ColumnWidthsAreRememberedPerUser) {
    auto first = Build(kTableXml);
    first->SetColumnWidth(1, 133);
    EXPECT_EQ(Cfg("T12_3_2_7"), "133");
    first->SetColumnWidth(3, 200); // fixed: never written
    first->SetColumnWidth(2, 10);  // hidden: never written
    EXPECT_EQ(Cfg("T12_3_4_7"), "");
    EXPECT_EQ(Cfg("T12_3_3_7"), "");
    first->SetColumnWidth(4, 70); // a negative width is written too, but never read back
    EXPECT_EQ(Cfg("T12_3_5_7"), "70");

    auto same = Build(kTableXml);
    EXPECT_EQ(same->ColumnWidth(1), 133);
    EXPECT_EQ(same->ColumnWidth(4), same->horizontalHeader()->defaultSectionSize());

    ChangeUser(Application::Instance().session,
               [&](SessionContext::User& user) { user.userUid = "8"; });
    auto other = Build(kTableXml);
    EXPECT_EQ(other->ColumnWidth(1), 80);

    // A remembered 0 replaces the defined width.
    ChangeUser(Application::Instance().session,
               [&](SessionContext::User& user) { user.userUid = "7"; });
    WriteCfg(Application::Instance().CfgPath(), "TABLECOLS", "T12_3_1_7", "0");
    EXPECT_EQ(Build(kTableXml)->ColumnWidth(0), 0);
}

TEST_F(Grid, NoWidthIsWrittenWithoutAMenu) {
    auto grid = Build(kTableXml, 0);
    grid->SetColumnWidth(1, 140);
    EXPECT_FALSE(QFile::exists(Application::Instance().CfgPath()));
}

TEST_F(Grid, RestoringCollapsedColumnsSkipsHiddenAndFixedOnes) {
    auto grid = Build(kTableXml, 0);
    grid->SetColumnWidth(1, 0);
    grid->RestoreCollapsedColumns();
    EXPECT_EQ(grid->ColumnWidth(1), GridView::kRestoredColumnWidth);
    EXPECT_EQ(grid->ColumnWidth(2), 0);
    EXPECT_EQ(grid->ColumnWidth(0), 120);
}

TEST_F(Grid, BulkFillOfAHundredThousandRows) {
    GridView grid;
    for (int column = 0; column < 10; ++column)
        grid.InsertColumn(column, QString::number(column), 0, 60);
    grid.resize(600, 400);
    grid.show();
    int resets = 0;
    int inserts = 0;
    QObject::connect(grid.Model(), &QAbstractItemModel::modelReset, [&] { ++resets; });
    QObject::connect(grid.Model(), &QAbstractItemModel::rowsInserted, [&] { ++inserts; });

    constexpr int kRows = 100000;
    QStringList values;
    QStringList keys;
    values.reserve(kRows * 10);
    for (int row = 0; row < kRows; ++row) {
        keys << QString::number(row + 1);
        for (int column = 0; column < 10; ++column)
            values << QString::number(row * 10 + column);
    }
    grid.AppendRows(values, 10, keys);
    QApplication::processEvents();

    EXPECT_EQ(grid.RowCount(), kRows);
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(inserts, 0);
    EXPECT_EQ(grid.CellText(kRows - 1, 9), QString::number(kRows * 10 - 1));
    EXPECT_EQ(grid.RowKey(kRows - 1), QString::number(kRows));
    EXPECT_EQ(grid.Model()->ResolveColors(kRows - 1, 0).first, 0xFCFCFC);

    grid.BeginFill();
    for (int row = 0; row < 10; ++row)
        grid.AppendRow({"x"});
    grid.EndFill();
    EXPECT_EQ(grid.RowCount(), kRows + 10);
    EXPECT_EQ(resets, 2);

    grid.SelectRow(-1, true);
    EXPECT_EQ(grid.SelectedRows().size(), kRows + 10);
}

TEST_F(Grid, CtrlCCopiesTheCellUnderThePointer) {
    auto grid = Shown(4);
    ASSERT_TRUE(grid->hasFocus());
    QApplication::clipboard()->setText("before");
    QCursor::setPos(grid->viewport()->mapToGlobal(CellCentre(*grid, 2, 1)));
    QKeyEvent press(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier, "c");
    QApplication::sendEvent(grid.get(), &press);
    EXPECT_EQ(QApplication::clipboard()->text(), "r2b");

    // Past the last column nothing is copied.
    QCursor::setPos(grid->viewport()->mapToGlobal(QPoint(280, CellCentre(*grid, 1, 0).y())));
    QApplication::clipboard()->setText("kept");
    QApplication::sendEvent(grid.get(), &press);
    EXPECT_EQ(QApplication::clipboard()->text(), "kept");
}

TEST_F(Grid, ClicksReachTheFormUnlessAnEditorTakesThem) {
    auto grid = Shown(3);
    auto clicks = Record(grid.get(), &GridView::clicked);
    auto doubles = Record(grid.get(), &GridView::doubleClicked);
    auto rights = Record(grid.get(), &GridView::rightClicked);
    auto focused = Record(grid.get(), &GridView::rowFocusedAndSelected);
    QWidget* viewport = grid->viewport();

    Click(viewport, CellCentre(*grid, 1, 0));
    ASSERT_EQ(clicks->size(), 1);
    EXPECT_EQ((*clicks)[0], QVariantList({1, 0}));
    EXPECT_EQ(focused->size(), 1);
    EXPECT_EQ((*focused)[0][0].toInt(), 1);
    Click(viewport, CellCentre(*grid, 1, 0)); // same row again: no new selection change
    EXPECT_EQ(focused->size(), 1);

    Click(viewport, CellCentre(*grid, 2, 2), Qt::RightButton);
    ASSERT_EQ(rights->size(), 1);
    EXPECT_EQ((*rights)[0], QVariantList({2, 2}));

    int opened = 0;
    auto* editor = new QLineEdit(grid.get());
    editor->hide();
    grid->SetColumnEditor(
        1, [&](QWidget*, int, int, QString&, void*, GridView*, int) { return ++opened, 1; }, {},
        editor);
    clicks->clear();
    Click(viewport, CellCentre(*grid, 0, 1));
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(clicks->size(), 0);
    EXPECT_TRUE(grid->IsEditing());

    // A read-only cell opens no editor, so the form gets the click; Ctrl skips the editor.
    grid->SetRowReadOnly(2, true);
    Click(viewport, CellCentre(*grid, 2, 1));
    Click(viewport, CellCentre(*grid, 1, 1), Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(clicks->size(), 2);

    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(CellCentre(*grid, 0, 0)),
                    QPointF(viewport->mapToGlobal(CellCentre(*grid, 0, 0))), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &dbl);
    ASSERT_EQ(doubles->size(), 1);
    EXPECT_EQ((*doubles)[0], QVariantList({0, 0}));
}

// An editor without steps of its own gives the cell back as it took it: line ends stay "\n"
// and a no-break space stays one.
TEST_F(Grid, MultiLineEditorsGiveBackTheCellUnchanged) {
    auto grid = Shown(1);
    const QString text = QStringLiteral("a\u00A0b\nc\u00A0");
    QWidget* editors[] = {new QPlainTextEdit(grid.get()), new QTextEdit(grid.get())};
    for (QWidget* editor : editors) {
        const char* kind = editor->metaObject()->className();
        editor->hide();
        grid->SetCellText(0, 1, text);
        grid->SetColumnEditor(1, {}, {}, editor);
        ASSERT_TRUE(grid->BeginEdit(0, 1)) << kind;
        grid->EndEdit(1);
        EXPECT_EQ(grid->CellText(0, 1), text) << kind;
    }
}

TEST_F(Grid, DraggingWidensTheSelectionAndPastTheEndSelectsAll) {
    auto grid = Shown(5);
    QWidget* viewport = grid->viewport();
    const QPoint start = CellCentre(*grid, 2, 0);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(start),
                      QPointF(viewport->mapToGlobal(start)), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(viewport, &press);
    EXPECT_EQ(grid->DragFirstRow(), 2);

    Move(viewport, CellCentre(*grid, 3, 0));
    Move(viewport, CellCentre(*grid, 1, 0));
    Move(viewport, CellCentre(*grid, 2, 0)); // moving back does not narrow the range
    EXPECT_EQ(grid->SelectedRows(), QList<int>({1, 2, 3}));
    EXPECT_EQ(grid->DragFirstRow(), 1);
    EXPECT_EQ(grid->DragLastRow(), 3);

    Move(viewport, QPoint(start.x(), viewport->height() - 2));
    EXPECT_EQ(grid->SelectedRows(), QList<int>({0, 1, 2, 3, 4}));

    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(start),
                        QPointF(viewport->mapToGlobal(start)), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(viewport, &release);
    EXPECT_EQ(grid->DragFirstRow(), -1);
    EXPECT_EQ(grid->DragLastRow(), -1);

    grid->SelectRow(-1, false);
    grid->SelectRow(3, true);
    EXPECT_EQ(grid->SelectedRows(), QList<int>({3}));
}

} // namespace

// A row's cells share one buffer; edits rebuild it. Cells longer than 65,535 units need the
// full width of the stored offsets.
TEST(RowTexts, EditsKeepEveryOtherCell) {
    const QString longText(70000, QChar(u'长'));
    const struct {
        const char* name;
        std::function<void(RowTexts&)> edit;
        QStringList expected;
    } cases[] = {
        {"none", [](RowTexts&) {}, {"a", "", "螺钉"}},
        {"set inside", [](RowTexts& r) { r.Set(1, "b"); }, {"a", "b", "螺钉"}},
        {"set past the end", [](RowTexts& r) { r.Set(4, "e"); }, {"a", "", "螺钉", "", "e"}},
        {"insert first", [](RowTexts& r) { r.Insert(0, "x"); }, {"x", "a", "", "螺钉"}},
        {"insert at the end", [](RowTexts& r) { r.Insert(3, "x"); }, {"a", "", "螺钉", "x"}},
        {"insert past the end", [](RowTexts& r) { r.Insert(4, "x"); }, {"a", "", "螺钉"}},
        {"remove", [](RowTexts& r) { r.RemoveAt(0); }, {"", "螺钉"}},
        {"remove past the end", [](RowTexts& r) { r.RemoveAt(3); }, {"a", "", "螺钉"}},
        {"long cell", [&](RowTexts& r) { r.Set(1, longText); }, {"a", longText, "螺钉"}},
    };
    for (const auto& c : cases) {
        RowTexts row(QStringList{"a", "", "螺钉"});
        c.edit(row);
        EXPECT_EQ(row.ToList(), c.expected) << c.name;
        EXPECT_EQ(row.size(), c.expected.size()) << c.name;
        EXPECT_EQ(row.value(row.size()), QString()) << c.name;
    }
    RowTexts empty;
    EXPECT_EQ(empty.size(), 0);
    empty.Set(0, "");
    EXPECT_EQ(empty.ToList(), QStringList{""});
    empty.RemoveAt(0);
    EXPECT_EQ(empty.size(), 0);
}
