#pragma once
// The query commands: they read the database (or the local text session) into fields, lists,
// grid headers, grids with paging, trees and the ten process-wide values A0..A9.
#include "form/XmlDocument.h"

class CommandContext;
struct CommandResult;

bool QueryToWnds(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                 int windowId);
bool QueryToWnd(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                int windowId);
bool QueryToList(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                 int windowId);
bool QueryToLists(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                  int windowId);
bool QueryToLists2(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                   int windowId);
bool QueryToHead(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                 int windowId);
bool QueryToMain(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                 int windowId);
bool QueryTree(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
               int windowId);
bool QueryToTreeHead(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                     int windowId);
bool QueryToTable(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                  int windowId);
bool SelectInto(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                int windowId);
bool SelectInfoTable(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                     int windowId);
bool ClickPage(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
               int windowId);
bool SelectInfoTree(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                    int windowId);
