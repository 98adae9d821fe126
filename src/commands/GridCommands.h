#pragma once
// The grid commands: they add, delete and move detail rows, lock and fill columns, colour rows
// and cells by rules, copy and paste through the clipboard and write amounts in capital
// numerals. They change the grid only; `insert_detail` later saves what the row states say
// changed. Columns are numbered from 1, as the definition's `col` ids number them.
#include "form/XmlDocument.h"

class CommandContext;
struct CommandResult;

// Rows (RowCommands.cpp)
bool AddRow(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
            int windowId);
bool DelRow(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
            int windowId);
bool UpRow(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
           int windowId);
bool DownRow(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
             int windowId);
bool SelectAll(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
               int windowId);
bool GetIdsFromList(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                    int windowId);

// Editing rights and column visibility (ColumnCommands.cpp)
bool SetTableReadonly(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                      int windowId);
bool LockCol(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
             int windowId);
bool ShowCols(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
              int windowId);

// Cells (CellCommands.cpp)
bool SetColText(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                int windowId);
bool SetColsText(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                 int windowId);
bool SetColsText2(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                  int windowId);
bool SetCellText(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                 int windowId);
bool DelCellText(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                 int windowId);
bool SetColsPinyin(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                   int windowId);
bool SumCols(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
             int windowId);
bool SumTableCol(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                 int windowId);

// Colours (ColorCommands.cpp)
bool SetRowColor(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                 int windowId);
bool SetRowsColors(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                   int windowId);
bool SetCellColor(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                  int windowId);
bool SetCellColor2(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                   int windowId);
bool SetColsColor(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                  int windowId);

// Clipboard (ClipboardCommands.cpp)
bool CopyTable(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
               int windowId);
// copytable
bool CopyTableColumns(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                      int windowId);
bool PasteTable(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                int windowId);
bool CopyContent(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                 int windowId);

// Amounts (CapitalNumerals.cpp)
bool GetDaxie(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
              int windowId);

// An amount in Chinese capital numerals ("壹拾元零伍角" for 10.50); "出错!" when its "%.2f"
// text is longer than 16 characters.
QString CapitalNumerals(double amount);
