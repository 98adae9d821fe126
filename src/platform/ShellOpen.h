#pragma once
// Opening a document with the desktop's program for it (the shell's "open").
#include <QString>

#include <functional>

namespace platform {

// Opens the file with the program the desktop associates with it; false when none could be
// started.
bool OpenWithDesktop(const QString& path);

// Tests and headless runs replace the desktop; an empty handler restores it. Returns the
// previous handler.
using DesktopOpener = std::function<bool(const QString& path)>;
DesktopOpener SetDesktopOpener(DesktopOpener opener);

} // namespace platform
