// The command that steers the action runner itself: `jump` tells it how far to move from the
// jump element, by a number that a query gives.
#include "commands/CommandSupport.h"
#include "commands/CommandTable.h"
#include "data/DbSession.h"
#include "form/CommandContext.h"
#include "platform/ValueGrammars.h"

bool Jump(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
          int /*windowId*/) {
    result.jump = 0;
    QString sql = command.GetAttribute("values");
    const QString table = command.GetAttribute("table_id");
    if (!table.isEmpty() && !BindTableRow(form, result, table, sql, RowColumns::UidOnly))
        return false;
    BindWhereParameters(form, result, command.GetChild("para_info_where"), sql);
    sql = form.ExpandStatementPlaceholders(sql);
    QString value;
    if (!CommandSession(form, command).QueryValue(sql, value)) {
        result.error = QStringLiteral("jump无效");
        return false;
    }
    const int offset = ParseIntegerText(value);
    if (offset == 0) {
        result.error = QStringLiteral("jump为0无效");
        return false;
    }
    result.jump = offset;
    return true;
}
