#pragma once
// The commands that end a form: `return_selected` hands the chosen grid row back to the
// edit-with-button that opened the form as its pop-up, `close` just ends the form. Either takes
// effect when the action has succeeded.
#include "form/XmlDocument.h"

class CommandContext;
struct CommandResult;

bool ReturnSelected(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                    int windowId);
bool Close(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
           int windowId);
