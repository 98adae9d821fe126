#pragma once
// The commands that act on windows rather than on data: the form's own controls (actions of
// other controls, clicks, focus, visibility, enabling, check states, staying on top).
#include "form/XmlDocument.h"

class CommandContext;
struct CommandResult;

#define VEMO_WINDOW_COMMAND(Name)                                                                  \
    bool Name(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,        \
              int windowId);

VEMO_WINDOW_COMMAND(SendMessage)
VEMO_WINDOW_COMMAND(SendClick)
VEMO_WINDOW_COMMAND(SetFocus)
VEMO_WINDOW_COMMAND(Show)
VEMO_WINDOW_COMMAND(Able)
VEMO_WINDOW_COMMAND(SetBtnState)
VEMO_WINDOW_COMMAND(GetBtnState)
VEMO_WINDOW_COMMAND(RunDllMethod)
VEMO_WINDOW_COMMAND(SetTop)
VEMO_WINDOW_COMMAND(SetNotop)
VEMO_WINDOW_COMMAND(SetWndsColor1)
VEMO_WINDOW_COMMAND(SetWndsColor2)
VEMO_WINDOW_COMMAND(SetDrawMethod)
VEMO_WINDOW_COMMAND(Menu)
VEMO_WINDOW_COMMAND(ShowDialog)
VEMO_WINDOW_COMMAND(SelectFile)
VEMO_WINDOW_COMMAND(Cmd)
VEMO_WINDOW_COMMAND(Wait)
VEMO_WINDOW_COMMAND(GetPos)
VEMO_WINDOW_COMMAND(MouseMove)
VEMO_WINDOW_COMMAND(MouseEvent)
VEMO_WINDOW_COMMAND(LeftDown)
VEMO_WINDOW_COMMAND(LeftUp)
VEMO_WINDOW_COMMAND(LeftClick)
VEMO_WINDOW_COMMAND(LeftDclick)
VEMO_WINDOW_COMMAND(RightDown)
VEMO_WINDOW_COMMAND(RightUp)
VEMO_WINDOW_COMMAND(RightClick)
VEMO_WINDOW_COMMAND(RightDclick)
VEMO_WINDOW_COMMAND(KeyDown)
VEMO_WINDOW_COMMAND(KeyUp)
VEMO_WINDOW_COMMAND(KeyClick)
VEMO_WINDOW_COMMAND(KeyInput)
VEMO_WINDOW_COMMAND(KeyInput2)
VEMO_WINDOW_COMMAND(GetValue)
VEMO_WINDOW_COMMAND(SetValue)

// Runs `commandLine` through "/bin/sh -c" and returns what it wrote to standard output and
// standard error, decoded as UTF-8 or else GBK; at most 30 s, the interface kept working.
QString RunCommandLine(const QString& commandLine);

#undef VEMO_WINDOW_COMMAND
