// Colours by rule: rows or cells coloured by what a column holds (negative stock in red, a
// state in grey), by a colour written in a column, or by the column definitions. Colours are
// kept in the row records, so they stay with their rows when the grid is sorted.
#include "commands/GridCommandSupport.h"
#include "commands/GridCommands.h"
#include "form/CommandContext.h"
#include "platform/ValueGrammars.h"
#include "widgets/GridView.h"

using FormXml::XmlNode;
using FormXml::XmlNodes;

namespace {

constexpr int kWhite = 0xFFFFFF;

// One colouring rule: which rows it matches by the text of one column, and its colours
// (unset colours leave the row's own).
struct ColorRule {
    int background = kColorNotSet;
    int text = kColorNotSet;
    int column = -1;
    QString match;
    int empty = 0;

    static ColorRule Read(const XmlNode& element) {
        ColorRule rule;
        rule.background = ColorOf(element.GetAttribute("color_bg"), kColorNotSet);
        rule.text = ColorOf(element.GetAttribute("color_text"), kColorNotSet);
        rule.column = element.GetAttributeInt("text_col", 0) - 1;
        rule.match = element.GetAttribute("text");
        rule.empty = element.GetAttributeInt("empty", 0);
        return rule;
    }

    // empty 1: the cell is empty; 2: it is not; otherwise "-0" matches negative amounts and
    // another text matches itself. A rule without any of these matches nothing.
    bool Matches(const QString& value) const {
        if (empty == 1)
            return value.isEmpty();
        if (empty == 2)
            return !value.isEmpty();
        if (match == QLatin1String("-0"))
            return value.startsWith(QLatin1Char('-'));
        return !match.isEmpty() && value == match;
    }
};

void ColorRow(GridView& grid, int row, int background, int text) {
    const ItemData* data = grid.RowData(row);
    if (!data)
        return;
    grid.SetRowColors(row, background == kColorNotSet ? data->background : background,
                      text == kColorNotSet ? data->text : text);
}

void ColorCell(GridView& grid, int row, int column, int background, int text) {
    const ItemData* data = grid.RowData(row);
    if (!data || column < 0 || column >= grid.ColumnCount())
        return;
    const CellInfo* cell = data->FindCell(column);
    grid.SetCellColors(row, column,
                       background == kColorNotSet && cell ? cell->background : background,
                       text == kColorNotSet && cell ? cell->text : text);
}

// The element of the grid's definition below "table[@id=N]/PARA/" of the form's dialog.
XmlNode GridDefinition(CommandContext& form, const GridView& grid, const QString& path) {
    const XmlNode dialog = form.Definition().GetRoot().GetChild("body").GetChild("dialog");
    return dialog.SelectSingleNode(
        QStringLiteral("table[@id=%1]/PARA/%2").arg(grid.DocumentId()).arg(path));
}

} // namespace

bool SetRowColor(CommandContext& form, CommandResult& result, const XmlNode& command,
                 int /*windowId*/) {
    GridView* grid = nullptr;
    if (!RequireGrid(form, result, command.GetAttribute("table_id"), grid))
        return false;
    const XmlNode p = GridDefinition(form, *grid, QStringLiteral("table_info/para_info"));
    const int background = ColorOf(p.GetAttribute("row_color_bg"), kColorNotSet);
    const int text = ColorOf(p.GetAttribute("row_color_text"), kColorNotSet);
    const int column = p.GetAttributeInt("col", 0) - 1;
    const QString match = p.GetAttribute("text");
    for (int row = 0; row < grid->RowCount(); ++row)
        if (column >= 0 && grid->CellText(row, column) == match)
            ColorRow(*grid, row, background, text);
    return true;
}

bool SetRowsColors(CommandContext& form, CommandResult& result, const XmlNode& command,
                   int /*windowId*/) {
    GridView* grid = nullptr;
    if (!RequireGrid(form, result, command.GetAttribute("table_id"), grid))
        return false;
    const XmlNodes rules = command.GetChild("rows_colors").GetChildren();
    for (int i = 0; i < rules.GetCount(); ++i) {
        const ColorRule rule = ColorRule::Read(rules.GetItem(i));
        for (int row = 0; row < grid->RowCount(); ++row)
            if (rule.column >= 0 && rule.Matches(grid->CellText(row, rule.column)))
                ColorRow(*grid, row, rule.background, rule.text);
    }
    return true;
}

bool SetCellColor(CommandContext& form, CommandResult& result, const XmlNode& command,
                  int /*windowId*/) {
    const XmlNode p = command.GetChild("para_info");
    GridView* grid = nullptr;
    if (!RequireGrid(form, result, p.GetAttribute("table_id"), grid))
        return false;
    const ColorRule rule = ColorRule::Read(p);
    const QList<int> columns = ColumnIndexes(p.GetAttribute("color_col"), QLatin1Char(','));
    for (int row = 0; row < grid->RowCount(); ++row) {
        if (rule.column < 0 || !rule.Matches(grid->CellText(row, rule.column)))
            continue;
        for (int column : columns)
            ColorCell(*grid, row, column, rule.background, rule.text);
    }
    return true;
}

bool SetCellColor2(CommandContext& form, CommandResult& result, const XmlNode& command,
                   int /*windowId*/) {
    const XmlNode p = command.GetChild("para_info");
    GridView* grid = nullptr;
    if (!RequireGrid(form, result, p.GetAttribute("table_id"), grid))
        return false;
    const int column = p.GetAttributeInt("color_col", 0) - 1;
    const int source =
        p.GetAttributeInt("text_col", 0) > 0 ? p.GetAttributeInt("text_col", 0) - 1 : column;
    if (column < 0 || column >= grid->ColumnCount())
        return true;
    // A malformed colour in the cells is told once, not once per row.
    QString firstError;
    for (int row = 0; row < grid->RowCount(); ++row) {
        const QString text = grid->CellText(row, source);
        QString error;
        const int background = text.trimmed().isEmpty() ? kWhite : ReadRgbText(text, error);
        if (firstError.isEmpty())
            firstError = error;
        ColorCell(*grid, row, column, background, kColorNotSet);
    }
    ReportGrammarError(firstError);
    return true;
}

bool SetColsColor(CommandContext& form, CommandResult& result, const XmlNode& command,
                  int /*windowId*/) {
    GridView* grid = nullptr;
    if (!RequireGrid(form, result, command.GetAttribute("table_id"), grid))
        return false;
    const XmlNodes nodes = GridDefinition(form, *grid, QStringLiteral("col_info")).GetChildren();
    // Display columns only, counted as the grid builds them.
    int column = 0;
    for (int i = 0; i < nodes.GetCount(); ++i) {
        const XmlNode node = nodes.GetItem(i);
        if (node.GetAttributeInt("col_id", 0) != 0 || node.GetAttributeInt("id", 0) == 0)
            continue;
        const int background = ColorOf(node.GetAttribute("color_bg"), kColorNotSet);
        if (background != kColorNotSet)
            for (int row = 0; row < grid->RowCount(); ++row)
                ColorCell(*grid, row, column, background, kColorNotSet);
        ++column;
    }
    return true;
}
