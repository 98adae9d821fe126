// Editing cells in place: an editor window borrowed from the form is laid over the cell, the
// begin and end steps of the cell's editor move the text in and out, and the keyboard steps
// from cell to cell. The watcher (CellEditWatcher) ends the edit when the user leaves the editor.
#include "widgets/GridView.h"

#include "widgets/CellEditWatcher.h"
#include "widgets/EditWithButton.h"
#include "widgets/PickListPopup.h"
#include "widgets/TextAsTyped.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTextEdit>
#include <QTreeWidget>

namespace {

// The text of an editor window without steps of its own.
QString EditorText(const QWidget* window) {
    if (const auto* line = qobject_cast<const QLineEdit*>(window))
        return line->text();
    if (const auto* combo = qobject_cast<const QComboBox*>(window))
        return combo->currentText();
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(window))
        return TextAsTyped(plain->document());
    if (const auto* rich = qobject_cast<const QTextEdit*>(window))
        return TextAsTyped(rich->document());
    if (const auto* spin = qobject_cast<const QAbstractSpinBox*>(window))
        return spin->text();
    return {};
}

void SetEditorText(QWidget* window, const QString& text) {
    if (auto* line = qobject_cast<QLineEdit*>(window))
        line->setText(text);
    else if (auto* combo = qobject_cast<QComboBox*>(window))
        combo->setCurrentText(text);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(window))
        plain->setPlainText(text);
    else if (auto* rich = qobject_cast<QTextEdit*>(window))
        rich->setPlainText(text);
}

} // namespace

bool GridView::SetColumnEditor(int column, CellEditor::Step begin, CellEditor::Step end,
                               QWidget* window) {
    ColumnInfo* info = model_->Column(column);
    if (!info)
        return false;
    info->editor.begin = std::move(begin);
    info->editor.end = std::move(end);
    info->editor.window = window;
    return true;
}

const CellEditor* GridView::ColumnEditor(int column) const {
    const ColumnInfo* info = model_->Column(column);
    return info ? &info->editor : nullptr;
}

// The most specific usable editor: the cell's, then the row's, then the column's.
const CellEditor* GridView::EditorOf(int row, int column) const {
    const ItemData* data = model_->RowData(row);
    if (!data || !model_->ValidColumn(column))
        return nullptr;
    if (const CellInfo* cell = data->FindCell(column); cell && cell->editor.Usable())
        return &cell->editor;
    if (data->editor.Usable())
        return &data->editor;
    const ColumnInfo* info = model_->Column(column);
    return info->editor.Usable() ? &info->editor : nullptr;
}

int GridView::FindRowBySerial(quint64 serial) const {
    for (int row = 0; row < RowCount(); ++row)
        if (model_->RowData(row)->serial == serial)
            return row;
    return -1;
}

int GridView::EditRow() const {
    if (!IsEditing())
        return -1;
    // Rows move when the grid is sorted or rows before the edited one are deleted; the serial
    // says whether the remembered index still holds the row.
    const ItemData* data = model_->RowData(editRow_);
    if (!data || data->serial != editSerial_)
        editRow_ = FindRowBySerial(editSerial_);
    return editRow_;
}

QRect GridView::EditorRect(int row, int column) {
    const QModelIndex cell = model_->index(row, column);
    scrollTo(cell, QAbstractItemView::EnsureVisible);
    QRect rect = visualRect(cell);
    const int client = viewport()->width();
    // A cell wider than the view shows from its left edge.
    if (rect.left() < 0 || rect.width() > client) {
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + rect.left());
        rect = visualRect(cell);
    }
    rect.setRight(std::min(rect.right(), client - 4 - 1));
    return rect;
}

bool GridView::BeginEdit(int row, int column) {
    if (IsEditing()) {
        const ItemData* data = model_->RowData(row);
        const quint64 serial = data ? data->serial : 0;
        EndEdit(1);
        // Ending the edit may have sorted the rows again.
        if (serial != 0 && (!model_->RowData(row) || model_->RowData(row)->serial != serial))
            row = FindRowBySerial(serial);
    }
    if (!model_->ValidCell(row, column) || model_->IsCellReadOnly(row, column))
        return false;
    const CellEditor* editor = EditorOf(row, column);
    if (!editor)
        return false;
    const QRect rect = EditorRect(row, column);

    editRow_ = lastEditRow_ = row;
    editColumn_ = lastEditColumn_ = column;
    ItemData* data = model_->RowData(row);
    editSerial_ = data->serial;
    currentEditor_ = *editor;
    QString text = CellText(row, column);
    if (currentEditor_.begin)
        currentEditor_.begin(currentEditor_.window, row, column, text, data->userData, this, 1);
    QWidget* window = currentEditor_.window;
    if (!window) {
        currentEditor_ = {};
        return false;
    }
    clearSelection();
    if (!currentEditor_.begin)
        SetEditorText(window, text);
    if (window->parentWidget() != viewport())
        window->setParent(viewport());
    window->setGeometry(rect);
    window->show();
    window->raise();
    window->setFocus(Qt::OtherFocusReason);
    hook_ = std::make_unique<CellEditWatcher>(window, this);
    return true;
}

