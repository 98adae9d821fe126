#pragma once
// Creates a new account set: the schema, the two c_app rows, a group that may see everything
// and the administrator user (uid 1, login id "admin").
#include "data/AccountSetDefaults.h"

#include <QString>

#include <functional>

class DbSession;

// More content written in the same transaction as the schema and the first rows (the demo
// account set); false with `error` set rolls everything back.
using AccountSetContent = std::function<bool(DbSession& session, QString& error)>;

// The UTF-8 text of a compiled-in file; empty when it is missing.
QString ResourceText(const QString& path);
// A compiled-in SQL script without its whole-line comments: the session skips a script piece
// that starts with "--", which would take the statement after the comment with it.
QString ResourceScript(const QString& path);
// The session's last failure as one line, message first, technical detail in brackets.
// Why an account set named by cfg.ini could not be opened, in one line, with what to do.
QString AccountSetOpenError(const DbSession& session);
QString SessionError(const DbSession& session);

// Creates the SQLite file; refuses an existing file. On failure nothing is left behind, and no
// other file beside it is ever replaced or removed.
bool InitSqliteAccountSet(const QString& filePath, QString& error,
                          const AccountSetContent& more = {});
// Creates the tables in the (empty) PostgreSQL database that the libpq conninfo names, in one
// transaction.
bool InitPostgresAccountSet(const QString& connInfo, QString& error,
                            const AccountSetContent& more = {});
