#pragma once
// Where the daily copy of a local-file account set lies: <folder>/AutoBackup/<file name>.
// <yyyy-MM-dd>.bak. The update worker makes it; messages about a damaged file point at it.
#include <QDate>
#include <QString>

QString DailyBackupFolder(const QString& accountSetPath);
QString DailyBackupPath(const QString& accountSetPath, const QDate& day);
