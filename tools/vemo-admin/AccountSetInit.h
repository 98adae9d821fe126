#pragma once
// Creates a new account set: the schema, the two c_app rows, a group that may see everything
// and the administrator user (uid 1, login id "admin").
#include "data/AccountSetDefaults.h"

#include <QString>

#include <functional>

class CDbSession;

// More content written in the same transaction as the schema and the first rows (the demo
// account set); false with `error` set rolls everything back.
using AccountSetContent = std::function<bool(CDbSession& session, QString& error)>;

// Creates the SQLite file; refuses an existing file. On failure nothing is left behind.
bool InitSqliteAccountSet(const QString& filePath, QString& error,
                          const AccountSetContent& more = {});
// Creates the tables in the (empty) PostgreSQL database that the libpq conninfo names, in one
// transaction.
bool InitPostgresAccountSet(const QString& connInfo, QString& error);
