// The tree and the tree-list: filling from query values, finding nodes, the header built from
// the form, retitling, rows with colours and tips, drawing (time bars checked on pixels, only
// the rows in view painted) and the mouse (resizing against selecting, expanding, right clicks).
#include "widgets/TreeListView.h"
#include "widgets/TreeView.h"

#include <QApplication>
#include <QMouseEvent>

#include <gtest/gtest.h>

namespace {

QStringList Values(std::initializer_list<const char*> texts) {
    QStringList values;
    for (const char* text : texts)
        values.append(QString::fromUtf8(text));
    return values;
}

// "text(children...)" in depth-first order, checked nodes marked with "*", partly checked ones
// with "~".
QString Shape(const QTreeWidgetItem* item) {
    static const QString marks[] = {QString(), QStringLiteral("*"), QStringLiteral("~")};
    QString text = item->text(0) + marks[TreeView::CheckMark(item)];
    if (item->childCount() > 0) {
        QStringList children;
        for (int i = 0; i < item->childCount(); ++i)
            children.append(Shape(item->child(i)));
        text += QLatin1Char('(') + children.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return text;
}

QString Shape(const QTreeWidget& tree) {
    QStringList roots;
    for (int i = 0; i < tree.topLevelItemCount(); ++i)
        roots.append(Shape(tree.topLevelItem(i)));
    return roots.join(QLatin1Char(' '));
}

TEST(Tree, FillTreeBuildsParentsFromKeysAndChecksListedKeys) {
    struct Case {
        const char* name;
        QStringList values;
        QString checked;
        QString shape;
    };
    const QList<Case> cases{
        {"the example", Values({"0", "A", "1", "1", "B", "2", "1", "C", "3", "2", "D", "4"}), ",3,",
         "A~(B(D) C*)"},
        // A parent shows whether all or some of the nodes below it are checked; one stored
        // checked alone (standing for all below it) stays checked.
        {"a parent checked alone", Values({"0", "A", "1", "1", "B", "2", "1", "C", "3"}), ",1,",
         "A*(B C)"},
        {"a parent with some children", Values({"0", "A", "1", "1", "B", "2", "1", "C", "3"}),
         ",1,2,", "A~(B* C)"},
        {"every child", Values({"0", "A", "1", "1", "B", "2", "1", "C", "3"}), ",2,3,",
         "A*(B* C*)"},
        {"a grandchild", Values({"0", "A", "1", "1", "B", "2", "1", "C", "3", "2", "D", "4"}),
         ",4,", "A~(B*(D*) C)"},
        {"a parent listed later makes a root",
         Values({"0", "A", "1", "7", "B", "2", "0", "C", "7"}), "", "A B C"},
        // The third row has the same parent key as the second, whose parent was not found: it
        // reuses that (no parent) instead of finding B, which now has the key.
        {"consecutive rows reuse the parent", Values({"9", "A", "1", "9", "B", "9", "9", "C", "3"}),
         "", "A B C"},
        // Key 3 is given twice; the parent of the last row is the first in depth-first order
        // (D under A), not the first inserted (C under B).
        {"a shared key finds the first node depth first",
         Values({"0", "A", "1", "0", "B", "2", "2", "C", "3", "1", "D", "3", "3", "E", "9"}), "",
         "A(D(E)) B(C)"},
        {"keys are compared as read", Values({"0", "A", "01", "0", "B", "1"}), ",1,", "A B*"},
        {"an incomplete last row is left out", Values({"0", "A", "1", "1", "B"}), "", "A"},
    };
    for (const Case& c : cases) {
        TreeView tree(true);
        tree.FillTree(c.values, c.checked);
        EXPECT_EQ(Shape(tree), c.shape) << c.name;
    }
}

// A box the user ticks or clears marks every node above it: checked when all its children
// are, partly when some are, not when none is. A node above one the user checked is read as
// checked with it until none below it is.
TEST(Tree, ANodeAboveShowsWhetherAllOrSomeOfItsChildrenAreChecked) {
    TreeView tree(true);
    tree.FillTree(
        Values({"0", "A", "1", "1", "B", "2", "1", "C", "3", "2", "D", "4", "2", "E", "5"}),
        QString());
    const struct {
        int key;
        bool on;
        const char* shape;
        QList<int> checked;
    } steps[] = {
        {4, true, "A~(B~(D* E) C)", {1, 2, 4}},
        {5, true, "A~(B*(D* E*) C)", {1, 2, 4, 5}},
        {3, true, "A*(B*(D* E*) C*)", {1, 2, 4, 5, 3}},
        {4, false, "A~(B~(D E*) C*)", {1, 2, 5, 3}},
        {5, false, "A~(B(D E) C*)", {1, 3}},
        {3, false, "A(B(D E) C)", {}},
        // A parent ticked by the user stands for all below it until a child changes.
        {1, true, "A*(B(D E) C)", {1}},
        {4, true, "A~(B~(D* E) C)", {1, 2, 4}},
    };
    for (const auto& s : steps) {
        tree.FindTreeItem(s.key)->setCheckState(0, s.on ? Qt::Checked : Qt::Unchecked);
        EXPECT_EQ(Shape(tree), QString::fromUtf8(s.shape)) << s.key << s.on;
        EXPECT_EQ(tree.CheckedKeys(), s.checked) << s.key << s.on;
    }
}

TEST(Tree, FindExpandAndCheckedKeys) {
    TreeView tree(true);
    tree.FillTree(Values({"0", "A", "1", "1", "B", "2", "2", "C", "3", "0", "D", "4"}), ",3,4,");
    ASSERT_TRUE(tree.FindTreeItem(3));
    EXPECT_EQ(tree.FindTreeItem(3)->text(0), QStringLiteral("C"));
    EXPECT_FALSE(tree.FindTreeItem(99));
    // C is B's only child and B A's: both show checked too.
    EXPECT_EQ(tree.CheckedKeys(), QList<int>({1, 2, 3, 4}));
    tree.ExpandTree(true);
    EXPECT_TRUE(tree.FindTreeItem(2)->isExpanded());
    tree.ExpandTree(false);
    EXPECT_FALSE(tree.FindTreeItem(1)->isExpanded());

    TreeView plain(false);
    plain.FillTree(Values({"0", "A", "1"}), ",1,");
    EXPECT_TRUE(plain.CheckedKeys().isEmpty()); // no check boxes, nothing checked
}

TEST(Tree, ALargeChainFillsWithoutSearchingFromTheTop) {
    // Every row hangs under the one before: a search per row from the first root would visit
    // the whole chain each time.
    QStringList values;
    const int count = 20000;
    for (int i = 1; i <= count; ++i)
        values << QString::number(i - 1) << QStringLiteral("n%1").arg(i) << QString::number(i);
    TreeView tree(false);
    tree.FillTree(values, QString());
    const QTreeWidgetItem* item = tree.topLevelItem(0);
    int depth = 1;
    while (item->childCount() == 1) {
        item = item->child(0);
        ++depth;
    }
    EXPECT_EQ(depth, count);
}

// Columns: 序号 40, 名称 200, then the group 计划 (menu "1:12,2:15", type 1) with 日 (its own
// type 0 loses to the group's 1) and 数量 (type 2), then 备注 without menu id.
QList<TreeListView::HeaderColumn> SampleHeader(int dayWidth = 1440) {
    TreeListView::HeaderColumn plan{"计划", dayWidth + 80, 20, 1, "1:12,2:15", {}};
    plan.children = {{"日", dayWidth, 20, 0, "", {}}, {"数量", 80, 20, 2, "", {}}};
    return {{"序号", 40, 40, 0, "", {}},
            {"名称", 200, 40, 0, "", {}},
            plan,
            {"备注", 100, 40, 0, "", {}}};
}

TEST(TreeList, HeaderLayoutInheritanceAndRetitling) {
    TreeListView chart;
    chart.BuildHeader(SampleHeader(300));
    const QList<const TreeListNode*> leaves = chart.LeafColumns();
    ASSERT_EQ(leaves.size(), 5);
    struct Expected {
        const char* title;
        int x, y, right, bottom, type, depth;
        const char* menu;
    };
    const Expected expected[] = {
        {"序号", 0, 0, 40, 40, 0, 1, ""},
        {"名称", 40, 0, 240, 40, 0, 1, ""},
        {"日", 240, 20, 540, 40, 1, 2, "1:12,2:15"},
        {"数量", 540, 20, 620, 40, 2, 2, "1:12,2:15"},
        {"备注", 620, 0, 720, 40, 0, 1, ""},
    };
    for (int i = 0; i < 5; ++i) {
        const TreeListNode& leaf = *leaves[i];
        const Expected& e = expected[i];
        EXPECT_EQ(leaf.title, QString::fromUtf8(e.title));
        EXPECT_EQ(
            QList<int>({leaf.x, leaf.y, leaf.right, leaf.bottom, leaf.style.type, leaf.depth}),
            QList<int>({e.x, e.y, e.right, e.bottom, e.type, e.depth}))
            << e.title;
        EXPECT_EQ(leaf.menuId, QString::fromUtf8(e.menu)) << e.title;
    }

    // Depth 2 holds 日 and 数量 here; with a second group it holds four, then a fifth.
    QList<TreeListView::HeaderColumn> header = SampleHeader(300);
    TreeListView::HeaderColumn more{"实际", 300, 20, 0, "", {}};
    more.children = {
        {"a", 100, 20, 0, "", {}}, {"b", 100, 20, 0, "", {}}, {"c", 100, 20, 0, "", {}}};
    header.append(more);
    chart.BuildHeader(header);
    chart.SetHeaderTitles(2, Values({"一", "二", "三", "四"}));
    QStringList titles;
    for (const TreeListNode* leaf : chart.LeafColumns())
        titles.append(leaf->title);
    EXPECT_EQ(titles, Values({"序号", "名称", "一", "二", "备注", "三", "四", "c"}));
    EXPECT_EQ(chart.HeaderRoot().children[2]->title, QStringLiteral("计划")); // depth 1 kept
}

TEST(TreeList, RowsTakeParentsColoursAndTips) {
    TreeListView chart;
    chart.BuildHeader(SampleHeader());
    // parent, key, title, one cell; colours two per row (row and its cell) for the first row,
    // then they run out.
    const QStringList values =
        Values({"", "c1", "客户甲", "x", "c1", "h1", "合同1", "y", "nobody", "c2", "客户乙", "z"});
    chart.AddRows(values, Values({"1,2,3", "4,5,6", "7,8,9"}), {}, 4, 24);
    const TreeListNode& body = chart.BodyRoot();
    ASSERT_EQ(body.children.size(), 2u); // an unknown parent key puts the row at the top
    const TreeListNode& customer = *body.children[0];
    ASSERT_EQ(customer.children.size(), 1u);
    const TreeListNode& contract = *customer.children[0];
    EXPECT_EQ(customer.style.color, QStringLiteral("1,2,3"));
    EXPECT_EQ(customer.cells[0].color, QStringLiteral("4,5,6"));
    EXPECT_EQ(contract.style.color, QStringLiteral("7,8,9"));
    EXPECT_EQ(contract.cells[0].color, QString());
    EXPECT_EQ(contract.depth, 2);
    EXPECT_EQ(contract.height, 24);
    EXPECT_TRUE(customer.tip1.isEmpty()) << "no tip values, no tips";

    // Tips are used only when there are exactly as many tip values as values.
    QStringList tips;
    for (int i = 0; i < values.size(); ++i)
        tips.append(QStringLiteral("t%1").arg(i));
    for (const qsizetype count : {values.size() - 1, values.size()}) {
        chart.ClearBody();
        chart.AddRows(values, {}, tips.mid(0, count), 4, 24);
        const TreeListNode& second = *chart.BodyRoot().children[0]->children[0];
        EXPECT_EQ(second.tip1, count == values.size() ? QStringLiteral("t3") : QString()) << count;
        EXPECT_EQ(second.tip3, count == values.size() ? QStringLiteral("t5") : QString()) << count;
    }

    chart.ClearBody();
    chart.AddRows(Values({"", "a", "b", "c"}), {}, {}, 2, 24);
    EXPECT_TRUE(chart.BodyRoot().children.empty()) << "fewer than three columns add nothing";
}

// A chart in the tree-list mode with the sample header and rows under it, shown at a size.
struct ShownChart {
    TreeListView chart;
    explicit ShownChart(const QStringList& values, int columns = 4, int dayWidth = 1440,
                        QSize size = {1900, 400}) {
        chart.resize(size);
        chart.BuildHeader(SampleHeader(dayWidth));
        chart.SetDisplayMode(TreeListView::kTreeListMode);
        chart.AddRows(values, {}, {}, columns, 24);
    }
};

void Mouse(QWidget& widget, QEvent::Type type, QPoint pos,
           Qt::MouseButton button = Qt::LeftButton) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::MouseButtons() : Qt::MouseButtons(button);
    QMouseEvent event(type, QPointF(pos), QPointF(widget.mapToGlobal(pos)),
                      type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

TEST(TreeList, TimeBarsAreDrawnOnADayOf1440Minutes) {
    struct Case {
        const char* value;
        int from, to; // bar columns relative to the cell; from == to: no bar
    };
    // The day column is 1,440 pixels wide: a minute is a pixel.
    const Case cases[] = {
        {"10120", 1, 1440 - 120}, {"120", 0, 120},   {"-60", 1380, 1440},      {"0", 0, 0},
        {"abc", 0, 1440},         {"1440", 0, 1440}, {"10001000", 1000, 1001}, // at least a pixel
    };
    for (const Case& c : cases) {
        ShownChart shown(Values({"", "k", "行", c.value}));
        const QImage image = shown.chart.RenderImage();
        const TreeListNode& day = *shown.chart.LeafColumns()[2];
        const QRect row = shown.chart.RowRect(0);
        const int y = row.top() + row.height() / 2;
        // The bar is translucent red; the column lines under it are grey.
        auto barAt = [&](int x) {
            const QColor pixel = image.pixelColor(day.x + x, y);
            return pixel.red() - pixel.green() > 40;
        };
        for (int x = 0; x < 1440; x += 1) {
            const bool inside = x >= c.from && x < c.to;
            if (barAt(x) != inside) {
                ADD_FAILURE() << c.value << ": pixel " << x << (inside ? " not drawn" : " drawn");
                break;
            }
        }
    }
}

TEST(TreeList, OnlyTheRowsInViewArePainted) {
    auto rows = [](int count) {
        QStringList values;
        for (int i = 0; i < count; ++i)
            values << QString() << QString::number(i) << QStringLiteral("行%1").arg(i)
                   << QStringLiteral("%1").arg(i % 1440 + 1);
        return values;
    };
    ShownChart small(rows(100), 4, 300, {800, 600});
    ShownChart large(rows(10000), 4, 300, {800, 600});
    small.chart.RenderImage();
    large.chart.RenderImage();
    EXPECT_EQ(large.chart.LastPaintedRowCount(), small.chart.LastPaintedRowCount());
    EXPECT_LE(large.chart.LastPaintedRowCount(), 600 / 24 + 1);
    // Scrolled to the end, the last row is in view and still only a screenful is painted.
    large.chart.ScrollToRow(9999);
    large.chart.RenderImage();
    EXPECT_LE(large.chart.LastPaintedRowCount(), 600 / 24 + 1);
    EXPECT_GT(large.chart.RowRect(9999).top(), 0);
}

TEST(TreeList, BoundariesResizeAndEverywhereElseSelects) {
    ShownChart shown(Values({"", "a", "甲", "1", "a", "b", "乙", "2", "", "c", "丙", "3"}), 4, 300);
    TreeListView& chart = shown.chart;
    // Body rows start at the header's bottom, 40; row 0 ends at 64. The 名称 column ends at 240.
    const int rowMiddle = 40 + 12;

    // Within 2 pixels of a column boundary: a resize, no selection.
    Mouse(chart, QEvent::MouseButtonPress, {242, rowMiddle});
    Mouse(chart, QEvent::MouseMove, {292, rowMiddle});
    Mouse(chart, QEvent::MouseButtonRelease, {292, rowMiddle});
    EXPECT_EQ(chart.SelectedNode(), nullptr);
    EXPECT_EQ(chart.LeafColumns()[1]->right, 292); // where the guide line was let go
    EXPECT_EQ(chart.LeafColumns()[2]->x, 292);     // the columns right of it follow
    EXPECT_EQ(chart.HeaderRoot().children[2]->x, 292);

    // Dragged left past its own left edge (40) the boundary stops there; at zero width it can
    // still be taken again.
    Mouse(chart, QEvent::MouseButtonPress, {291, rowMiddle});
    Mouse(chart, QEvent::MouseMove, {5, rowMiddle});
    Mouse(chart, QEvent::MouseButtonRelease, {5, rowMiddle});
    EXPECT_EQ(chart.LeafColumns()[1]->right, 40);
    Mouse(chart, QEvent::MouseButtonPress, {40, rowMiddle + 100});
    Mouse(chart, QEvent::MouseMove, {240, rowMiddle + 100});
    Mouse(chart, QEvent::MouseButtonRelease, {240, rowMiddle + 100});
    ASSERT_EQ(chart.LeafColumns()[1]->right, 240);

    // A row boundary (row 0 ends at 64) resizes that row.
    Mouse(chart, QEvent::MouseButtonPress, {150, 63});
    Mouse(chart, QEvent::MouseMove, {150, 74});
    Mouse(chart, QEvent::MouseButtonRelease, {150, 74});
    EXPECT_EQ(chart.ShownRows()[0]->height, 34);
    EXPECT_EQ(chart.SelectedNode(), nullptr);

    // 3 pixels away from any boundary: a selection.
    Mouse(chart, QEvent::MouseButtonPress, {150, 77});
    Mouse(chart, QEvent::MouseButtonRelease, {150, 77});
    ASSERT_TRUE(chart.SelectedNode());
    EXPECT_EQ(chart.SelectedNode()->key, QStringLiteral("b"));
    Mouse(chart, QEvent::MouseButtonPress, {150, 390});
    EXPECT_EQ(chart.SelectedNode(), nullptr) << "no row there";

    // The mark of row 0 (expander x = 40 + 15) collapses it; a double click opens it again.
    ASSERT_EQ(chart.ShownRows().size(), 3u);
    Mouse(chart, QEvent::MouseButtonPress, {55, 40 + 17});
    EXPECT_EQ(chart.ShownRows().size(), 2u);
    Mouse(chart, QEvent::MouseButtonDblClick, {150, 40 + 17});
    EXPECT_EQ(chart.ShownRows().size(), 3u);

    // Rows refilled under a row drag (a timer's action) end the drag.
    Mouse(chart, QEvent::MouseButtonPress, {150, 40 + 34 + 24 + 24 - 1}); // row 2's bottom
    chart.ClearBody();
    chart.AddRows(Values({"", "z", "丁", "1"}), {}, {}, 4, 24);
    Mouse(chart, QEvent::MouseMove, {150, 200});
    Mouse(chart, QEvent::MouseButtonRelease, {150, 200});
    EXPECT_EQ(chart.ShownRows()[0]->height, 24);
}

TEST(TreeList, ARightClickAsksForTheButtonOfTheRowsDepth) {
    ShownChart shown(Values({"", "a", "甲", "1", "a", "b", "乙", "2"}), 4, 300);
    TreeListView& chart = shown.chart;
    QList<int> pressed;
    QObject::connect(&chart, &TreeListView::buttonRequested, [&](int id) { pressed.append(id); });
    const QRect first = chart.RowRect(0);
    const QRect second = chart.RowRect(1);
    Mouse(chart, QEvent::MouseButtonPress, {300, first.center().y()}, Qt::RightButton);
    Mouse(chart, QEvent::MouseButtonPress, {300, second.center().y()}, Qt::RightButton);
    Mouse(chart, QEvent::MouseButtonPress, {100, second.center().y()}, Qt::RightButton);
    EXPECT_EQ(pressed, QList<int>({12, 15})); // the 名称 column has no menu id
    EXPECT_EQ(chart.SelectedNode()->key, QStringLiteral("b"));
}

} // namespace
