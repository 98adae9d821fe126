#include "PlayDrivers.h"

#include "form/FormWindow.h"
#include "widgets/EditWithButton.h"
#include "widgets/GridView.h"
#include "widgets/PickListPopup.h"
#include "widgets/TreeListView.h"
#include "widgets/TreeView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

namespace {

struct ClickPoint {
    QWidget* widget = nullptr;
    QPoint pos;
};

void SendMouse(QWidget* target, QEvent::Type type, const QPoint& pos, Qt::MouseButtons held,
               Qt::MouseButton button = Qt::LeftButton) {
    const QPointF local(pos);
    const QPointF global(target->mapToGlobal(pos));
    const QPointF scene(target->window()->mapFromGlobal(global.toPoint()));
    QMouseEvent event(type, local, scene, global, button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// As the application does for a real press: the first widget from the pressed one up to its
// window that takes the focus by clicking gets it.
void GiveClickFocus(QWidget* pressed) {
    for (QWidget* widget = pressed; widget; widget = widget->parentWidget()) {
        if (widget->isEnabled() && (widget->focusPolicy() & Qt::ClickFocus) == Qt::ClickFocus) {
            widget->setFocus(Qt::MouseFocusReason);
            return;
        }
        if (widget->isWindow())
            return;
    }
}

// The first column a user can see, for clicks on a row.
int FirstShownColumn(const QTableView& view) {
    for (int column = 0; column < view.model()->columnCount(); ++column)
        if (!view.isColumnHidden(column) && view.columnWidth(column) > 0)
            return column;
    return 0;
}

QPoint BelowRows(const QAbstractItemView& view, int lastRowBottom) {
    const int y = std::min(lastRowBottom + 3, std::max(view.viewport()->height() - 2, 0));
    return {3, y};
}

ClickPoint GridClickPoint(GridView* grid) {
    const QList<int> selected = grid->SelectedRows();
    QWidget* viewport = grid->viewport();
    if (!selected.isEmpty()) {
        const QModelIndex cell = grid->Model()->index(selected.first(), FirstShownColumn(*grid));
        grid->scrollTo(cell);
        return {viewport, grid->visualRect(cell).center()};
    }
    int bottom = 0;
    if (grid->RowCount() > 0) {
        grid->scrollToBottom();
        const int last = grid->RowCount() - 1;
        bottom = grid->rowViewportPosition(last) + grid->rowHeight(last);
    }
    return {viewport, BelowRows(*grid, bottom)};
}

ClickPoint TreeClickPoint(QTreeWidget* tree) {
    QWidget* viewport = tree->viewport();
    if (QTreeWidgetItem* item = tree->currentItem()) {
        tree->scrollToItem(item);
        return {viewport, tree->visualItemRect(item).center()};
    }
    int bottom = 0;
    for (QTreeWidgetItem* item = tree->topLevelItem(0); item; item = tree->itemBelow(item))
        bottom = std::max(bottom, tree->visualItemRect(item).bottom() + 1);
    return {viewport, BelowRows(*tree, bottom)};
}

QPoint ComboArrow(QComboBox* list) {
    QStyleOptionComboBox option;
    option.initFrom(list);
    option.editable = list->isEditable();
    option.frame = list->hasFrame();
    option.subControls = QStyle::SC_All;
    const QRect arrow =
        list->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, list);
    return arrow.isValid() ? arrow.center() : QPoint(list->width() - 4, list->height() / 2);
}

// Check boxes and radio buttons take clicks on their box and label only.
QPoint CheckClickPoint(QAbstractButton* button, QStyle::SubElement element) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    const QRect area = button->style()->subElementRect(element, &option, button);
    return area.isValid() ? area.center() : button->rect().center();
}

ClickPoint ClickPointOf(QWidget* control) {
    if (auto* box = qobject_cast<EditWithButton*>(control))
        return {box->Button(), box->Button()->rect().center()};
    if (auto* grid = qobject_cast<GridView*>(control))
        return GridClickPoint(grid);
    if (auto* tree = qobject_cast<QTreeWidget*>(control))
        return TreeClickPoint(tree);
    if (auto* list = qobject_cast<QComboBox*>(control))
        return {list, ComboArrow(list)};
    if (auto* box = qobject_cast<QCheckBox*>(control))
        return {box, CheckClickPoint(box, QStyle::SE_CheckBoxClickRect)};
    if (auto* radio = qobject_cast<QRadioButton*>(control))
        return {radio, CheckClickPoint(radio, QStyle::SE_RadioButtonClickRect)};
    return {control, control->rect().center()};
}

void PressAndRelease(QPointer<QWidget> target, const QPoint& pos) {
    GiveClickFocus(target);
    if (target)
        SendMouse(target, QEvent::MouseButtonPress, pos, Qt::LeftButton);
    if (target)
        SendMouse(target, QEvent::MouseButtonRelease, pos, Qt::NoButton);
}

// The widget that receives typed keys: where the focus is when it is inside the control's
// window (typing follows the focus, also after Enter moved it on), else the control itself.
QWidget* KeyTarget(QWidget* control) {
    QWidget* focus = QApplication::focusWidget();
    if (focus && control && focus->window() == control->window())
        return focus;
    return control;
}

void SendKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    QPointer<QWidget> guard(target);
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(target, &press);
    if (!guard)
        return;
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(target, &release);
}