void GridView::EndEdit(int apply) {
    // The lock and the registration going first make a request that arrives while the end
    // step runs (a message box moving the focus) do nothing.
    if (editLock_ || !hook_)
        return;
    const QScopedValueRollback lock(editLock_, true);
    const int row = EditRow();
    hook_.reset();
    const int column = editColumn_;
    const CellEditor editor = std::exchange(currentEditor_, {});
    QWidget* window = editor.window;
    if (window) {
        // The focus stays in the grid rather than wandering to the next control of the form. The
        // form may be holding the editor as the focus to give back once another window (a
        // message box) goes: the grid takes that place, or the hidden editor would hand the
        // focus on to the next control, a button a key typed next would press.
        if (CellEditWatcher::Inside(QApplication::focusWidget(), window) ||
            CellEditWatcher::Inside(window->window()->focusWidget(), window))
            setFocus(Qt::OtherFocusReason);
        window->hide();
    }
    editRow_ = -1;
    if (row >= 0) // a row that went away gets nothing stored and no end step
        StoreEditorText(editor, row, column, apply);
}

void GridView::EndEditByEnter(Qt::KeyboardModifiers modifiers) {
    EndEdit(1);
    setFocus(Qt::OtherFocusReason);
    const QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, modifiers);
    StepByKey(&enter);
}

void GridView::ApplyEditorText(int row, int column) {
    if (const CellEditor* editor = EditorOf(row, column))
        StoreEditorText(*editor, row, column, 1);
}

void GridView::StoreEditorText(const CellEditor& editor, int row, int column, int apply) {
    ItemData* data = model_->RowData(row);
    if (!data)
        return;
    QString text = CellText(row, column);
    if (editor.end)
        apply = editor.end(editor.window, row, column, text, data->userData, this, apply);
    else if (editor.window)
        text = EditorText(editor.window);
    if (apply != 0 && model_->ValidCell(row, column)) {
        SetCellText(row, column, text);
        if (apply == -1)
            SortByColumn(column, false);
    }
}

// --- Keyboard ---

bool GridView::EditorKeepsKey(const QKeyEvent* event) const {
    const auto* box = qobject_cast<const EditWithButton*>(EditorWindow());
    if (!box || !box->PickList() || !box->PickList()->isVisible())
        return false;
    // Enter takes the pick list's row and Escape closes the list; both stay with the box, and
    // so do the arrows once Down has moved into the list.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down:
        return box->PickList()->HasArrows();
    default:
        return false;
    }
}

// Down in an edit-with-button editor whose pop-up is configured, before the ordinary Down:
// true when the key is used up here.
bool GridView::PopUpRuleForDown() {
    auto* box = qobject_cast<EditWithButton*>(EditorWindow());
    if (!box || !box->HasPickList() || !box->PickList())
        return false;
    PickListPopup* list = box->PickList();
    const int row = EditRow();
    const bool changed = row >= 0 && box->text() != CellText(row, editColumn_);
    const bool visible = list->isVisible();
    const int candidates = list->RowCount();
    if (visible && candidates > 1) {
        list->TakeArrows();
        return true;
    }
    if (changed) {
        if (visible && candidates == 1)
            box->setText(list->RowText(0, 0));
        return false;
    }
    if (candidates <= 1)
        box->HidePickList();
    return false;
}

bool GridView::StepByKey(const QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    switch (event->key()) {
    case Qt::Key_Down:
        if (IsEditing() && PopUpRuleForDown())
            return true;
        return lastEditRow_ >= 0 && lastEditRow_ + 1 < RowCount() &&
               BeginEdit(lastEditRow_ + 1, lastEditColumn_);
    case Qt::Key_Up:
        return lastEditRow_ > 0 && lastEditRow_ <= RowCount() &&
               BeginEdit(lastEditRow_ - 1, lastEditColumn_);
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (modifiers & Qt::ControlModifier)
            return false;
        return StepToCell(!(modifiers & Qt::ShiftModifier) && event->key() != Qt::Key_Backtab);
    default:
        return false;
    }
}

// Tries the cells in reading order from the last edit position until one opens or the position
// leaves the grid.
bool GridView::StepToCell(bool forward) {
    const int rows = RowCount();
    const int columns = ColumnCount();
    if (rows == 0 || columns == 0)
        return false;
    int row = lastEditRow_;
    int column = lastEditColumn_;
    const bool valid = row >= 0 && row < rows && column >= 0 && column < columns;
    if (!valid) {
        row = forward ? 0 : rows - 1;
        column = forward ? 0 : columns - 1;
    } else if (forward) {
        if (++column == columns)
            column = 0, ++row;
    } else if (--column < 0) {
        column = columns - 1, --row;
    }
    // Ending the open edit may add a numbered row, so the row count is read on every turn.
    while (row >= 0 && row < RowCount()) {
        if (EditorOf(row, column) && !model_->IsCellReadOnly(row, column) && BeginEdit(row, column))
            return true;
        if (forward) {
            if (++column == columns)
                column = 0, ++row;
        } else if (--column < 0) {
            column = columns - 1, --row;
        }
    }
    return false;
}

bool GridView::focusNextPrevChild(bool next) {
    // Tab steps through the editable cells before it leaves the grid; it leaves from the grid
    // itself, so the focus goes on to the control after the grid.
    const QKeyEvent key(QEvent::KeyPress, next ? Qt::Key_Tab : Qt::Key_Backtab,
                        next ? Qt::NoModifier : Qt::ShiftModifier);
    if (StepByKey(&key))
        return true;
    if (IsEditing())
        EndEdit(1);
    if (!hasFocus())
        setFocus(Qt::TabFocusReason);
    return QTableView::focusNextPrevChild(next);
}
