#include "commands/GridCommandSupport.h"

#include "commands/CommandSupport.h"
#include "commands/CommandTexts.h"
#include "data/InsertedText.h"
#include "form/CommandContext.h"
#include "form/ZvControls.h"
#include "platform/ValueGrammars.h"
#include "widgets/CListCtrlEx.h"

#include <algorithm>

using ZUDad::CXmlNode;

bool ResolveGrid(CommandContext& form, CommandResult& result, const QString& reference,
                 CListCtrlEx*& grid) {
    QWidget* window = nullptr;
    grid = nullptr;
    if (!ResolveControl(form, result, reference, window))
        return false;
    grid = qobject_cast<CListCtrlEx*>(window);
    return true;
}

bool RequireGrid(CommandContext& form, CommandResult& result, const QString& reference,
                 CListCtrlEx*& grid) {
    if (!ResolveGrid(form, result, reference, grid))
        return false;
    if (grid)
        return true;
    result.error = CommandTexts::kBadReference + reference;
    return false;
}

bool RequireGridById(CommandContext& form, CommandResult& result, int id, CListCtrlEx*& grid) {
    grid = GridById(form, id);
    if (grid)
        return true;
    result.error = CommandTexts::kBadReference + QString::number(id);
    return false;
}

CListCtrlEx* GridById(CommandContext& form, int id) {
    if (id == 0)
        return nullptr;
    return qobject_cast<CListCtrlEx*>(form.ControlByWindowId(WindowIdOfDocumentId(id)));
}

CXmlNode ParameterElement(const CXmlNode& command) {
    const CXmlNode where = command.GetChild("para_info_where");
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

void MarkChanged(CListCtrlEx& grid, int row) {
    if (grid.RowState(row) < 1)
        grid.SetRowState(row, 2);
}

void Renumber(CListCtrlEx& grid, int first) {
    for (int row = std::max(first, 0); row < grid.RowCount(); ++row) {
        const QString number = QString::number(row + 1);
        if (grid.CellText(row, 0) == number)
            continue;
        grid.SetCellText(row, 0, number);
        MarkChanged(grid, row);
    }
}

bool NumbersRows(const CListCtrlEx& grid) {
    const ColumnInfo* first = grid.Model()->Column(0);
    if (!first)
        return false;
    return first->title == QStringLiteral("行号") || first->title == QStringLiteral("序号") ||
           first->title == QLatin1String("LN");
}

void BindGridRow(const CListCtrlEx& grid, int row, QString& sql, int base) {
    sql.replace(QLatin1String("{{id?uid}}"), SealInsertedText(grid.RowKey(row)));
    for (int column = 0; column < grid.ColumnCount(); ++column)
        sql.replace(QStringLiteral("{{id?%1}}").arg(column + base),
                    EscapeQuotes(grid.CellText(row, column)));
}
