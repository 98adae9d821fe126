#pragma once
// `vemo-admin play`: runs a script of user steps against the client's own form engine, without
// a display, as the client whose executable folder is given. The runner drives the event loop:
// every step starts from a zero-delay timer, so that while a step waits in a modal pop-up form
// the following steps run inside that pop-up's loop, and the step that opened it ends when it
// closes.
#include <QString>

// Exit codes of a play run.
inline constexpr int kPlayPassed = 0;
inline constexpr int kPlayExpectFailed = 1;
inline constexpr int kPlayScriptError = 2;

// Usage text of the command, with its steps and output lines.
extern const char kPlayUsage[];

// Keeps the offscreen platform's notes about window operations it lacks off standard error;
// installed before the application object is made, which already makes some of them.
void QuietPlayPlatformNotes();

// Needs a QApplication (on the offscreen platform). `exeFolder` is the client folder whose
// cfg.ini names the account set; relative paths of `open-xml` are taken from the script's folder.
int RunPlay(const QString& exeFolder, const QString& scriptPath);