QString KeyText(int key) {
    switch (key) {
    case Qt::Key_Return:
        return QStringLiteral("\r");
    case Qt::Key_Escape:
        return QString(QChar(0x1B));
    case Qt::Key_Tab:
        return QStringLiteral("\t");
    default:
        return {};
    }
}

// Types one character (a surrogate pair counts as one) into whatever has the focus.
void TypeCharacter(QWidget* control, const QString& character) {
    const QChar first = character[0];
    int key = Qt::Key_unknown;
    if (first == QLatin1Char('\n'))
        key = Qt::Key_Return;
    else if (first == QLatin1Char('\t'))
        key = Qt::Key_Tab;
    else if (first.unicode() >= 0x20 && first.unicode() < 0x7F)
        key = first.toUpper().unicode(); // printable ASCII: Qt's key codes are the upper case
    const QString text = key == Qt::Key_Return || key == Qt::Key_Tab ? KeyText(key) : character;
    if (QWidget* target = KeyTarget(control))
        SendKey(target, key, Qt::NoModifier, text);
}

// Types `text` key by key; stops when the control went away.
void TypeKeys(QWidget* control, const QString& text) {
    QPointer<QWidget> guard(control);
    for (int i = 0; i < text.size() && guard; ++i) {
        const int length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        TypeCharacter(control, text.mid(i, length));
        i += length - 1;
    }
}

void SelectAllText(QWidget* control) {
    if (QWidget* target = KeyTarget(control))
        SendKey(target, Qt::Key_A, Qt::ControlModifier, QString());
}

void LeaveFocus(QWidget* control) {
    QWidget* focus = QApplication::focusWidget();
    if (focus && control && focus->window() == control->window())
        focus->clearFocus();
}

bool SelectGridRows(GridView* grid, const QList<int>& rows, QString& error) {
    for (int row : rows)
        if (row >= grid->RowCount()) {
            error = QStringLiteral("表格只有 %1 行，没有第 %2 行（从 0 数起）")
                        .arg(grid->RowCount())
                        .arg(row);
            return false;
        }
    GiveClickFocus(grid);
    QItemSelectionModel* selection = grid->selectionModel();
    if (rows.isEmpty()) {
        selection->clearSelection();
        return true;
    }
    const int column = FirstShownColumn(*grid);
    bool first = true;
    for (int row : rows) {
        const QModelIndex cell = grid->Model()->index(row, column);
        grid->scrollTo(cell);
        selection->setCurrentIndex(
            cell, (first ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::Select) |
                      QItemSelectionModel::Rows);
        first = false;
    }
    return true;
}

