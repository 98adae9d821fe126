#pragma once
// Opening a document with the desktop's program for it (the shell's "open").
#include <QString>

#include <functional>

namespace platform {

// Opens the file with the program the desktop associates with it; false when none could be
// started.
bool OpenWithDesktop(const QString& path);

// Opens a link (a web address, or anything the desktop knows how to open) with the desktop's
// program for it; an address without a scheme is taken as a web address or a file the way a
// browser's address bar takes it. False when none could be started.
bool OpenLinkWithDesktop(const QString& link);

// Tests and headless runs replace the desktop (for files and links alike); an empty handler
// restores it. Returns the previous handler.
using DesktopOpener = std::function<bool(const QString& path)>;
DesktopOpener SetDesktopOpener(DesktopOpener opener);

} // namespace platform
