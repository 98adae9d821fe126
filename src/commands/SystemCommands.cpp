// Commands that reach outside the form: a file chosen by the user.
#include "commands/CommandSupport.h"
#include "commands/WindowCommands.h"
#include "form/CommandContext.h"
#include "platform/PopupChoice.h"

using ZUDad::CXmlNode;

bool SelectFile(CommandContext& form, CommandResult& result, const CXmlNode& command,
                int /*windowId*/) {
    const QString kind = command.GetAttribute("values");
    const QString all = QStringLiteral("All Files(*.*) (*)");
    QStringList filters;
    if (kind.isEmpty())
        filters = {all, QStringLiteral("Excel2007 Files (*.xlsx)"),
                   QStringLiteral("Excel2003 Files(*.xls) (*.xls)"),
                   QStringLiteral("Txt Files(*.txt) (*.txt)")};
    else if (kind == QLatin1String("pic"))
        filters = {all, QStringLiteral("Pic Files (*.jpeg *.jpg *.png *.bmp)")};
    else
        filters = {all};
    const std::optional<QString> path = ChooseFileToOpen(QStringLiteral("打开文件"), filters);
    if (!path) {
        result.ok = false;
        return false; // cancelled: nothing to say
    }
    QWidget* target = nullptr;
    if (!ResolveControl(form, result, command.GetAttribute("target_ids"), target))
        return false;
    WriteControlValue(target, *path);
    return true;
}
