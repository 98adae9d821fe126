#pragma once
// Texts that come from a user or from the database travel inside statement texts as sealed
// markers until the session runs the statement. A sealed text holds no braces, quotes, ";" or
// keywords, so no later placeholder rule, parameter marker or script split can see into it: it is
// inserted once and never scanned again. The session opens the seals in one pass just before
// the statement reaches the engine.
#include <QString>
#include <QStringView>

// `text` sealed; an empty text stays empty.
QString SealInsertedText(const QString& text);
// `text` for the inside of a quoted SQL literal: its quotes doubled, then sealed.
QString SealSqlLiteralText(const QString& text);
// `sql` with every sealed text opened, in one left-to-right pass: opened texts are not looked
// at again. A damaged seal is left as it stands.
QString OpenInsertedTexts(const QString& sql);
// Index just past the sealed text that opens at `at` in `text`; -1 when none opens there.
qsizetype SealedTextEnd(QStringView text, qsizetype at);
