#pragma once
// The grid control of forms: a report list over GridModel with per-cell, per-row and
// per-column colours and read-only flags, a key and save state per row, header sorting, column
// widths handed to whoever keeps them, drag selection and Ctrl+C of the cell under the
// pointer. Row and column indexes are 0-based; an index out of range makes an operation do
// nothing and return 0, false or an empty text.
#include "widgets/GridModel.h"

#include <QTableView>

#include <functional>
#include <memory>
#include <vector>

class GridHeader;
class CellEditWatcher;
class QKeyEvent;

// One display column as a table definition describes it.
struct GridColumnSettings {
    QString title;
    int alignment = 0;         // 0 left, 1 right, 2 centre
    int width = 0;             // < 0: the header's default width
    int background = 0xFFFFFF; // packed r + g*256 + b*65536
    int text = 0;
    bool hidden = false;     // defined with width 0: it stays out of sight
    bool fixed = false;      // the user may neither resize nor sort it
    int sortKind = 0;        // kSortText, kSortNumber, kSortDate; 0 does not sort
    int editorControlId = 0; // the control that edits its cells (0 when none)
    int sumControlId = 0;    // the control that shows its total (0 when none)
};

struct GridSettings {
    bool alternateRowColors = true;
    bool startsHidden = false;
    bool listsColumns = false; // the definition has a column list, if an empty one
    std::vector<GridColumnSettings> columns;
};

class GridView : public QTableView {
    Q_OBJECT
public:
    using ItemData = ::ItemData;
    using CellInfo = ::CellInfo;

    explicit GridView(QWidget* parent = nullptr);
    ~GridView() override;

    static constexpr int kRowHeight = 20;
    static constexpr int kRestoredColumnWidth = 60;

    GridModel* Model() const { return model_; }
    GridHeader* Header() const { return header_; }

    // --- Identity ---
    void SetMenuUid(int menuUid) { menuUid_ = menuUid; }
    int MenuUid() const { return menuUid_; }
    // The `id` of the table element (the table id of the width keys).
    void SetDocumentId(int id) { documentId_ = id; }
    int DocumentId() const { return documentId_; }
    // When set (the default) a query fill takes its first field as the row keys.
    void SetKeyColumn(bool on) { keyColumn_ = on; }
    bool KeyColumn() const { return keyColumn_; }

    // --- Columns as the definition gives them ---
    void BuildColumns(const GridSettings& settings);
    // Gets the width of a column the user resized, fixed columns apart. Without one no width is
    // kept.
    using WidthWriter = std::function<void(int column, int width)>;
    void SetWidthWriter(WidthWriter writer) { widthWriter_ = std::move(writer); }
    // A positive `hidden` in the table_info options: the control creator hides the grid.
    bool StartsHidden() const { return startsHidden_; }
    // ",3,7," forms of 1-based column numbers; "" before any column was built.
    QString FixedColumns() const { return fixedColumns_; }
    QString HiddenColumns() const { return hiddenColumns_; }
    bool IsFixedColumn(int column) const;
    bool IsHiddenColumn(int column) const;
    // Enters a column into the fixed-column list (once) and stops the user resizing it.
    void AddFixedColumn(int column);
    // The `hidden_wnd` and `sum` control ids of a built column (0 when none).
    int ColumnEditorControlId(int column) const;
    int ColumnSumControlId(int column) const;

    // --- Rows ---
    int RowCount() const { return model_->RowCount(); }
    int InsertRow(int index, const QString& text);
    bool SetRowData(int row, void* userData, const QString& key, int state);
    QString RowKey(int row) const;
    int RowState(int row) const;
    // The row record for reading and writing in place; null when out of range.
    ItemData* RowData(int row) { return model_->RowData(row); }
    const ItemData* RowData(int row) const { return model_->RowData(row); }
    void SetRowKey(int row, const QString& key);
    void SetRowState(int row, int state);
    // The user changed the row's cells: a saved row becomes edited (3), a new one stays new.
    void MarkRowEdited(int row);
    // Rows a save would write that the user made or changed since the grid was filled or saved:
    // not the rows a query put in and nobody changed, nor the empty numbered entry row.
    bool HasUnsavedEdits() const;
    bool DeleteRow(int row);
    // A grid whose first column is titled 行号, 序号 or LN numbers its rows and keeps an empty
    // entry row at the bottom for typing.
    bool HasRowNumbers() const;
    // Appends that empty numbered entry row (state 1); its index.
    int AppendEntryRow();
    // The last row is such an entry row, new and still empty in columns 1 to 5: not data, so
    // saving and printing leave it out.
    bool EndsWithEntryRow() const;
    void DeleteAllRows();
    bool DeleteAllRowsAndColumns();

    // Bulk filling (see GridModel): one model reset for the whole fill.
    void BeginFill() { model_->BeginFill(); }
    int AppendRow(const QStringList& cells, const QString& key = {}, int state = 0) {
        return model_->AppendRow(cells, key, state);
    }
    void AppendRows(const QStringList& values, int columns, const QStringList& keys = {},
                    int state = 0) {
        model_->AppendRows(values, columns, keys, state);
    }
    void AppendRows(std::vector<GridRow>&& rows) { model_->AppendRows(std::move(rows)); }
    void EndFill() { model_->EndFill(); }

    // --- Columns ---
    // alignment: 0 left, 1 right, 2 centre; width < 0 = the header's default width.
    int InsertColumn(int index, const QString& title, int alignment, int width);
    int ColumnCount() const { return model_->ColumnCount(); }
    int ColumnWidth(int column) const;
    void SetColumnWidth(int column, int width);
    void RestoreCollapsedColumns();

