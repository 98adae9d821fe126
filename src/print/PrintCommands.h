#pragma once
// The print commands: printing and previewing a form's page layout, choosing and remembering
// the printer per print button, the page shift per layout and the batch of records printed one
// job after another. The command table lists them; the commands layer sits below printing, so
// RegisterPrintCommands puts these handlers into the form engine's registry at start-up, after
// RegisterCommandFamilies.
#include "form/XmlDocument.h"

#include <QPageSize>
#include <QString>

#include <functional>

class CommandContext;
struct CommandResult;

bool Print(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
           int windowId);
bool PrintPre(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
              int windowId);
bool PrintSetup(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                int windowId);
bool PrintPosGet(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                 int windowId);
bool PrintPosSetup(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                   int windowId);
bool QueryToPrint(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                  int windowId);

void RegisterPrintCommands();

// Whether `print` skips the print dialog: `is_direct` 1, or another number naming a control
// whose text is neither empty nor "0".
bool PrintsWithoutDialog(CommandContext& form, const FormXml::XmlNode& printPara);

// From now on every job is written without any dialog as `folder`/NNN.pdf (NNN from 001 in job
// order), a preview as NNN-preview.pdf, on the stored paper size (A4 when none is stored).
// `written` hears of every file and its page count. An empty folder prints on real printers
// again.
void SetPrintToFolder(const QString& folder,
                      std::function<void(const QString& file, int pages)> written = {});

// True from the end of a batch job until the click that starts the next one has run.
bool PrintBatchPending();

// The printer the next jobs use, as cfg.ini keeps it: name, paper size code of the printer
// driver (the platform's DMPAPER numbers) and orientation (1 portrait, 2 landscape).
struct PrinterChoice {
    QString name;
    int paper = 9; // A4
    int orientation = 1;
};
PrinterChoice CurrentPrinter();
void SetCurrentPrinter(const PrinterChoice& choice);

// The page size of a DMPAPER code; A4 for codes the table does not know.
QPageSize PageSizeOfPaperCode(int code);
// The DMPAPER code of a page size; 9 (A4) for sizes the table does not know.
int PaperCodeOfPageSize(const QPageSize& size);

// Whether the machine offers any printer; by default, whether the platform lists one. Tests and
// headless runs answer for the machine; an empty function restores the platform's answer.
using PrinterPresence = std::function<bool()>;
void SetPrinterPresence(PrinterPresence presence);

// Test seam: replaces the printer set-up dialog. It receives the current choice and returns
// false for a cancelled dialog.
using PrinterSetupDialog = bool (*)(PrinterChoice& choice);
void SetPrinterSetupDialog(PrinterSetupDialog dialog);
