#include "data/AccountSetBackup.h"

#include <QDir>
#include <QFileInfo>

QString DailyBackupFolder(const QString& accountSetPath) {
    return QFileInfo(accountSetPath).absolutePath() + QStringLiteral("/AutoBackup");
}

QString DailyBackupPath(const QString& accountSetPath, const QDate& day) {
    return QDir(DailyBackupFolder(accountSetPath))
        .filePath(QFileInfo(accountSetPath).fileName() + QLatin1Char('.') +
                  day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".bak"));
}