bool SelectListItem(QComboBox* list, int index, QString& error) {
    if (index >= list->count()) {
        error = QStringLiteral("下拉列表只有 %1 项，没有第 %2 项（从 0 数起）")
                    .arg(list->count())
                    .arg(index);
        return false;
    }
    GiveClickFocus(list);
    QPointer<QComboBox> guard(list);
    list->showPopup();
    if (!guard)
        return true;
    QAbstractItemView* view = list->view();
    view->setCurrentIndex(list->model()->index(index, list->modelColumn()));
    // Enter in the opened list picks the item, the way the list itself reports a choice.
    SendKey(view, Qt::Key_Return, Qt::NoModifier, KeyText(Qt::Key_Return));
    if (guard && view->isVisible())
        list->hidePopup();
    return true;
}

} // namespace

bool UserCanReach(const QWidget* control) {
    return control && control->isEnabled() && control->isVisible();
}

void ActivateWindowOf(QWidget* widget) {
    QWidget* window = widget ? widget->window() : nullptr;
    if (!window || QApplication::activeWindow() == window)
        return;
    window->activateWindow();
    QApplication::setActiveWindow(window);
}

void ClickControl(QWidget* control) {
    if (!UserCanReach(control))
        return;
    const ClickPoint point = ClickPointOf(control);
    QPointer<QComboBox> list = qobject_cast<QComboBox*>(control);
    PressAndRelease(point.widget, point.pos);
    // A click on the arrow opens the list; the user closes it again without choosing.
    if (list && list->view()->isVisible())
        list->hidePopup();
}

void DoubleClickControl(QWidget* control) {
    if (!UserCanReach(control))
        return;
    const ClickPoint point = ClickPointOf(control);
    QPointer<QWidget> target = point.widget;
    PressAndRelease(target, point.pos);
    if (target)
        SendMouse(target, QEvent::MouseButtonDblClick, point.pos, Qt::LeftButton);
    if (target)
        SendMouse(target, QEvent::MouseButtonRelease, point.pos, Qt::NoButton);
    if (auto* list = qobject_cast<QComboBox*>(control); list && list->view()->isVisible())
        list->hidePopup();
}

void TypeIntoControl(QWidget* control, const QString& text) {
    if (!UserCanReach(control))
        return;
    QPointer<QWidget> guard(control);
    // Tab focus, as a user moving into the field: a line edit then selects its text.
    control->setFocus(Qt::TabFocusReason);
    SelectAllText(control);
    if (guard)
        TypeKeys(control, text);
    if (guard)
        LeaveFocus(control);
}

void PressKeyOn(QWidget* control, int key) {
    if (!UserCanReach(control))
        return;
    control->setFocus(Qt::OtherFocusReason);
    if (QWidget* target = KeyTarget(control))
        SendKey(target, key, Qt::NoModifier, KeyText(key));
}

bool CheckControl(QWidget* control, bool on, QString& error) {
    auto* button = qobject_cast<QAbstractButton*>(control);
    if (!button || !button->isCheckable()) {
        error = QStringLiteral("控件不是复选框或单选按钮");
        return false;
    }
    if (!UserCanReach(control))
        return true;
    QPointer<QAbstractButton> guard(button);
    auto reached = [&] {
        if (auto* box = qobject_cast<QCheckBox*>(button))
            return box->checkState() == (on ? Qt::Checked : Qt::Unchecked);
        return button->isChecked() == on;
    };
    // A three-state box passes through its third state on the way.
    for (int clicks = 0; clicks < 3 && guard && !reached(); ++clicks)
        ClickControl(button);
    if (guard && !reached()) {
        error = QStringLiteral("点击无法把控件设为 %1").arg(on ? 1 : 0);
        return false;
    }
    return true;
}

