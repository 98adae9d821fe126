#pragma once
// The grid's data: rows of cell texts with their row records, and the column records. Rows live
// in one contiguous vector and carry their record with them, so sorting moves keys and states
// along with the cells. Colours and read-only flags are sparse: a row or column record holds
// plain fields, and per-cell overrides exist only for rows that have any.
#include <QAbstractTableModel>
#include <QColor>
#include <QStringList>

#include "widgets/RowTexts.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

class GridView;
class QWidget;

// Colours are 0x00BBGGRR (red in the low byte); -1 = not set.
inline constexpr int kColorNotSet = -1;
QColor GridColorToQColor(int color);
int QColorToGridColor(const QColor& color);

// An in-place editor of a cell, a row or a column. Both steps see the editor window, the cell,
// the cell's text, the row's user data, the grid and a flag. The begin step gets the cell text
// and flag 1. The end step gets the cell text and the apply flag (1 apply, 0 not), may replace
// the text, and answers 0 (leave the cell), another value (store the text) or -1 (store it and
// sort the grid again by the column).
struct CellEditor {
    using Step = std::function<int(QWidget* window, int row, int column, QString& text,
                                   void* userData, GridView* grid, int flag)>;
    Step begin;
    Step end;
    QWidget* window = nullptr;

    bool Usable() const { return bool(begin) || window != nullptr; }
};

// A number no other row of the process has had; it travels with its row through sorts, so an
// edit finds its row again after the rows moved.
quint64 NextRowSerial();

struct CellInfo {
    int column = 0;
    CellEditor editor;
    bool readOnly = false;
    int background = kColorNotSet;
    int text = kColorNotSet;
};

// The record of one row: its database key and save state (0 saved, 1 new, 2 changed in bulk,
// 3 edited) plus the row's own settings.
struct ItemData {
    quint64 serial = NextRowSerial();
    QString key;
    int state = 0;
    // A new row a query put in, unchanged since: a save writes it, but it is none of the user's
    // work, so closing the form does not ask about it.
    bool fromQuery = false;
    CellEditor editor;
    bool readOnly = false;
    int background = kColorNotSet;
    int text = kColorNotSet;
    void* userData = nullptr;
    // Created on the first per-cell setting of the row.
    std::unique_ptr<std::vector<CellInfo>> cells;

    CellInfo* FindCell(int column) const;
    CellInfo& Cell(int column);
};

// One row as the grid keeps it: its cells and its record.
struct GridRow {
    RowTexts cells;
    ItemData data;
};

// Sort flag bits and kinds of a column.
enum GridSortFlags { kSortAscending = 1, kSortDescending = 2, kSortable = 4 };
enum GridSortKind { kSortNumber = 2, kSortText = 5, kSortDate = 7 };

struct ColumnInfo {
    QString title;
    Qt::Alignment alignment = Qt::AlignLeft;
    CellEditor editor;
    bool readOnly = false;
    int background = kColorNotSet;
    int text = kColorNotSet;
    int sortFlags = 0;
    int sortKind = 0;
};

class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit GridModel(QObject* parent = nullptr);

    // --- Qt model ---
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // --- Rows ---
    int RowCount() const { return int(rows_.size()); }
    bool ValidRow(int row) const { return row >= 0 && row < RowCount(); }
    bool ValidColumn(int column) const { return column >= 0 && column < ColumnCount(); }
    bool ValidCell(int row, int column) const { return ValidRow(row) && ValidColumn(column); }

    // New rows alternate white and 0xFCFCFC backgrounds unless switched off.
    void SetAlternateRowColors(bool on) { alternate_ = on; }
    bool AlternateRowColors() const { return alternate_; }

    int InsertRow(int index, const QString& text);
    bool DeleteRow(int row);
    void DeleteAllRows();

    // Bulk filling: between BeginFill and EndFill rows are appended without any per-row
    // notification; views see one reset at the end. Nested fills are allowed.
    void BeginFill();
    void EndFill();
    // Appends one row of cells; usable inside or outside a fill.
    int AppendRow(QStringList cells, const QString& key = {}, int state = 0);
    // Appends values.size() / columns rows taken row by row from `values`; keys (one per row,
    // optional) become the row keys. One reset at most.
    void AppendRows(const QStringList& values, int columns, const QStringList& keys = {},
                    int state = 0);
    // Appends rows built elsewhere (cells and key; the alternate colours are applied here),
    // taking them over without copying. One reset at most.
    void AppendRows(std::vector<GridRow>&& rows);

    ItemData* RowData(int row) { return ValidRow(row) ? &rows_[size_t(row)].data : nullptr; }
    const ItemData* RowData(int row) const {
        return ValidRow(row) ? &rows_[size_t(row)].data : nullptr;
    }

    QString CellText(int row, int column) const;
    bool SetCellText(int row, int column, const QString& text);
    // The whole row's cells (shorter than the column count when the tail is empty).
    QStringList RowCells(int row) const {
        return ValidRow(row) ? rows_[size_t(row)].cells.ToList() : QStringList();
    }

    // --- Columns ---
    int ColumnCount() const { return int(columns_.size()); }
    int InsertColumn(int index, const QString& title, Qt::Alignment alignment);
    bool DeleteColumn(int column);
    ColumnInfo* Column(int column) {
        return ValidColumn(column) ? &columns_[size_t(column)] : nullptr;
    }
    const ColumnInfo* Column(int column) const {
        return ValidColumn(column) ? &columns_[size_t(column)] : nullptr;
    }

    // --- Colours and read-only flags ---
    void SetDefaultColors(int background, int text);
    int DefaultBackground() const { return defaultBackground_; }
    int DefaultText() const { return defaultText_; }
    bool SetColumnColors(int column, int background, int text);
    bool SetRowColors(int row, int background, int text);
    bool SetCellColors(int row, int column, int background, int text);
    // The (background, text) pair a cell is drawn with: the most specific level (cell, row,
    // column) that has any colour set, unset members from the defaults.
    std::pair<int, int> ResolveColors(int row, int column) const;

    // The whole grid read-only: no cell can be edited, whatever its own flags say.
    void SetReadOnly(bool on) { readOnly_ = on; }
    bool ReadOnly() const { return readOnly_; }
    bool SetColumnReadOnly(int column, bool on);
    bool SetRowReadOnly(int row, bool on);
    bool SetCellReadOnly(int row, int column, bool on);
    // The grid or any of the three levels locks the cell.
    bool IsCellReadOnly(int row, int column) const;

    // --- Sorting ---
    // Three-way comparison of two cell texts of the given kind, as the sort uses it; the number
    // kind never answers 0 (the first is the greater when equal).
    static int CompareCells(const QString& a, const QString& b, int kind);
    // Reorders the rows by the column's cells; records and selection follow their rows.
    void SortRows(int column, int kind, bool ascending);

    static double NumberValue(const QString& text);
    // Milliseconds since the zero date (30 December 1899 00:00); unparsable texts give 0.
    static qint64 DateValue(const QString& text, bool* ok = nullptr);

private:
    using Row = GridRow;
    void ApplyAlternateColors(ItemData& data, int index) const;
    void EmitRowChanged(int row);

    std::vector<Row> rows_;
    std::vector<ColumnInfo> columns_;
    bool alternate_ = true;
    bool readOnly_ = false;
    int fillDepth_ = 0;
    int defaultBackground_ = 0xFFFFFF;
    int defaultText_ = 0;
};
