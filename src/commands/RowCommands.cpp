// Detail rows as the user arranges them before saving: added, deleted, moved up and down,
// selected. Row numbers in column 0 follow, and every row whose number or place changed is
// marked so that the save writes it again.
#include "commands/CommandSupport.h"
#include "commands/CommandTexts.h"
#include "commands/GridCommandSupport.h"
#include "commands/GridCommands.h"
#include "form/ColumnTotals.h"
#include "form/CommandContext.h"
#include "widgets/GridView.h"

#include <QItemSelectionModel>

using FormXml::XmlNode;

namespace {

const QString kPrompt = QStringLiteral("请输入...");

// Exchanges two rows' keys, states and cells, column 0 (the row number) apart. Both rows now
// stand at another place, so a saved one is saved again with its new number.
void ExchangeRows(GridView& grid, int a, int b) {
    ItemData* first = grid.RowData(a);
    ItemData* second = grid.RowData(b);
    if (!first || !second)
        return;
    std::swap(first->key, second->key);
    std::swap(first->state, second->state);
    for (int column = 1; column < grid.ColumnCount(); ++column) {
        const QString text = grid.CellText(a, column);
        grid.SetCellText(a, column, grid.CellText(b, column));
        grid.SetCellText(b, column, text);
    }
    MarkChanged(grid, a);
    MarkChanged(grid, b);
}

// Selects `rows` moved by `offset`, and nothing else.
void MoveSelection(GridView& grid, const QList<int>& rows, int offset) {
    grid.SelectRow(-1, false);
    for (int row : rows)
        grid.SelectRow(row + offset, true);
    if (!rows.isEmpty())
        grid.selectionModel()->setCurrentIndex(grid.Model()->index(rows.first() + offset, 0),
                                               QItemSelectionModel::NoUpdate);
}

QString WithoutKey(const QString& keys, const QString& key) {
    QStringList kept = keys.split(QLatin1Char(','), Qt::SkipEmptyParts);
    kept.removeAll(key);
    return kept.join(QLatin1Char(','));
}

} // namespace

bool AddRow(CommandContext& form, CommandResult& result, const XmlNode& command, int /*windowId*/) {
    const XmlNode p = command.GetChild("para_info");
    GridView* grid = nullptr;
    if (!RequireGrid(form, result, p.GetAttribute("table_id"), grid))
        return false;
    const int whichRow = p.GetAttributeInt("which_row", 0);
    int index = grid->RowCount();
    if (whichRow == -1) {
        index = 0;
    } else if (whichRow != 1) {
        const QList<int> selected = grid->SelectedRows();
        if (!selected.isEmpty())
            index = selected.first();
    }
    index = grid->InsertRow(index, QString());
    grid->SetRowData(index, nullptr, QString(), 1);
    if (p.GetAttributeBool("rownum", false)) {
        Renumber(*grid, index);
        return true;
    }
    grid->SetCellText(index, 0, kPrompt);
    grid->BeginEdit(index, 0);
    return true;
}

bool DelRow(CommandContext& form, CommandResult& result, const XmlNode& command, int /*windowId*/) {
    const XmlNode p = command.GetChild("para_info");
    GridView* grid = nullptr;
    if (!RequireGridById(form, result, p.GetAttributeInt("table_id", 0), grid))
        return false;
    const QList<int> selected = grid->SelectedRows();
    if (selected.isEmpty())
        return true;
    QString deleted = form.DeletedKeys();
    QString loaded = form.LoadedKeysText();
    for (int row : selected) {
        const QString key = grid->RowKey(row);
        // A row that never reached the database has nothing to delete there; an empty key
        // would also break the list the delete statement reads.
        if (grid->RowState(row) == 1 || key.isEmpty() || key == QLatin1String("0"))
            continue;
        if (!deleted.isEmpty())
            deleted += QLatin1Char(',');
        deleted += key;
        loaded = WithoutKey(loaded, key);
    }
    form.SetDeletedKeys(deleted);
    form.SetLoadedKeys(loaded);
    for (qsizetype i = selected.size() - 1; i >= 0; --i)
        grid->DeleteRow(selected[i]);
    if (p.GetAttributeBool("rownum", false))
        Renumber(*grid, selected.first());
    RefreshColumnTotals(*grid);
    return true;
}

bool UpRow(CommandContext& form, CommandResult& result, const XmlNode& command, int /*windowId*/) {
    GridView* grid = nullptr;
    if (!RequireGrid(form, result, command.GetAttribute("table_id", QStringLiteral("0")), grid))
        return false;
    const QList<int> selected = grid->SelectedRows();
    if (selected.isEmpty() || selected.first() == 0)
        return true;
    for (int row = selected.first(); row <= selected.last(); ++row)
        ExchangeRows(*grid, row, row - 1);
    MoveSelection(*grid, selected, -1);
    return true;
}

bool DownRow(CommandContext& form, CommandResult& result, const XmlNode& command,
             int /*windowId*/) {
    GridView* grid = nullptr;
    if (!RequireGrid(form, result, command.GetAttribute("table_id", QStringLiteral("0")), grid))
        return false;
    const QList<int> selected = grid->SelectedRows();
    if (selected.isEmpty() || selected.last() >= grid->RowCount() - 1)
        return true;
    for (int row = selected.last(); row >= selected.first(); --row)
        ExchangeRows(*grid, row, row + 1);
    MoveSelection(*grid, selected, 1);
    return true;
}

bool SelectAll(CommandContext& form, CommandResult& /*result*/, const XmlNode& command,
               int /*windowId*/) {
    if (GridView* grid = GridById(form, command.GetAttributeInt("table_id", 0)))
        grid->SelectRow(-1, true);
    return true;
}

// The grid has no check boxes of its own: the rows a user marks are the rows selected
// (Ctrl+click, Shift+click, dragging).
bool GetIdsFromList(CommandContext& form, CommandResult& result, const XmlNode& command,
                    int /*windowId*/) {
    const XmlNode p = command.GetChild("para_info");
    GridView* grid = nullptr;
    if (!RequireGridById(form, result, p.GetAttributeInt("table_id", 0), grid))
        return false;
    QStringList keys;
    for (int row : grid->SelectedRows())
        keys.append(grid->RowKey(row));
    QWidget* target = form.ControlOfFormOrPages(p.GetAttributeInt("target_id", 0));
    if (!target || target == form.FormWidget()) {
        result.error = CommandTexts::kBadReference + p.GetAttribute("target_id");
        return false;
    }
    WriteControlValue(target, keys.join(QLatin1Char(',')));
    return true;
}
