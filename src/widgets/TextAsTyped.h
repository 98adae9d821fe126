#pragma once
// The text of a multi-line box as the user typed it or a command put it in. Qt's plain-text
// reading turns a no-break space into a plain one, which would change the text on a save; this
// one keeps every character and gives line ends as "\n".
#include <QString>

class QTextDocument;

QString TextAsTyped(const QTextDocument* document);
