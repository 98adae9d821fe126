#pragma once
// The commands that move files between the user's disk, binary fields of the account set and
// the screen, and export a grid into a spreadsheet made from a stored template.
#include "form/XmlDocument.h"

class CommandContext;
struct CommandResult;

#define VEMO_FILE_COMMAND(Name)                                                                    \
    bool Name(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,        \
              int windowId);

VEMO_FILE_COMMAND(Upload)
VEMO_FILE_COMMAND(Download)
VEMO_FILE_COMMAND(UploadPic)
VEMO_FILE_COMMAND(DownloadPic)
VEMO_FILE_COMMAND(ExportExcel)

#undef VEMO_FILE_COMMAND
