#pragma once
// File-system facts the shell needs: where a folder lives and how to clear a work folder.
#include <QString>

namespace platform {

// True when the folder lies on a network file system (NFS, SMB/CIFS, sshfs and the like).
bool IsRemoteFileSystem(const QString& folder);

// Deletes every file directly inside the folder (read-only files too), then removes the folder.
// Sub-folders are not descended into; a folder that still holds anything stays.
void EmptyAndRemoveFolder(const QString& folder);

} // namespace platform
