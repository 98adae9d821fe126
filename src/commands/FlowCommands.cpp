// The command that steers the action runner itself: `jump` tells it how far to move from the
// jump element, by a number that a query gives.
#include "commands/CommandSupport.h"
#include "commands/CommandTable.h"
#include "data/DbSession.h"
#include "form/D_T1.h"
#include "form/ValueGrammars.h"

bool Jump(D_T1& form, const ZUDad::CXmlNode& command, int /*windowId*/) {
    form.jumpOffset = 0;
    QString sql = command.GetAttribute("values");
    const QString table = command.GetAttribute("table_id");
    if (!table.isEmpty() && !BindTableRow(form, table, sql, RowColumns::UidOnly))
        return false;
    BindWhereParameters(form, command.GetChild("para_info_where"), sql);
    sql = form.ExpandPlaceholders(sql);
    QString value;
    if (!CommandSession(form, command).QueryValue(sql, value)) {
        form.ErrorText = QStringLiteral("jump无效");
        return false;
    }
    const int offset = ParseIntegerText(value);
    if (offset == 0) {
        form.ErrorText = QStringLiteral("jump为0无效");
        return false;
    }
    form.jumpOffset = offset;
    return true;
}
