#include "commands/PhoneticInitials.h"

QString PhoneticInitials(const QString& text) {
    QString initials = text;
    for (QChar& c : initials) {
        const char16_t code = c.unicode();
        if (code < kFirstPhoneticCharacter || code > kLastPhoneticCharacter)
            continue;
        const char initial = kPhoneticInitials[code - kFirstPhoneticCharacter];
        if (initial != '_')
            c = QLatin1Char(initial);
    }
    return initials;
}
