#pragma once
// Writes the account-set connection into cfg.ini exactly as the settings dialog saves it.
#include <QString>

enum class ConnectionKind { SqlServer = 1, LocalFile = 2, Postgres = 3 };

struct ConnectionSettings {
    ConnectionKind kind = ConnectionKind::LocalFile;
    QString filePath; // local file
    QString host, port, database, user, password;
};

// The unscrambled connection text the settings describe.
QString ConnectionTextOf(const ConnectionSettings& settings);
// Writes DTYPE, NAME (scrambled) and APPNAME (empty) into exeFolder/cfg.ini.
bool WriteConnectionSettings(const QString& exeFolder, const ConnectionSettings& settings,
                             QString& error);
