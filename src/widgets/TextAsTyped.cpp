#include "widgets/TextAsTyped.h"

#include <QTextDocument>

QString TextAsTyped(const QTextDocument* document) {
    if (!document)
        return {};
    // The raw text separates blocks with U+2029, keeps Shift+Enter's U+2028 and marks frames
    // (a rich-text editor's tables) with U+FDD0 and U+FDD1; all of them are line ends to the
    // rest of the system, as in Qt's plain-text reading.
    QString text = document->toRawText();
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if (u == QChar::ParagraphSeparator || u == QChar::LineSeparator || u == 0xFDD0 ||
            u == 0xFDD1)
            c = u'\n';
    }
    return text;
}
