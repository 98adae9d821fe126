// Editing rights and column visibility: a grid made read-only as a whole, columns that a query
// decides to collapse and lock (prices a group may not see, say), and collapsed columns shown
// again.
#include "commands/CommandSupport.h"
#include "commands/CommandTexts.h"
#include "commands/GridCommandSupport.h"
#include "commands/GridCommands.h"
#include "form/CommandContext.h"
#include "platform/AppMessage.h"
#include "platform/ValueGrammars.h"
#include "widgets/GridView.h"

using FormXml::XmlNode;
using FormXml::XmlNodes;

namespace {

// "{{p i}}" of `sql` becomes the text of the control that child i names. The text is escaped
// like every other typed text, so whatever a control holds stays a value in the statement.
bool BindControlTexts(CommandContext& form, CommandResult& result, const XmlNode& list,
                      QString& sql) {
    const XmlNodes children = list.GetChildren();
    for (int i = 0; i < children.GetCount(); ++i) {
        QWidget* window = nullptr;
        if (!ResolveControl(form, result, children.GetItem(i).GetAttribute("value"), window))
            return false;
        sql.replace(QStringLiteral("{{p%1}}").arg(i + 1), SealLiteral(ReadControlValue(window)));
    }
    return true;
}

} // namespace

bool SetTableReadonly(CommandContext& form, CommandResult& result, const XmlNode& command,
                      int /*windowId*/) {
    GridView* grid = nullptr;
    if (!RequireGrid(form, result, command.GetAttribute("table_id"), grid))
        return false;
    grid->Model()->SetReadOnly(command.GetAttributeBool("values", false));
    return true;
}

bool LockCol(CommandContext& form, CommandResult& result, const XmlNode& command,
             int /*windowId*/) {
    GridView* grid = nullptr;
    if (!RequireGrid(form, result, command.GetAttribute("table_id"), grid))
        return false;
    QString sql = command.GetAttribute("values");
    const XmlNode where = command.GetChild("para_info_where");
    if (!where.IsEmpty()) {
        BindWhereParameters(form, result, where, sql);
    } else if (!BindControlTexts(form, result, command.GetChild("para_info"), sql)) {
        return false;
    }
    sql = form.ExpandStatementPlaceholders(sql);

    const QStringList pieces = command.GetAttribute("target_ids").split(QLatin1Char(';'));
    QStringList values;
    if (QueryAllValues(CommandSession(form, command), sql, values) <= 0)
        return true;
    if (values.size() != pieces.size()) {
        ShowAppMessage(CommandTexts::kCountMismatch, CommandTexts::kAppCaption);
        return false;
    }
    for (qsizetype k = 0; k < pieces.size(); ++k) {
        const int column = ParseIntegerText(pieces[k]) - 1;
        if (ParseIntegerText(values[k]) <= 0 || column < 0 || column >= grid->ColumnCount())
            continue;
        grid->AddFixedColumn(column);
        grid->SetColumnWidth(column, 0);
        grid->SetColumnReadOnly(column, true);
    }
    return true;
}

bool ShowCols(CommandContext& form, CommandResult& /*result*/, const XmlNode& command,
              int /*windowId*/) {
    if (GridView* grid = GridById(form, command.GetAttributeInt("table_id", 0)))
        grid->RestoreCollapsedColumns();
    return true;
}
