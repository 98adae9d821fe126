#pragma once
// Texts that come from a user or from the database travel inside statement texts as sealed
// markers until the session runs the statement. A sealed text holds no braces, quotes, ";" or
// keywords, so no later placeholder rule, parameter marker or script split can see into it: it is
// inserted once and never scanned again. The session opens the seals in one pass just before
// the statement reaches the engine.
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>

// `text` sealed; an empty text stays empty.
QString SealInsertedText(const QString& text);
// Keys joined with "," for an IN (...) list, each sealed on its own so that each is opened as
// the number or the quoted text it is.
QString SealKeyList(const QStringList& keys);
// `sql` with every sealed text opened, in one left-to-right pass: opened texts are not looked
// at again. A damaged seal is left as it stands. For showing a statement, not for running it.
QString OpenInsertedTexts(const QString& sql);
// `text` with every sealed text replaced by what `write` makes of it, in one pass.
QString OpenInsertedTextsWith(QStringView text,
                              const std::function<QString(const QString&)>& write);
// `sql` with every sealed value opened as the statement must hold it, so that no value can end
// the literal it stands in or become code: inside a quoted text or name with that quote doubled,
// inside a comment on one line, elsewhere as a number when it is one (in parentheses when signed,
// so that "-" before it cannot make a comment) and else as a quoted text.
QString OpenInsertedValuesInSql(const QString& sql);
// Index just past the sealed text that opens at `at` in `text`; -1 when none opens there.
qsizetype SealedTextEnd(QStringView text, qsizetype at);
