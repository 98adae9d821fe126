#pragma once
// Reads a business function's form definition from c_menu_dh through the process-wide
// form-definition cache.
#include <QString>

class DbSession;
class FormRegistry;

// The text of a menu entry without a stored row.
inline const char kEmptyFormDefinition[] = "<html version='1.0' id='0'></html>";

// Milliseconds after which the cache is emptied (four hours).
inline constexpr long long kFormCacheLifetimeMs = 14'400'000;

// Empties the cache when its lifetime has passed since the last flush.
void FlushFormCacheIfStale(FormRegistry& app);

// 1: the text was in the cache or was loaded (a non-empty `text` is returned unchanged);
// 0: c_menu_dh has no row for the uid (text = the empty form);
// -1: the stored value is empty or damaged (`error` says why).
int LoadFormDefinition(FormRegistry& app, DbSession& session, const QString& menuUid, QString& text,
                       QString* error = nullptr);
