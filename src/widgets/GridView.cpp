#include "widgets/GridView.h"

#include "widgets/CellEditWatcher.h"
#include "widgets/GridHeader.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>

namespace {

QString ListEntry(int column) {
    return QStringLiteral(",%1,").arg(column + 1);
}

Qt::Alignment AlignmentOf(int format) {
    switch (format) {
    case 1:
        return Qt::AlignRight;
    case 2:
        return Qt::AlignHCenter;
    default:
        return Qt::AlignLeft;
    }
}

} // namespace

GridView::GridView(QWidget* parent) : QTableView(parent) {
    model_ = new GridModel(this);
    header_ = new GridHeader(this);
    setHorizontalHeader(header_);
    setModel(model_);

    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab steps through the editable cells (StepByKey), or leaves the grid.
    setTabKeyNavigation(false);
    setShowGrid(true);
    setWordWrap(false);
    setFrameShadow(QFrame::Sunken);

    header_->setVisible(true);
    header_->setSectionsClickable(true);
    header_->setHighlightSections(false);
    header_->setStretchLastSection(false);
    // Users may collapse a column entirely; RestoreCollapsedColumns brings such columns back.
    header_->setMinimumSectionSize(0);
    header_->setSortIndicatorShown(true);
    header_->setSortIndicator(-1, Qt::AscendingOrder);
    header_->SetFixedTest([this](int column) { return IsFixedColumn(column); });

    verticalHeader()->setVisible(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(kRowHeight);
    verticalHeader()->setDefaultSectionSize(kRowHeight);

    model_->SetDefaultColors(QColorToGridColor(palette().color(QPalette::Base)),
                             QColorToGridColor(palette().color(QPalette::Text)));

    connect(header_, &QHeaderView::sectionClicked, this, &GridView::OnHeaderClicked);
    connect(header_, &QHeaderView::sectionResized, this, &GridView::OnSectionResized);
    connect(header_, &GridHeader::mouseReleased, this, &GridView::FlushPendingWidths);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            &GridView::CheckFocusedSelected);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &GridView::CheckFocusedSelected);
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { focusedSelected_ = -1; });
}

GridView::~GridView() {
    // No end step runs for a grid that goes away with its form; only the watch ends.
    hook_.reset();
}

// --- Columns from the definition ---

void GridView::BuildColumns(const GridSettings& settings) {
    model_->SetAlternateRowColors(settings.alternateRowColors);
    startsHidden_ = settings.startsHidden;
    if (!settings.listsColumns)
        return;
    buildingColumns_ = true;
    for (const GridColumnSettings& columnSettings : settings.columns) {
        const int column = ColumnCount();
        if (columnSettings.hidden)
            hiddenColumns_ += QLatin1Char(',') + QString::number(column + 1);
        InsertColumn(column, columnSettings.title, columnSettings.alignment, columnSettings.width);
        model_->SetColumnColors(column, columnSettings.background, columnSettings.text);
        if (columnSettings.fixed || columnSettings.hidden) {
            fixedColumns_ += QLatin1Char(',') + QString::number(column + 1);
            header_->setSectionResizeMode(column, QHeaderView::Fixed);
        }
        if (columnSettings.sortKind != 0)
            SetColumnSort(column, kSortable, columnSettings.sortKind);

        editorControlIds_.resize(size_t(column) + 1, 0);
        sumControlIds_.resize(size_t(column) + 1, 0);
        editorControlIds_[size_t(column)] = columnSettings.editorControlId;
        sumControlIds_[size_t(column)] = columnSettings.sumControlId;
    }
    // Every entry enclosed in commas, so ",3," finds column 3 and not 13.
    fixedColumns_ += QLatin1Char(',');
    hiddenColumns_ += QLatin1Char(',');
    buildingColumns_ = false;
}

bool GridView::IsFixedColumn(int column) const {
    return fixedColumns_.contains(ListEntry(column));
}

