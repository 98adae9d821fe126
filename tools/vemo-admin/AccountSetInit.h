#pragma once
// Creates a new account set: the schema, the two c_app rows, a group that may see everything
// and the administrator user (uid 1, login id "admin").
#include "data/AccountSetDefaults.h"

#include <QString>

// Creates the SQLite file; refuses an existing file. On failure nothing is left behind.
bool InitSqliteAccountSet(const QString& filePath, QString& error);
// Creates the tables in the (empty) PostgreSQL database that the libpq conninfo names, in one
// transaction.
bool InitPostgresAccountSet(const QString& connInfo, QString& error);
