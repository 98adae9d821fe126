#pragma once
// The compressed image in which a form definition is kept in c_menu_dh.form_0:
// L (4 bytes, little-endian: byte length of the unpacked UTF-16LE text), B (1 byte: code
// width, 9 to 25), then codes of B bits packed least-significant bit first. The codes are an
// LZW stream over the text's bytes whose dictionary is emptied whenever it has filled all
// 2^B - 256 entry codes.
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

struct UnpackResult {
    bool ok = false;
    QString text;  // the definition text, when ok
    QString error; // one short line saying why the value cannot be unpacked, when not ok
};

// Stored values of more than this many unpacked bytes are refused as damaged.
inline constexpr std::uint32_t kMaxUnpackedDefinitionBytes = 256u * 1024u * 1024u;

// Never throws and never reads outside `stored`; damaged values give ok == false. The text
// ends at the first NUL character and holds at most L / 2 characters.
UnpackResult UnpackDefinition(const QByteArray& stored);
UnpackResult UnpackDefinition(const std::uint8_t* stored, std::size_t size);

// The inverse of UnpackDefinition: UnpackDefinition(PackDefinition(t)).text == t for every t
// without U+0000 (a stored text ends at its first NUL, so characters from there on are
// dropped). A terminating NUL is stored inside L, as readers of these values may rely on it.
// codeBits outside 9 to 25, or a text of more than kMaxUnpackedDefinitionBytes / 2 - 1
// characters, gives an empty array, which no reader accepts.
QByteArray PackDefinition(const QString& text, int codeBits = 12);
