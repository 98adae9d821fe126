#pragma once
// The `maxlen` of an edit box limits what the user puts in: typed keys, input-method text,
// pastes and drops. A text that the program puts in keeps its whole length, however long: a
// field filled from a record must save that record unchanged. (QLineEdit::setMaxLength would cut
// such a text, so the limit is kept here instead.) When the box already holds more than the
// limit, the user may shorten the text but not lengthen it.
class QLineEdit;
class QWidget;

// Lifts the length a line edit holds by default (32767): a text put in by the program or typed
// is kept whole, and `maxlen` alone limits the user.
void LiftLengthCap(QLineEdit* box);

// Limits user input into a QLineEdit or QPlainTextEdit to `maxLength` characters; a line edit
// has its default cap lifted, with or without a limit.
void LimitTyping(QWidget* box, int maxLength);

// The limit LimitTyping set on the box; 0 when it has none.
int TypingLimitOf(const QWidget* box);
