// Cell texts written by commands: a whole column set, columns filled row by row from a query,
// blanks filled down, repeats blanked, search initials, a running balance and the column
// totals. Rows whose cells a command rewrites are marked so that the save writes them again;
// the fill-down and blank-repeat commands only change what the grid shows.
#include "commands/CommandSupport.h"
#include "commands/CommandTexts.h"
#include "commands/GridCommandSupport.h"
#include "commands/GridCommands.h"
#include "commands/PhoneticInitials.h"
#include "form/ColumnTotals.h"
#include "form/CommandContext.h"
#include "platform/AppMessage.h"
#include "platform/ValueGrammars.h"
#include "widgets/GridView.h"

using FormXml::XmlNode;

namespace {

constexpr int kWhite = 0xFFFFFF;
constexpr int kShade = 0xF0F0F0; // 240,240,240
constexpr int kBlack = 0;

// Fills the columns `target_ids` of every row from a query bound to that row.
bool FillColumnsFromQuery(CommandContext& form, CommandResult& result, const XmlNode& command,
                          int base) {
    GridView* grid = nullptr;
    if (!RequireGrid(form, result, command.GetAttribute("table_id"), grid))
        return false;
    const QList<int> targets = ColumnIndexes(command.GetAttribute("target_ids"), QLatin1Char(';'));
    DbSession& session = CommandSession(form, command);
    const XmlNode parameters = ParameterElement(command);
    for (int row = 0; row < grid->RowCount(); ++row) {
        QString sql = command.GetAttribute("values");
        BindGridRow(*grid, row, sql, base);
        BindWhereParameters(form, result, parameters, sql);
        sql = form.ExpandStatementPlaceholders(sql);
        QStringList values;
        if (QueryAllValues(session, sql, values) <= 0)
            continue;
        if (values.size() != targets.size()) {
            ShowAppMessage(CommandTexts::kCountMismatch, CommandTexts::kAppCaption);
            return false;
        }
        for (qsizetype k = 0; k < targets.size(); ++k)
            grid->SetCellText(row, targets[k], values[k]);
        MarkChanged(*grid, row);
    }
    return true;
}

int ColumnNumber(const XmlNode& element, const char* name) {
    return element.GetAttributeInt(name, 0) - 1;
}

} // namespace

bool SetColText(CommandContext& form, CommandResult& result, const XmlNode& command,
                int /*windowId*/) {
    GridView* grid = nullptr;
    if (!RequireGrid(form, result, command.GetAttribute("table_id"), grid))
        return false;
    const int column = ColumnNumber(command, "target_ids");
    const QString text = command.GetAttribute("values");
    if (column < 0 || column >= grid->ColumnCount())
        return true;
    for (int row = 0; row < grid->RowCount(); ++row) {
        grid->SetCellText(row, column, text);
        MarkChanged(*grid, row);
    }
    return true;
}

bool SetColsText(CommandContext& form, CommandResult& result, const XmlNode& command,
                 int /*windowId*/) {
    return FillColumnsFromQuery(form, result, command, 0);
}

bool SetColsText2(CommandContext& form, CommandResult& result, const XmlNode& command,
                  int /*windowId*/) {
    return FillColumnsFromQuery(form, result, command, 1);
}

// Each listed column starts with nothing remembered, so a blank in its second row takes the
// cell above it and never a value carried over from the previous column.
bool SetCellText(CommandContext& form, CommandResult& result, const XmlNode& command,
                 int /*windowId*/) {
    const XmlNode p = ParameterElement(command);
    GridView* grid = nullptr;
    if (!RequireGrid(form, result, p.GetAttribute("table_id"), grid))
        return false;
    const QString marker = p.GetAttribute("text");
    for (int column : ColumnIndexes(p.GetAttribute("col"), QLatin1Char(';'))) {
        if (column >= grid->ColumnCount())
            continue;
        QString remembered;
        for (int row = 1; row < grid->RowCount(); ++row) {
            const QString cell = grid->CellText(row, column);
            if (!cell.isEmpty() && cell != marker) {
                remembered = cell;
                continue;
            }
            if (remembered.isEmpty())
                remembered = grid->CellText(row - 1, column);
            grid->SetCellText(row, column, remembered);
        }
    }
    return true;
}