bool SelectInControl(QWidget* control, const QList<int>& rows, QString& error) {
    auto* grid = qobject_cast<GridView*>(control);
    auto* list = qobject_cast<QComboBox*>(control);
    auto* tabs = qobject_cast<QTabWidget*>(control);
    if (!grid && !list && !tabs) {
        error = QStringLiteral("控件不是表格、下拉列表或分页");
        return false;
    }
    if (!grid && rows.size() != 1) {
        error = QStringLiteral("下拉列表和分页一次只能选一项");
        return false;
    }
    if (!UserCanReach(control))
        return true;
    if (grid)
        return SelectGridRows(grid, rows, error);
    if (list)
        return SelectListItem(list, rows.first(), error);
    if (rows.first() >= tabs->count()) {
        error = QStringLiteral("分页只有 %1 页，没有第 %2 页（从 0 数起）")
                    .arg(tabs->count())
                    .arg(rows.first());
        return false;
    }
    tabs->setCurrentIndex(rows.first());
    return true;
}

bool EditGridCell(GridView* grid, int row, int column, const QString& text, QString& error) {
    if (!grid->Model()->ValidCell(row, column)) {
        error = QStringLiteral("表格没有单元格 (%1, %2)：%3 行 %4 列")
                    .arg(row)
                    .arg(column)
                    .arg(grid->RowCount())
                    .arg(grid->ColumnCount());
        return false;
    }
    if (!UserCanReach(grid))
        return true;
    const CellEditor* editor = grid->ColumnEditor(column);
    if (grid->IsCellReadOnly(row, column) || !editor || !editor->Usable()) {
        error = QStringLiteral("单元格 (%1, %2) 不能编辑").arg(row).arg(column);
        return false;
    }
    // The editor takes the focus when it opens; one without a window of its own leaves it on the
    // grid.
    QPointer<QWidget> typing = editor->window ? editor->window : grid;
    QPointer<GridView> guard(grid);
    const QModelIndex cell = grid->Model()->index(row, column);
    grid->scrollTo(cell);
    const QPoint pos = grid->visualRect(cell).center();
    GiveClickFocus(grid->viewport());
    SendMouse(grid->viewport(), QEvent::MouseButtonPress, pos, Qt::LeftButton);
    if (!guard)
        return true;
    const bool editing = grid->IsEditing();
    SendMouse(grid->viewport(), QEvent::MouseButtonRelease, pos, Qt::NoButton);
    if (!guard)
        return true;
    if (!editing) {
        error = QStringLiteral("单元格 (%1, %2) 没有打开编辑框").arg(row).arg(column);
        return false;
    }
    if (typing)
        SelectAllText(typing);
    // A box with a pick list looks its candidates up on a worker; the user waits to see them.
    auto* box = qobject_cast<EditWithButton*>(typing.data());
    std::optional<QEventLoop> waiting;
    if (box && box->HasPickList()) {
        waiting.emplace();
        QObject::connect(box, &EditWithButton::pickListUpdated, &*waiting, &QEventLoop::quit);
        QTimer::singleShot(10000, &*waiting, &QEventLoop::quit);
    }
    if (typing)
        TypeKeys(typing, text);
    if (waiting && typing && !text.isEmpty())
        waiting->exec();
    // With candidates showing and none of them typed in full, the edit stays open for the
    // user's choice (`pick`).
    if (box && typing && box->PickList() && box->PickList()->isVisible()) {
        bool typedInFull = false;
        for (int row = 0; row < box->PickList()->RowCount() && !typedInFull; ++row)
            typedInFull = box->PickList()->RowText(row, 0) == text;
        if (!typedInFull)
            return true;
    }
    if (guard)
        grid->EndEdit(1);
    return true;
}

