#pragma once
// The commands that write business data: a header record from the form's fields, the changed
// rows of a detail grid, guarded statements on one record and free statement lists. They run
// inside the action's transaction, so any failure undoes everything the action wrote.
#include "form/XmlDocument.h"

class CommandContext;
struct CommandResult;

bool InsertHead(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                int windowId);
bool UpdateHead(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                int windowId);
bool InsertDetail(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                  int windowId);
bool ResetDetail(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                 int windowId);
// `check` asks again with the text its check query gives; `checkthis` with the fixed question.
bool Check(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
           int windowId);
bool CheckThis(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
               int windowId);
bool RunSql(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
            int windowId);
