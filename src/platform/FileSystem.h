#pragma once
// File-system facts the shell needs: where a folder lives, how to clear a work folder and how to
// name a file the client writes there.
#include <QString>

namespace platform {

// True when the folder lies on a network file system (NFS, SMB/CIFS, sshfs and the like).
bool IsRemoteFileSystem(const QString& folder);

// Deletes every file directly inside the folder (read-only files too), then removes the folder.
// Sub-folders are not descended into; a folder that still holds anything stays.
void EmptyAndRemoveFolder(const QString& folder);

// A name under `folder` that no file has yet: "<base>_<n>.<suffix>", n from 1, so that a file
// written earlier (and perhaps still open in a program) is never replaced.
QString FreeNumberedPath(const QString& folder, const QString& baseName, const QString& suffix);

// `text` made fit to be a file's base name: characters no file system takes in a name (and
// the folder separators) become "_"; empty or blank text gives `fallback`.
QString FileBaseNameOf(const QString& text, const QString& fallback);

} // namespace platform