void PressEditKey(GridView* grid, int key) {
    if (!UserCanReach(grid))
        return;
    QWidget* editor = grid->EditorWindow();
    QWidget* focus = QApplication::focusWidget();
    QWidget* target = editor ? (focus && editor->isAncestorOf(focus) ? focus : editor) : grid;
    if (!editor)
        grid->setFocus(Qt::OtherFocusReason);
    const Qt::KeyboardModifiers modifiers =
        key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier;
    SendKey(target, key, modifiers, KeyText(key));
}

bool PickCandidate(FormWindow* form, int row, QString& error) {
    // An open pick list first: it sits above everything else.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* list = qobject_cast<PickListPopup*>(window);
        if (!list || !list->isVisible())
            continue;
        if (row >= list->RowCount()) {
            error = QStringLiteral("候选列表只有 %1 行").arg(list->RowCount());
            return false;
        }
        list->ChooseRow(row);
        return true;
    }
    // Otherwise a candidate pop-up form: its grid's row, double-clicked.
    GridView* grid = nullptr;
    if (form && form->popupFlag)
        for (GridView* candidate : form->findChildren<GridView*>())
            if (candidate->isVisible()) {
                grid = candidate;
                break;
            }
    if (!grid) {
        error = QStringLiteral("没有打开的候选列表或候选窗口");
        return false;
    }
    if (!SelectInControl(grid, {row}, error))
        return false;
    DoubleClickControl(grid);
    return true;
}

bool ClickTreeNode(QTreeWidget* tree, int key, QString& error) {
    auto* keyed = qobject_cast<TreeView*>(tree);
    QTreeWidgetItem* item = keyed ? keyed->FindTreeItem(key) : nullptr;
    if (!item) {
        error = QStringLiteral("没有键为 %1 的节点").arg(key);
        return false;
    }
    if (!UserCanReach(tree))
        return true;
    // The user opens the branches above the node and scrolls to it before clicking it.
    for (QTreeWidgetItem* parent = item->parent(); parent; parent = parent->parent())
        parent->setExpanded(true);
    tree->scrollToItem(item);
    const QRect rect = tree->visualItemRect(item);
    // On the text, clear of the check box and the branch mark.
    PressAndRelease(tree->viewport(), QPoint(rect.right() - 4, rect.center().y()));
    return true;
}

bool CheckTreeNode(QTreeWidget* tree, int key, bool on, QString& error) {
    auto* keyed = qobject_cast<TreeView*>(tree);
    QTreeWidgetItem* item = keyed ? keyed->FindTreeItem(key) : nullptr;
    if (!item) {
        error = QStringLiteral("没有键为 %1 的节点").arg(key);
        return false;
    }
    if (!keyed->HasCheckBoxes()) {
        error = QStringLiteral("树没有复选框");
        return false;
    }
    if (UserCanReach(tree))
        item->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
    return true;
}

bool ClickTreeListRow(TreeListView* chart, int row, bool right, QString& error) {
    if (row < 0 || size_t(row) >= chart->ShownRows().size()) {
        error = QStringLiteral("没有第 %1 行").arg(row);
        return false;
    }
    if (!UserCanReach(chart))
        return true;
    chart->ScrollToRow(row);
    const QRect rect = chart->RowRect(row);
    // On the row's title in the tree column, clear of its expand mark.
    const QList<const TreeListNode*> columns = chart->LeafColumns();
    const int scrolled = rect.left() - (columns.isEmpty() ? 0 : columns.front()->x);
    const int x = chart->ShownRows()[size_t(row)]->expanderX + 24 + scrolled;
    const QPoint pos(x, rect.center().y());
    QPointer<QWidget> target = chart;
    GiveClickFocus(chart);
    const Qt::MouseButton button = right ? Qt::RightButton : Qt::LeftButton;
    SendMouse(target, QEvent::MouseButtonPress, pos, button, button);
    if (target)
        SendMouse(target, QEvent::MouseButtonRelease, pos, Qt::NoButton, button);
    return true;
}
