#pragma once
// Percent-encoding of values that forms put into addresses and post bodies, and the reading of
// GBK text files from the update server.
#include <QString>

// Every UTF-8 byte of `text` as "%" and two lower-case hexadecimal digits; letters and digits
// are encoded too, so the result never needs further quoting.
QString UrlEncode(const QString& text);

// Each "%" followed by two hexadecimal digits becomes that byte; every other byte (an incomplete
// escape included) stays as it is; the bytes are then read as UTF-8, invalid ones as
// replacement characters. The text's own characters are taken as UTF-8 bytes, the Linux
// desktop's code page.
QString UrlDecode(const QString& text);

// The whole file decoded from code page 936 (GBK); nothing for a file of one byte or less or one
// that cannot be read.
QString ReadGbkTextFile(const QString& path);
