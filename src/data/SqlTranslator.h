#pragma once

// Translation of the client's Access SQL for the engines that run database kinds 2 and 3.
//
// A statement is rewritten only where the target engine would reject it or give a different
// answer than Access; anything else (whitespace, comments, string literals, unknown constructs)
// is copied unchanged, so a statement that needs nothing comes back byte-identical.

#include <QString>

enum class SqlDialect { Sqlite, Postgres };

// `unsupported`, when given, receives the name of the first construct that cannot be translated
// faithfully (TOP n PERCENT, TRANSFORM ... PIVOT, ...); such a statement must not be run, as it
// would give a result other than Access's. Empty when there is none.
QString TranslateAccessSql(const QString& sql, SqlDialect dialect, QString* unsupported = nullptr);
