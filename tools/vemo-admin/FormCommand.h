#pragma once
// Form authoring: packing and unpacking stored definitions, and moving them in and out of
// c_menu_dh.form_0.
#include <QString>

// Packing and importing refuse a definition the client could not open (text that does not
// parse as one XML document) and then write nothing. Unpacking and exporting write whatever is
// stored, so that a broken form can still be read and repaired; unpacking then fails with
// where the XML breaks.

// Packs the XML file's text into the stored image at the given code width (9 to 25).
bool PackFormFile(const QString& xmlPath, const QString& outPath, int codeBits, QString& error);
// Unpacks a stored image into a UTF-8 file (no byte-order mark), exactly as unpacked; false
// with where it breaks when the text is not well-formed XML, the file written all the same.
bool UnpackFormFile(const QString& storedPath, const QString& xmlPath, QString& error);
// Stores the XML file's definition into c_menu_dh.form_0 of row uid.
bool ImportForm(const QString& connectionText, const QString& uid, const QString& xmlPath,
                int codeBits, QString& error);
// Writes the definition held in c_menu_dh.form_0 of row uid into a UTF-8 file.
bool ExportForm(const QString& connectionText, const QString& uid, const QString& xmlPath,
                QString& error);

inline constexpr int kDefaultFormCodeBits = 16;
