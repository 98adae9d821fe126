#pragma once
// The last step of Access-SQL translation: the token list written as the engine's text, with
// functions, operators and literals rewritten on the way by the engine's spelling.
#include "data/SqlTokenList.h"
#include "data/SqlTranslator.h"

namespace AccessSql {

// `unsupported` receives the first construct met that has no faithful rewrite; empty when none.
QString emitSql(const Tokens& t, SqlDialect dialect, QString& unsupported);

} // namespace AccessSql
