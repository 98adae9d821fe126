#pragma once
// The stored connection texts of the three account-set kinds, how a session gets its
// connection text from cfg.ini, and how each text maps onto a Qt SQL driver.
#include <QString>

// Texts as stored (unscrambled) in cfg.ini [SERVER] NAME.
QString SqlServerConnectionText(const QString& server, const QString& port, const QString& database,
                                const QString& user, const QString& password);
QString AccessConnectionText(const QString& filePath);
QString PostgresConnectionText(const QString& server, const QString& port, const QString& database,
                               const QString& user, const QString& password);

// The two built-in account-set file passwords; ".dat" files (exact case) take the second.
QString AccountSetFilePassword(const QString& filePath);

// Address of the connection service on the update server's site ("host/cs/").
QString ConnectionServiceAddress();
// The fixed address-lookup URL of the update server's site.
QString AddressLookupUrl();

// Replaces a SQL Server address given as a URL by the address that URL answers.
QString ResolveServerAddress(const QString& connectionText);

// Session construction from the configuration: the connection text a new session uses.
// Fills the process-wide stored connection text on first use and sets DbKind.
QString ResolveSessionConnection(const QString& cfgPath);
// Login refresh: the same resolution without touching DbKind; sets the account-set path.
QString ResolveLoginConnection(const QString& cfgPath);
// The account-set file path of a local-file connection text ("" for the other kinds).
QString AccountSetPathOf(const QString& connectionText);

// Session kinds.
enum class DbKindCode { SqlServer = 1, LocalFile = 2, Other = 3 };
DbKindCode KindOfConnection(const QString& connectionText);

// How a connection text is opened on Linux.
struct DriverConnection {
    QString driver;       // Qt SQL driver name: QSQLITE, QPSQL or QODBC
    QString databaseName; // file path, database name or ODBC connection string
    QString host;
    int port = -1;
    QString user;
    QString password;
    QString textFolder; // local text session: the folder whose text files act as tables
};
DriverConnection MapToDriver(const QString& connectionText);

// Parses a libpq-style "key=value key=value" text into a PostgreSQL connection text.
QString PostgresConnectionTextFromConnInfo(const QString& connInfo);
