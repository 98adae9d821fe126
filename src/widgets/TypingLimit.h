#pragma once
// The `maxlen` of an edit box limits what the user puts in: typed keys, input-method text,
// pastes and drops. A text that the program puts in keeps its whole length, however long: a
// field filled from a record must save that record unchanged. (QLineEdit::setMaxLength would cut
// such a text, so the limit is kept here instead.) When the box already holds more than the
// limit, the user may shorten the text but not lengthen it.
class QWidget;

// Limits user input into a QLineEdit or QPlainTextEdit to `maxLength` characters.
void LimitTyping(QWidget* box, int maxLength);

// The limit LimitTyping set on the box; 0 when it has none.
int TypingLimitOf(const QWidget* box);
