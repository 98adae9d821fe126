#include "commands/GridCommandSupport.h"

#include "commands/CommandSupport.h"
#include "commands/CommandTexts.h"
#include "data/InsertedText.h"
#include "form/CommandContext.h"
#include "form/FormControls.h"
#include "platform/ValueGrammars.h"
#include "widgets/GridView.h"

#include <algorithm>

using FormXml::XmlNode;

bool ResolveGrid(CommandContext& form, CommandResult& result, const QString& reference,
                 GridView*& grid) {
    QWidget* window = nullptr;
    grid = nullptr;
    if (!ResolveControl(form, result, reference, window))
        return false;
    grid = qobject_cast<GridView*>(window);
    return true;
}

bool RequireGrid(CommandContext& form, CommandResult& result, const QString& reference,
                 GridView*& grid) {
    if (!ResolveGrid(form, result, reference, grid))
        return false;
    if (grid)
        return true;
    result.error = CommandTexts::kBadReference + reference;
    return false;
}

bool RequireGridById(CommandContext& form, CommandResult& result, int id, GridView*& grid) {
    grid = GridById(form, id);
    if (grid)
        return true;
    result.error = CommandTexts::kBadReference + QString::number(id);
    return false;
}

GridView* GridById(CommandContext& form, int id) {
    if (id == 0)
        return nullptr;
    return qobject_cast<GridView*>(form.ControlByWindowId(WindowIdOfDocumentId(id)));
}

XmlNode ParameterElement(const XmlNode& command) {
    const XmlNode where = command.GetChild("para_info_where");
    return where.IsEmpty() ? command.GetChild("para_info") : where;
}

QList<int> ColumnIndexes(const QString& text, QChar separator) {
    QList<int> columns;
    for (const QString& piece : text.split(separator, Qt::SkipEmptyParts)) {
        const int number = ParseIntegerText(piece);
        if (number > 0)
            columns.append(number - 1);
    }
    return columns;
}

int ColorOf(const QString& text, int unset) {
    return text.trimmed().isEmpty() ? unset : ParseRgbText(text);
}

void MarkChanged(GridView& grid, int row) {
    if (grid.RowState(row) < 1)
        grid.SetRowState(row, 2);
}

void Renumber(GridView& grid, int first) {
    for (int row = std::max(first, 0); row < grid.RowCount(); ++row) {
        const QString number = QString::number(row + 1);
        if (grid.CellText(row, 0) == number)
            continue;
        grid.SetCellText(row, 0, number);
        MarkChanged(grid, row);
    }
}

bool NumbersRows(const GridView& grid) {
    const ColumnInfo* first = grid.Model()->Column(0);
    if (!first)
        return false;
    return first->title == QStringLiteral("行号") || first->title == QStringLiteral("序号") ||
           first->title == QLatin1String("LN");
}

void BindGridRow(const GridView& grid, int row, QString& sql, int base) {
    sql.replace(QLatin1String("{{id?uid}}"), SealInsertedText(grid.RowKey(row)));
    for (int column = 0; column < grid.ColumnCount(); ++column)
        sql.replace(QStringLiteral("{{id?%1}}").arg(column + base),
                    SealLiteral(grid.CellText(row, column)));
}