    // --- Cells ---
    QString CellText(int row, int column) const { return model_->CellText(row, column); }
    bool SetCellText(int row, int column, const QString& text) {
        return model_->SetCellText(row, column, text);
    }

    // --- Selection ---
    // Selects or deselects one row; row -1 applies to every row.
    void SelectRow(int row, bool on);
    bool IsRowSelected(int row) const;
    QList<int> SelectedRows() const;
    int DragFirstRow() const { return dragFirst_; }
    int DragLastRow() const { return dragLast_; }

    // --- Colours and read-only flags ---
    bool SetColumnColors(int column, int background, int text);
    bool SetRowColors(int row, int background, int text);
    bool SetCellColors(int row, int column, int background, int text);
    bool SetColumnReadOnly(int column, bool on) { return model_->SetColumnReadOnly(column, on); }
    bool SetRowReadOnly(int row, bool on) { return model_->SetRowReadOnly(row, on); }
    bool SetCellReadOnly(int row, int column, bool on) {
        return model_->SetCellReadOnly(row, column, on);
    }
    bool IsCellReadOnly(int row, int column) const { return model_->IsCellReadOnly(row, column); }

    // --- Editing in place ---
    // The editor of a column's cells: its window is borrowed from the form, becomes a child of
    // the grid on its first edit and stays there, hidden, between edits.
    bool SetColumnEditor(int column, CellEditor::Step begin, CellEditor::Step end, QWidget* window);
    const CellEditor* ColumnEditor(int column) const;
    // Ends any open edit, then opens the cell's editor over it; true when an editor opened.
    // Refused outside the grid, on a read-only column, row or cell, and without a usable editor.
    bool BeginEdit(int row, int column);
    // Ends the open edit: `apply` 1 stores what the end step gives back, 0 does not.
    void EndEdit(int apply);
    // Ends the open edit as Enter in its editor does: applied, the grid keeps the focus and the
    // edit moves on to the next editable cell (the previous one with Shift).
    void EndEditByEnter(Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    bool IsEditing() const { return hook_ != nullptr; }
    // The cell being edited (found again when rows moved); -1 when none or its row is gone.
    int EditRow() const;
    int EditColumn() const { return IsEditing() ? editColumn_ : -1; }
    QWidget* EditorWindow() const { return IsEditing() ? currentEditor_.window : nullptr; }
    // Where keyboard stepping goes on from.
    int LastEditRow() const { return lastEditRow_; }
    int LastEditColumn() const { return lastEditColumn_; }
    // The row holding the row record with this serial; -1 when it is gone.
    int FindRowBySerial(quint64 serial) const;
    // Runs the cell's end step on a text its editor got outside an open edit (a pop-up form's
    // choice) and stores the result as an ended edit would.
    void ApplyEditorText(int row, int column);
    // Up, Down, Tab, Shift+Tab and Enter move the edit to another cell; true when an editor
    // opened there (the key is then used up).
    bool StepByKey(const QKeyEvent* event);
    // The open editor handles this key itself (its pick list is showing, and has taken the
    // arrows).
    bool EditorKeepsKey(const QKeyEvent* event) const;

    // --- Sorting ---
    // Ignored unless `flags` has one of the bits 1, 2, 4.
    bool SetColumnSort(int column, int flags, int kind);
    void SortByColumn(int column, bool toggle);
    int SortColumn() const { return sortColumn_; }
    // Direction of the last sort (the header shows an up arrow for ascending).
    bool SortAscending() const { return sortAscending_; }

Q_SIGNALS:
    // Clicks and double-clicks that did not open an editor; row and column are -1 off the cells.
    void clicked(int row, int column);
    void doubleClicked(int row, int column);
    void rightClicked(int row, int column);
    // A row became the focused and selected one.
    void rowFocusedAndSelected(int row);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void OnHeaderClicked(int column);
    void OnSectionResized(int column, int oldWidth, int newWidth);
    void CheckFocusedSelected();
    const CellEditor* EditorOf(int row, int column) const;
    // The end step (or, without one, the editor's text) and the store that follows it.
    void StoreEditorText(const CellEditor& editor, int row, int column, int apply);
    // The rectangle the editor covers, after scrolling the cell into view.
    QRect EditorRect(int row, int column);
    bool StepToCell(bool forward);
    bool PopUpRuleForDown();
    void WriteWidth(int column);
    void FlushPendingWidths();
    void ShowSortIndicator();
    void EndDrag();
    void SelectRange(int first, int last);
    // The column whose accumulated width from the left edge first reaches x; -1 past the end.
    int ColumnAtUnscrolledX(int x) const;

    GridModel* model_ = nullptr;
    GridHeader* header_ = nullptr;
    QString fixedColumns_;
    QString hiddenColumns_;
    std::vector<int> editorControlIds_;
    std::vector<int> sumControlIds_;
    bool keyColumn_ = true;
    bool startsHidden_ = false;
    int menuUid_ = 0;
    int documentId_ = 0;
    bool buildingColumns_ = false;
    WidthWriter widthWriter_;

    bool dragging_ = false;
    int dragFirst_ = -1;
    int dragLast_ = -1;
    bool pendingClick_ = false;
    int pressRow_ = -1;
    int pressColumn_ = -1;

    int sortColumn_ = -1;
    bool sortAscending_ = true;
    int focusedSelected_ = -1;
    bool insertingColumn_ = false;
    QList<int> pendingWidths_;
    // The open edit: its row (by index and, as rows move, by serial), column and editor.
    mutable int editRow_ = -1;
    int editColumn_ = -1;
    quint64 editSerial_ = 0;
    CellEditor currentEditor_;
    std::unique_ptr<CellEditWatcher> hook_;
    bool editLock_ = false;
    int lastEditRow_ = -1;
    int lastEditColumn_ = -1;
};
