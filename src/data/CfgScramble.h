#pragma once

// The light scrambling of the connection text stored in cfg.ini [SERVER] NAME. It only keeps
// passwords from being read at a glance; it is not encryption. Length-preserving, per UTF-16
// code unit, shifted by the position and the length; results wrap to 16 bits, so the
// scrambled text may hold control characters.

#include <QString>

QString ScrambleCfgText(const QString& text, int k = 1);
QString UnscrambleCfgText(const QString& text, int k = 1);
