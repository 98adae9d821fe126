#pragma once

// cfg.ini: the client's local settings, an INI file next to the executable. Reading and writing
// follow the Windows profile-string rules the file format comes from, so files written by older
// clients and by hand read the same way:
// - section and key names match case-insensitively; the first matching section and key win;
// - values lose surrounding spaces and tabs and then one pair of surrounding quotes (" or ');
//   the client writes a value in quotes when it would otherwise not read back as written;
// - a value comes back cut to 511 characters;
// - a missing file, section or key reads as empty text.
// A file the client creates is UTF-16 LE with a byte-order mark and CR LF line ends; existing
// files keep their encoding (UTF-16 LE, UTF-8 with or without BOM, GBK) and every line the
// write does not touch.

#include <QString>
#include <QStringList>

// Longest value ReadCfg returns; longer values are cut.
inline constexpr int kCfgValueMaxLength = 511;

// TIMEOUT when the key is missing or empty, and the largest accepted value.
inline constexpr int kCfgDefaultTimeoutSeconds = 60;
inline constexpr int kCfgMaxTimeoutSeconds = 300;

QString ReadCfg(const QString& file, const QString& section, const QString& key);

// One section read once, for callers that look up many keys in a row (a grid's remembered
// column widths); Value answers as ReadCfg would have at the time of reading.
class CfgSection {
public:
    CfgSection(const QString& file, const QString& section);
    QString Value(const QString& key) const;

private:
    QStringList keys_;
    QStringList values_;
};

// Replaces the key's line in place, or adds the key at the end of its section, or adds the
// section at the end of the file. The file is replaced atomically. Failures are only logged:
// callers of the configuration never check a result. A file with LF or CR line ends whose ends
// could no longer tell the lines apart (a value holding a CR or LF) is written with CR LF ends.
void WriteCfg(const QString& file, const QString& section, const QString& key,
              const QString& value);

// Full path of cfg.ini in an executable folder given with its trailing "/".
QString CfgPath(const QString& exeFolder);

// Lock-wait seconds from a TIMEOUT value: empty → 60; otherwise the leading integer as C atoi
// reads it (no digits → 0), at most 300.
int ParseTimeoutSeconds(const QString& value);

// [SERVER] TIMEOUT of the given cfg.ini, parsed as above.
int ReadTimeoutSeconds(const QString& file);
