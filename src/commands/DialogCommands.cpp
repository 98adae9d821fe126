// `show_dialog`: a modeless pop-up form owned by the form that opens it, chosen by a stored
// function's menu uid or by a nested document of the opener's definition, and handed a value
// from the opener (the selected row's key, a column's text or a control's text).
#include "commands/CommandSupport.h"
#include "commands/GridCommandSupport.h"
#include "commands/WindowCommands.h"
#include "data/DbSession.h"
#include "form/CommandContext.h"
#include "form/FormControls.h"
#include "widgets/GridView.h"

using FormXml::XmlNode;

namespace {

// The text of column `index` of `row`, empty outside the grid.
QString CellOrEmpty(const GridView& grid, int row, int index) {
    return index >= 0 && index < grid.ColumnCount() ? grid.CellText(row, index) : QString();
}

// The nested document `id`: "popup/html" below the element five levels above the command, which
// for a command of a control's event action is the form's `body`.
XmlNode NestedDocument(const XmlNode& command, const QString& id) {
    XmlNode scope = command;
    for (int level = 0; level < 5 && !scope.IsEmpty(); ++level)
        scope = scope.GetParent();
    // The id is quoted so that it is compared as written; one holding a quote names nothing.
    if (scope.IsEmpty() || id.isEmpty() || id.contains(QLatin1Char('\'')))
        return {};
    return scope.SelectSingleNode(QStringLiteral("popup/html[@id='%1']").arg(id));
}

} // namespace

bool ShowDialog(CommandContext& form, CommandResult& /*result*/, const XmlNode& command,
                int /*windowId*/) {
    const XmlNode info = command.GetChild("para_info");
    QString htmlId = info.GetAttribute("html_id");
    const int fromId = info.GetAttributeInt("from_wnd_id", 0);
    const int toId = info.GetAttributeInt("to_wnd_id", 0);
    const int tableId = info.GetAttributeInt("table_id", 0);
    const int columnId = info.GetAttributeInt("col_id", 0);
    const int popupColumnId = info.GetAttributeInt("popup_col_id", 0);

    DialogFormRequest request;
    request.formType = info.GetAttribute("type");
    std::optional<QString> kept;
    if (tableId != 0) {
        GridView* grid = GridById(form, tableId);
        const QList<int> selected = grid ? grid->SelectedRows() : QList<int>();
        if (selected.isEmpty())
            return false;
        const int row = selected.first();
        request.openerValue = grid->RowKey(row);
        if (columnId > 0)
            kept = CellOrEmpty(*grid, row, columnId - 1);
        else if (columnId < 0)
            kept = CellOrEmpty(*grid, row, grid->ColumnCount() + columnId);
        if (popupColumnId != 0 && htmlId.contains(QLatin1String("SELECT"))) {
            // The cell is data: it goes into the query as a quoted-safe literal text.
            QString sql = htmlId;
            sql.replace(QLatin1String("{{popup?id}}"),
                        SealLiteral(CellOrEmpty(*grid, row, popupColumnId - 1)));
            if (!CommandSession(form, command)
                     .QueryValue(form.ExpandStatementPlaceholders(sql), htmlId))
                return false;
        }
    }

    const QStringList parts = htmlId.split(QLatin1Char(':'));
    if (parts.value(0) == QLatin1String("0")) {
        request.menuUid = parts.value(1);
        request.disableList = parts.value(2);
        request.hideList = parts.value(3);
        if (request.menuUid.isEmpty())
            return false;
    } else {
        request.nested = NestedDocument(command, parts.value(0));
        request.disableList = parts.value(1);
        request.hideList = parts.value(2);
        if (request.nested.IsEmpty())
            return false;
    }

    if (kept && toId == 0)
        request.openerValue = *kept;
    if (fromId != 0)
        request.openerValue =
            ReadControlValue(form.ControlByWindowId(WindowIdOfDocumentId(fromId)));

    if (kept && toId != 0)
        request.whenOpen = [text = *kept, toId](CommandContext& popup) {
            WriteControlValue(popup.ControlByWindowId(WindowIdOfDocumentId(toId)), text);
        };
    return form.OpenDialogForm(request);
}