bool DelCellText(CommandContext& form, CommandResult& result, const XmlNode& command,
                 int /*windowId*/) {
    const XmlNode p = ParameterElement(command);
    GridView* grid = nullptr;
    if (!RequireGrid(form, result, p.GetAttribute("table_id"), grid))
        return false;
    const int column = ColumnNumber(p, "col");
    // Without a column to compare every row would repeat the one above and lose its cells.
    if (column < 0 || column >= grid->ColumnCount())
        return true;
    const int from = std::max(ColumnNumber(p, "col_from"), 0);
    const int to = std::min(ColumnNumber(p, "col_to"), grid->ColumnCount() - 1);
    QString previous;
    int groups = 0;
    int shade = kWhite;
    for (int row = 0; row < grid->RowCount(); ++row) {
        const QString text = grid->CellText(row, column);
        if (text != previous) {
            ++groups;
            shade = groups % 2 == 1 ? kWhite : kShade;
        } else {
            for (int c = from; c <= to; ++c)
                grid->SetCellText(row, c, QString());
        }
        grid->SetRowColors(row, shade, kBlack);
        previous = text;
    }
    return true;
}

bool SetColsPinyin(CommandContext& form, CommandResult& result, const XmlNode& command,
                   int /*windowId*/) {
    const XmlNode p = ParameterElement(command);
    GridView* grid = nullptr;
    if (!RequireGrid(form, result, p.GetAttribute("table_id"), grid))
        return false;
    const int target = ColumnNumber(p, "target_ids");
    const QList<int> sources = ColumnIndexes(p.GetAttribute("values"), QLatin1Char(','));
    if (target < 0 || target >= grid->ColumnCount())
        return true;
    for (int row = 0; row < grid->RowCount(); ++row) {
        QString text;
        for (int column : sources)
            text += grid->CellText(row, column);
        const QString initials = PhoneticInitials(text);
        if (grid->CellText(row, target) == initials)
            continue;
        grid->SetCellText(row, target, initials);
        MarkChanged(*grid, row);
    }
    return true;
}

// A running balance in column col3: the first row starts from its own col3 when that is set
// (an opening balance), else from col1 - col2; every later row adds its col1 - col2. A later
// row's col3 is only written: reading it too would add the balance of an earlier run again.
bool SumCols(CommandContext& form, CommandResult& result, const XmlNode& command,
             int /*windowId*/) {
    const XmlNode p = command.GetChild("para_info");
    GridView* grid = nullptr;
    if (!RequireGrid(form, result, p.GetAttribute("table_id"), grid))
        return false;
    const int in = ColumnNumber(p, "col1");
    const int out = ColumnNumber(p, "col2");
    const int balance = ColumnNumber(p, "col3");
    if (balance < 0 || balance >= grid->ColumnCount())
        return true;
    bool grouped = false;
    double total = 0;
    for (int row = 0; row < grid->RowCount(); ++row) {
        const QString texts[3] = {grid->CellText(row, in), grid->CellText(row, out),
                                  grid->CellText(row, balance)};
        for (const QString& text : texts)
            grouped = grouped || text.contains(QLatin1Char(','));
        const double a = GridModel::NumberValue(texts[0]);
        const double b = GridModel::NumberValue(texts[1]);
        const double c = GridModel::NumberValue(texts[2]);
        if (row == 0)
            total = c != 0 ? c : a - b;
        else
            total += a - b;
        grid->SetCellText(row, balance, FormatTotalNumber(total, grouped));
    }
    return true;
}

bool SumTableCol(CommandContext& form, CommandResult& /*result*/, const XmlNode& command,
                 int /*windowId*/) {
    if (GridView* grid = GridById(form, ParseIntegerText(command.GetAttribute("target_ids"))))
        RefreshColumnTotals(*grid);
    return true;
}
