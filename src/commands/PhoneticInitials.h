#pragma once
// Phonetic (pinyin) initials of the common Chinese characters, for search columns that let a
// user find "螺丝刀" by typing "LSD".
#include <QString>

inline constexpr char16_t kFirstPhoneticCharacter = 0x4E00;
inline constexpr char16_t kLastPhoneticCharacter = 0x9FA5;
inline constexpr int kPhoneticInitialsCount = kLastPhoneticCharacter - kFirstPhoneticCharacter + 1;

// One upper-case letter per code point from U+4E00 to U+9FA5; '_' for a character without a
// known reading. Generated data (tools/make-phonetic-initials.py).
extern const char kPhoneticInitials[kPhoneticInitialsCount + 1];

// Every character from U+4E00 to U+9FA5 with a reading becomes its initial; any other character
// stays as it is.
QString PhoneticInitials(const QString& text);
