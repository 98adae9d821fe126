#include "commands/PopupEndCommands.h"

#include "form/CommandContext.h"
#include "form/FormControls.h"
#include "widgets/GridView.h"

bool ReturnSelected(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                    int windowId) {
    // Only a pop-up has an opener to answer; elsewhere the command has nothing to do.
    if (!form.HasReturnSlot())
        return true;
    const int tableId = command.GetAttributeInt("table_id", 0);
    auto* grid = qobject_cast<GridView*>(
        form.ControlByWindowId(tableId == 0 ? windowId : WindowIdOfDocumentId(tableId)));
    const QList<int> selected = grid ? grid->SelectedRows() : QList<int>();
    if (selected.isEmpty()) {
        result.ok = false;
        return false; // nothing chosen: the pop-up stays, without a message
    }
    const int row = selected.first();
    const int value = command.GetAttributeInt("values", 0);
    QString returned;
    if (value == 0) {
        returned = grid->RowKey(row);
    } else {
        const int offset = form.ColumnOffset();
        returned = grid->CellText(row, value - 1 + (offset > 0 ? offset : 0));
    }
    form.SetReturnValue(returned);
    form.RequestCloseAfterAction();
    return true;
}

bool Close(CommandContext& form, CommandResult& result, const FormXml::XmlNode& /*command*/,
           int /*windowId*/) {
    form.RequestCloseAfterAction();
    // The form goes away: no success message follows it.
    result.info = QString();
    return true;
}
