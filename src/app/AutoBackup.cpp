#include "app/AutoBackup.h"

#include "data/AccountSetBackup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

namespace {

bool OnlineCopy(const QString& from, const QString& to, QString& error) {
    sqlite3* source = nullptr;
    sqlite3* target = nullptr;
    const QString partial = to + QStringLiteral(".part");
    bool ok = sqlite3_open_v2(QFile::encodeName(from).constData(), &source, SQLITE_OPEN_READONLY,
                              nullptr) == SQLITE_OK &&
              sqlite3_open(QFile::encodeName(partial).constData(), &target) == SQLITE_OK;
    if (ok) {
        sqlite3_backup* backup = sqlite3_backup_init(target, "main", source, "main");
        ok = backup != nullptr;
        if (backup) {
            // Pages in batches: a client writing meanwhile makes the copy start over, so the copy
            // is always of one committed state.
            int rc = SQLITE_OK;
            while ((rc = sqlite3_backup_step(backup, 256)) == SQLITE_OK || rc == SQLITE_BUSY ||
                   rc == SQLITE_LOCKED)
                sqlite3_sleep(rc == SQLITE_OK ? 0 : 50);
            ok = sqlite3_backup_finish(backup) == SQLITE_OK && rc == SQLITE_DONE;
        }
        if (!ok)
            error = QString::fromUtf8(sqlite3_errmsg(target));
    } else {
        error = QStringLiteral("无法打开账套 %1").arg(from);
    }
    sqlite3_close(source);
    sqlite3_close(target);
    if (ok)
        ok = QFile::rename(partial, to);
    if (!ok)
        QFile::remove(partial);
    return ok;
}

} // namespace

bool BackUpAccountSet(const QString& accountSetPath, const QDate& today, QString& error) {
    const QFileInfo file(accountSetPath);
    const QDir folder(DailyBackupFolder(accountSetPath));
    if (!folder.mkpath(QStringLiteral(".")) || !file.isFile()) {
        error = QStringLiteral("无法备份账套 %1").arg(accountSetPath);
        return false;
    }
    auto copyOf = [&](const QDate& day) { return DailyBackupPath(accountSetPath, day); };
    bool ok = true;
    if (!QFileInfo::exists(copyOf(today)))
        ok = OnlineCopy(accountSetPath, copyOf(today), error);
    for (int days = 15; days <= 114; ++days)
        QFile::remove(copyOf(today.addDays(-days)));
    return ok;
}
