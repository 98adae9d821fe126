#pragma once
// The daily copy of a local-file account set, made by the update worker at start-up:
// DailyBackupPath (data/AccountSetBackup.h), once a day, copies 15 to 114 days old
// removed. The copy is SQLite's online backup, consistent even while a client writes.
#include <QDate>
#include <QString>

// False with `error` when the copy could not be made; an existing copy of the day is kept.
bool BackUpAccountSet(const QString& accountSetPath, const QDate& today, QString& error);