bool GridView::IsHiddenColumn(int column) const {
    return hiddenColumns_.contains(ListEntry(column));
}

void GridView::AddFixedColumn(int column) {
    if (!model_->ValidColumn(column) || IsFixedColumn(column))
        return;
    // The list always ends with a comma once columns exist, so each entry stays enclosed.
    if (fixedColumns_.isEmpty())
        fixedColumns_ = QStringLiteral(",");
    fixedColumns_ += QString::number(column + 1) + QLatin1Char(',');
    header_->setSectionResizeMode(column, QHeaderView::Fixed);
}

int GridView::ColumnEditorControlId(int column) const {
    return column >= 0 && size_t(column) < editorControlIds_.size()
               ? editorControlIds_[size_t(column)]
               : 0;
}

int GridView::ColumnSumControlId(int column) const {
    return column >= 0 && size_t(column) < sumControlIds_.size() ? sumControlIds_[size_t(column)]
                                                                 : 0;
}

// --- Rows ---

int GridView::InsertRow(int index, const QString& text) {
    return model_->InsertRow(index, text);
}

bool GridView::SetRowData(int row, void* userData, const QString& key, int state) {
    ItemData* data = model_->RowData(row);
    if (!data)
        return false;
    data->userData = userData;
    data->key = key;
    data->state = state;
    return true;
}

QString GridView::RowKey(int row) const {
    const ItemData* data = model_->RowData(row);
    return data ? data->key : QString();
}

int GridView::RowState(int row) const {
    const ItemData* data = model_->RowData(row);
    return data ? data->state : 0;
}

void GridView::SetRowKey(int row, const QString& key) {
    if (ItemData* data = model_->RowData(row))
        data->key = key;
}

void GridView::SetRowState(int row, int state) {
    if (ItemData* data = model_->RowData(row))
        data->state = state;
}

void GridView::MarkRowEdited(int row) {
    ItemData* data = model_->RowData(row);
    if (!data)
        return;
    if (data->state != 1)
        data->state = 3;
    data->fromQuery = false;
}

bool GridView::HasUnsavedEdits() const {
    const int rows = EndsWithEntryRow() ? RowCount() - 1 : RowCount();
    for (int row = 0; row < rows; ++row) {
        const ItemData* data = model_->RowData(row);
        if (data->state != 0 && !data->fromQuery)
            return true;
    }
    return false;
}

bool GridView::HasRowNumbers() const {
    const ColumnInfo* first = model_->Column(0);
    const QString title = first ? first->title : QString();
    return title == QStringLiteral("行号") || title == QStringLiteral("序号") ||
           title == QLatin1String("LN");
}

int GridView::AppendEntryRow() {
    const int row = InsertRow(RowCount(), QString::number(RowCount() + 1));
    SetRowState(row, 1);
    return row;
}

bool GridView::EndsWithEntryRow() const {
    const int last = RowCount() - 1;
    if (last < 0 || !HasRowNumbers() || RowState(last) != 1)
        return false;
    const int lastColumn = std::min(5, ColumnCount() - 1);
    for (int column = 1; column <= lastColumn; ++column)
        if (!CellText(last, column).isEmpty())
            return false;
    return true;
}

// An edit open on a deleted row ends without its text: the end step finds its row gone.
bool GridView::DeleteRow(int row) {
    const bool deleted = model_->DeleteRow(row);
    if (deleted && IsEditing() && EditRow() < 0)
        EndEdit(0);
    return deleted;
}

void GridView::DeleteAllRows() {
    model_->DeleteAllRows();
    if (IsEditing())
        EndEdit(0);
}

bool GridView::DeleteAllRowsAndColumns() {
    DeleteAllRows();
    while (ColumnCount() > 0)
        model_->DeleteColumn(ColumnCount() - 1);
    return ColumnCount() == 0;
}

// --- Columns ---

