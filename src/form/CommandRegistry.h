#pragma once
// The hand-over from the action runner to the command handlers: a table from command name to
// handler. Command families register themselves; unknown names are ignored (they succeed).
#include "form/XmlDocument.h"

#include <QString>
#include <functional>

class CommandContext;
struct CommandResult;

using CommandHandler = std::function<CommandResult(CommandContext& form,
                                                   const FormXml::XmlNode& command, int windowId)>;

// Registers (or replaces) the handler of a command name.
void RegisterCommand(const QString& name, CommandHandler handler);
// The handler of a name, or an empty function.
CommandHandler FindCommand(const QString& name);
