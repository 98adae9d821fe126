// Grids and texts to and from the clipboard as Unicode text: a row a line ended by CR LF, cells
// separated by tabs, the form spreadsheets and mail programs take.
#include "commands/CommandSupport.h"
#include "commands/CommandTexts.h"
#include "commands/GridCommandSupport.h"
#include "commands/GridCommands.h"
#include "form/CommandContext.h"
#include "form/FormControls.h"
#include "platform/AppMessage.h"
#include "platform/ValueGrammars.h"
#include "widgets/GridView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QRegularExpression>

using FormXml::XmlNode;
using FormXml::XmlNodes;

namespace {

const QString kNoRows = QStringLiteral("没有记录!");
const QString kLineEnd = QStringLiteral("\r\n");

// A cell's text on one line of the copy: its own line breaks and tabs would break the table.
QString FlatCell(QString text) {
    text.remove(QLatin1Char('\r'));
    text.remove(QLatin1Char('\n'));
    text.remove(QLatin1Char('\t'));
    return text;
}

QString TableText(const GridView& grid, const QList<int>& columns) {
    QString text;
    QStringList cells;
    for (int column : columns)
        cells.append(
            FlatCell(grid.Model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString()));
    text += cells.join(QLatin1Char('\t')) + kLineEnd;
    for (int row = 0; row < grid.RowCount(); ++row) {
        cells.clear();
        for (int column : columns)
            cells.append(FlatCell(grid.CellText(row, column)));
        text += cells.join(QLatin1Char('\t')) + kLineEnd;
    }
    return text;
}

// Copies the columns of the grid whose id is `target_ids`; `pick` chooses them.
bool CopyColumns(CommandContext& form, CommandResult& result, const XmlNode& command,
                 const std::function<QList<int>(const GridView&)>& pick) {
    GridView* grid = nullptr;
    if (!RequireGridById(form, result, ParseIntegerText(command.GetAttribute("target_ids")), grid))
        return false;
    if (grid->RowCount() == 0) {
        ShowAppMessage(kNoRows, CommandTexts::kAppCaption);
        return false;
    }
    QGuiApplication::clipboard()->setText(TableText(*grid, pick(*grid)));
    return true;
}

} // namespace

bool CopyTable(CommandContext& form, CommandResult& result, const XmlNode& command,
               int /*windowId*/) {
    return CopyColumns(form, result, command, [](const GridView& grid) {
        QList<int> visible;
        for (int column = 0; column < grid.ColumnCount(); ++column)
            if (grid.ColumnWidth(column) > 0 && !grid.isColumnHidden(column))
                visible.append(column);
        return visible;
    });
}

bool CopyTableColumns(CommandContext& form, CommandResult& result, const XmlNode& command,
                      int /*windowId*/) {
    const QList<int> listed = ColumnIndexes(command.GetAttribute("values"), QLatin1Char(','));
    return CopyColumns(form, result, command, [&listed](const GridView& grid) {
        QList<int> columns;
        for (int column : listed)
            if (column < grid.ColumnCount())
                columns.append(column);
        return columns;
    });
}

// Each clipboard line becomes a new row. With `values` 1 the pasted rows replace the grid's
// rows; the saved ones among those go to the deleted keys, as deleting them would.
bool PasteTable(CommandContext& form, CommandResult& result, const XmlNode& command,
                int /*windowId*/) {
    GridView* grid = nullptr;
    if (!RequireGridById(form, result, ParseIntegerText(command.GetAttribute("target_ids")), grid))
        return false;
    QStringList lines =
        QGuiApplication::clipboard()->text().split(QRegularExpression(QStringLiteral("\r?\n")));
    // The line end after the last row starts no row of its own.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (command.GetAttributeInt("values", 0) == 1) {
        QString deleted = form.DeletedKeys();
        for (int row = 0; row < grid->RowCount(); ++row) {
            const QString key = grid->RowKey(row);
            if (grid->RowState(row) == 1 || key.isEmpty() || key == QLatin1String("0"))
                continue;
            deleted += (deleted.isEmpty() ? QString() : QStringLiteral(",")) + key;
        }
        form.SetDeletedKeys(deleted);
        grid->DeleteAllRows();
    }
    const bool numbered = NumbersRows(*grid);
    const int first = numbered ? 1 : 0;
    for (const QString& line : lines) {
        const int row = grid->InsertRow(grid->RowCount(), QString());
        grid->SetRowData(row, nullptr, QString(), 1);
        const QStringList cells = line.split(QLatin1Char('\t'));
        for (qsizetype k = 0; k < cells.size() && first + k < grid->ColumnCount(); ++k)
            grid->SetCellText(row, int(first + k), cells[k]);
    }
    if (numbered)
        Renumber(*grid, 0);
    return true;
}

bool CopyContent(CommandContext& form, CommandResult& result, const XmlNode& command,
                 int /*windowId*/) {
    QString text = command.GetAttribute("values");
    text.replace(QLatin1String("{{\\n}}"), kLineEnd);
    text.replace(QLatin1String("{{\\t}}"), QLatin1String("\t"));
    const XmlNodes children = command.GetChild("para_info").GetChildren();
    for (int i = 0; i < children.GetCount(); ++i) {
        QWidget* window = nullptr;
        if (!ResolveControl(form, result, children.GetItem(i).GetAttribute("value"), window))
            return false;
        text.replace(QStringLiteral("{{p%1}}").arg(i + 1), ControlText(window));
    }
    if (children.GetCount() > 0)
        QGuiApplication::clipboard()->setText(text);
    return true;
}