int GridView::InsertColumn(int index, const QString& title, int alignment, int width) {
    const int column = model_->InsertColumn(index, title, AlignmentOf(alignment));
    if (column < 0)
        return -1;
    // A new column is not a width the user chose: nothing is remembered for it.
    insertingColumn_ = true;
    header_->resizeSection(column, width < 0 ? header_->defaultSectionSize() : width);
    insertingColumn_ = false;
    return column;
}

int GridView::ColumnWidth(int column) const {
    return model_->ValidColumn(column) ? header_->sectionSize(column) : 0;
}

void GridView::SetColumnWidth(int column, int width) {
    if (model_->ValidColumn(column) && width >= 0)
        header_->resizeSection(column, width);
}

void GridView::RestoreCollapsedColumns() {
    for (int column = 0; column < ColumnCount(); ++column)
        if (header_->sectionSize(column) <= 0 && !IsFixedColumn(column) && !IsHiddenColumn(column))
            header_->resizeSection(column, kRestoredColumnWidth);
}

void GridView::OnSectionResized(int column, int /*oldWidth*/, int /*newWidth*/) {
    if (buildingColumns_ || insertingColumn_ || IsFixedColumn(column) || !widthWriter_)
        return;
    // A divider drag reports every pixel; the file is written once when the button goes up.
    if (QGuiApplication::mouseButtons() & Qt::LeftButton) {
        if (!pendingWidths_.contains(column))
            pendingWidths_.append(column);
    } else {
        WriteWidth(column);
    }
    viewport()->update();
}

void GridView::FlushPendingWidths() {
    const QList<int> columns = std::exchange(pendingWidths_, {});
    for (int column : columns)
        WriteWidth(column);
}

void GridView::WriteWidth(int column) {
    if (model_->ValidColumn(column))
        widthWriter_(column, header_->sectionSize(column));
}

// --- Selection ---

