#pragma once
// The commands of trees and tree-lists: picking keys and texts out of a tree into fields,
// returning a node from a pop-up, and filling a tree-list from queries.
#include "form/XmlDocument.h"

class CommandContext;
struct CommandResult;

bool SelectItem(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                int windowId);
bool GetIdFromTree(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                   int windowId);
bool GetNameFromTree(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                     int windowId);
bool GetIdsFromTree(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                    int windowId);
bool ReturnSelectedNode(CommandContext& form, CommandResult& result,
                        const FormXml::XmlNode& command, int windowId);
bool ShowTable(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
               int windowId);
