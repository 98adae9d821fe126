// The desktop's pointer: where it is, written as a rectangle whose right and bottom are the
// position, and moving it to such a rectangle's right-bottom corner.
#include "commands/CommandSupport.h"
#include "commands/WindowCommands.h"
#include "form/CommandContext.h"
#include "platform/AppMessage.h"
#include "platform/Pointer.h"
#include "platform/ValueGrammars.h"

using FormXml::XmlNode;

bool GetPos(CommandContext& form, CommandResult& result, const XmlNode& command, int /*windowId*/) {
    if (!PointerAvailable()) {
        result.error = kNoX11Display;
        return false;
    }
    QWidget* target = nullptr;
    if (!ResolveControl(form, result, command.GetAttribute("values"), target))
        return false;
    const QPoint position = PointerPosition();
    SetWindowText(target, QStringLiteral("0,0,%1,%2").arg(position.x()).arg(position.y()));
    return true;
}

bool MouseMove(CommandContext& form, CommandResult& result, const XmlNode& command,
               int /*windowId*/) {
    if (!PointerAvailable()) {
        result.error = kNoX11Display;
        return false;
    }
    QWidget* source = nullptr;
    if (!ResolveControl(form, result, command.GetAttribute("values"), source))
        return false;
    QString error;
    const RectValue rect = ReadRectText(ReadControlValue(source), error);
    if (!error.isEmpty())
        ShowAppMessage(error); // the pointer then goes to (0,0), the rectangle read
    MovePointer(QPoint(rect.right, rect.bottom));
    return true;
}
