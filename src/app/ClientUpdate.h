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
