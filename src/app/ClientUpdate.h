#pragma once
// Replacing the client: the updater program `up` beside it (kept at its recorded size), a new
// client placed at update/vemo for it, and a client published into the account set by an
// administrator installed from there.
#include "app/UpdateServer.h"

#include <QString>

// The size `up` must have: the one the build recorded beside the program (up.size), else the
// historical 73,216 bytes.
qint64 ExpectedUpdaterSize(const QString& exeFolder);
// Downloads `up` again unless it is there at its expected size.
void EnsureUpdater(const UpdateServer& server, const QString& exeFolder);
// Starts "up -d" in the exe folder, detached; 1 when it started, -1 otherwise.
int StartUpdater(const QString& exeFolder);
// Installs the client published in c_app when it is newer than `ownVersion`.
bool InstallFromAccountSet(const QString& exeFolder, const QString& ownVersion);

// The main window's "download the newest client": from the update server when it has a newer
// one (more than 500,000 bytes), handed to the updater. 1 when the updater was started.
int DownloadClient(const QString& cfgPath, const QString& exeFolder, const QString& ownVersion);

// The running client and `up` stored into c_app rows 1 and 2 for the other installations of the
// account set, after the administrator's confirmation; `executable` is the running program.
bool PublishClient(const QString& exeFolder, const QString& executable, const QString& ownVersion);

// A file's last write in local time as "yyyy-MM-dd h:m" (hour and minute unpadded).
QString FileDateText(const QString& path);
