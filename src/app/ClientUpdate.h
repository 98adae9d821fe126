#pragma once
// Replacing the client: the updater program `up` beside it (kept at its recorded size), a new
// client placed at update/vemo for it, and a client published into the account set by an
// administrator installed from there. With a publisher key, every program is checked against
// the publisher's signature before `up` ever sees it; its signature goes with it
// (update/vemo.sig, which `up` puts beside the client as vemo.sig once the new client runs).
#include "app/UpdateServer.h"

#include <QString>

#include <functional>

class UpdateTrust;

// One line per step taken, for the update log.
using UpdateLog = std::function<void(const QString&)>;

// The size `up` must have: the one the build recorded beside the program (up.size), else the
// historical 73,216 bytes.
qint64 ExpectedUpdaterSize(const QString& exeFolder);
// Downloads `up` again, as signed for client `version`, unless it is there at its expected size.
// Without a publisher key nothing is downloaded.
void EnsureUpdater(const UpdateServer& server, const UpdateTrust& trust, const QString& exeFolder,
                   const QString& version, const UpdateLog& log);
// Starts "up -d" in the exe folder, detached; 1 when it started, -1 otherwise.
int StartUpdater(const QString& exeFolder);
// Installs the client published in c_app when it is newer than `ownVersion`; with a publisher
// key only when the signature stored beside it (c_app row 3) is the publisher's, and its updater
// only when its own (row 4) is.
bool InstallFromAccountSet(const QString& exeFolder, const QString& ownVersion,
                           const UpdateTrust& trust, const UpdateLog& log);

// The main window's "download the newest client": from the update server when it has a newer
// one (more than 500,000 bytes), handed to the updater. 1 when the updater was started. When a
// newer client is there but may not be installed, `problem` says why (for the user).
int DownloadClient(const QString& cfgPath, const QString& exeFolder, const QString& ownVersion,
                   QString& problem);

// The running client and `up` stored into c_app rows 1 and 2 for the other installations of the
// account set, after the administrator's confirmation; `executable` is the running program. With
// a publisher key, only together with the publisher's signature of the client (vemo.sig beside
// it), stored in row 3; `up`'s (up.sig) goes into row 4 when it is there.
bool PublishClient(const QString& exeFolder, const QString& executable, const QString& ownVersion);

// Called by the client once its start-up is done: a client that `up` has just put in place
// (the old one still kept as vemo.previous) tells `up` that it runs (vemo.started, its pid).
void ReportHealthyStart(const QString& exeFolder);

// A file's last write in local time as "yyyy-MM-dd h:m" (hour and minute unpadded).
QString FileDateText(const QString& path);
