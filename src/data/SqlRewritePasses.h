#pragma once
// The rewriting passes of Access-SQL translation, in the order they run. Each takes a token list
// and gives one back (the same one when it has nothing to rewrite); a pass that meets a construct
// with no faithful rewrite names it in `unsupported` and leaves it as written.
#include "data/SqlTokenList.h"
#include "data/SqlTranslator.h"

namespace AccessSql {

// On the whole text:
// #..# dates become the texts the account set stores dates as.
Tokens rewriteDateLiterals(const Tokens& t);
// An unnamed table made by a subquery gets a name (PostgreSQL before 16 needs one).
Tokens nameDerivedTables(const Tokens& t);

// Statement by statement:
// DELETE * FROM t and its relatives become DELETE FROM t.
Tokens rewriteDelete(const Tokens& t);
// DISTINCTROW over one table goes; over a join it is reported.
Tokens rewriteDistinctRow(const Tokens& t, QString& unsupported);
// SELECT TOP n becomes a limit at the end of that SELECT.
Tokens rewriteTop(const Tokens& t, SqlDialect dialect, QString& unsupported);
// The multi-table UPDATE becomes UPDATE ... FROM.
Tokens rewriteUpdate(const Tokens& t, QString& unsupported);

} // namespace AccessSql