void GridView::SelectRow(int row, bool on) {
    if (ColumnCount() == 0 || RowCount() == 0)
        return;
    const auto command = (on ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                         QItemSelectionModel::Rows;
    if (row == -1) {
        selectionModel()->select(
            QItemSelection(model_->index(0, 0), model_->index(RowCount() - 1, 0)), command);
    } else if (model_->ValidRow(row)) {
        selectionModel()->select(model_->index(row, 0), command);
    }
}

bool GridView::IsRowSelected(int row) const {
    return model_->ValidRow(row) && selectionModel()->isRowSelected(row, {});
}

QList<int> GridView::SelectedRows() const {
    QList<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void GridView::SelectRange(int first, int last) {
    if (first < 0 || last < first || ColumnCount() == 0)
        return;
    selectionModel()->select(QItemSelection(model_->index(first, 0), model_->index(last, 0)),
                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void GridView::CheckFocusedSelected() {
    const int row = currentIndex().row();
    const int now = IsRowSelected(row) ? row : -1;
    if (now == focusedSelected_)
        return;
    focusedSelected_ = now;
    if (now >= 0)
        Q_EMIT rowFocusedAndSelected(now);
}

// --- Colours ---

bool GridView::SetColumnColors(int column, int background, int text) {
    return model_->SetColumnColors(column, background, text);
}

bool GridView::SetRowColors(int row, int background, int text) {
    return model_->SetRowColors(row, background, text);
}

bool GridView::SetCellColors(int row, int column, int background, int text) {
    return model_->SetCellColors(row, column, background, text);
}

// --- Sorting ---

bool GridView::SetColumnSort(int column, int flags, int kind) {
    ColumnInfo* info = model_->Column(column);
    if (!info || (flags & (kSortAscending | kSortDescending | kSortable)) == 0)
        return false;
    info->sortFlags = flags;
    info->sortKind = kind;
    return true;
}

void GridView::SortByColumn(int column, bool toggle) {
    ColumnInfo* info = model_->Column(column);
    if (!info || (info->sortFlags & (kSortAscending | kSortDescending | kSortable)) == 0)
        return;
    int& flags = info->sortFlags;
    if (flags & kSortable) {
        // Descending is the starting state and the toggle runs before the sort, so the first
        // click sorts ascending.
        if ((flags & (kSortAscending | kSortDescending)) == 0)
            flags |= kSortDescending;
        if (toggle) {
            const int direction = flags & (kSortAscending | kSortDescending);
            flags = (flags & ~(kSortAscending | kSortDescending)) | ((direction & 1) << 1) |
                    ((direction & 2) >> 1);
        }
    }
    sortColumn_ = column;
    sortAscending_ = (flags & kSortAscending) != 0;
    model_->SortRows(column, info->sortKind, sortAscending_);
    ShowSortIndicator();
}

void GridView::ShowSortIndicator() {
    // Qt draws its "ascending" indicator as a down arrow; this grid shows an up arrow for an
    // ascending sort, hence the inverted order.
    header_->setSortIndicator(sortColumn_,
                              sortAscending_ ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void GridView::OnHeaderClicked(int column) {
    if (!IsFixedColumn(column)) {
        EndEdit(true);
        SortByColumn(column, true);
    }
    // The header flips its indicator on every click by itself; put back the grid's own.
    ShowSortIndicator();
}

// --- Mouse and keyboard ---

void GridView::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    const int row = index.isValid() ? index.row() : -1;
    const int column = index.isValid() ? index.column() : -1;
    if (event->button() != Qt::LeftButton) {
        QTableView::mousePressEvent(event);
        if (event->button() == Qt::RightButton)
            Q_EMIT rightClicked(row, column);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    QTableView::mousePressEvent(event);
    dragging_ = true;
    dragFirst_ = dragLast_ = row;
    pendingClick_ = false;
    // A click that opens an editor is the editor's; the form does not see it.
    const bool plain = (event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier)) == 0;
    if (plain && row >= 0 && BeginEdit(row, column))
        return;
    pendingClick_ = true;
    pressRow_ = row;
    pressColumn_ = column;
}

void GridView::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || !(event->buttons() & Qt::LeftButton) || !hasFocus()) {
        QTableView::mouseMoveEvent(event);
        return;
    }
    const int y = qRound(event->position().y());
    const int row = rowAt(y);
    if (row >= 0) {
        dragFirst_ = dragFirst_ < 0 ? row : std::min(dragFirst_, row);
        dragLast_ = std::max(dragLast_, row);
        SelectRange(dragFirst_, dragLast_);
    } else if (RowCount() > 0 &&
               y >= rowViewportPosition(RowCount() - 1) + rowHeight(RowCount() - 1)) {
        SelectRow(-1, true);
    }
}

void GridView::mouseReleaseEvent(QMouseEvent* event) {
    QTableView::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    EndDrag();
    if (std::exchange(pendingClick_, false))
        Q_EMIT clicked(pressRow_, pressColumn_);
}

void GridView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QTableView::mouseDoubleClickEvent(event);
        return;
    }
    const QModelIndex index = indexAt(event->position().toPoint());
    const int row = index.isValid() ? index.row() : -1;
    const int column = index.isValid() ? index.column() : -1;
    if (row >= 0 && BeginEdit(row, column))
        return;
    Q_EMIT doubleClicked(row, column);
}

void GridView::keyPressEvent(QKeyEvent* event) {
    if (StepByKey(event)) {
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Copy) && hasFocus()) {
        const QPoint pos = viewport()->mapFromGlobal(QCursor::pos());
        const int row = rowAt(pos.y());
        const int column = ColumnAtUnscrolledX(pos.x());
        if (row >= 0 && column >= 0)
            QGuiApplication::clipboard()->setText(CellText(row, column));
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void GridView::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    EndDrag();
}

void GridView::EndDrag() {
    dragging_ = false;
    dragFirst_ = dragLast_ = -1;
}

int GridView::ColumnAtUnscrolledX(int x) const {
    int right = 0;
    for (int column = 0; column < ColumnCount(); ++column) {
        right += header_->sectionSize(column);
        if (right >= x)
            return column;
    }
    return -1;
}
