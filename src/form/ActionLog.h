#pragma once
// log_vemo.log in the executable's folder holds the report of the last failed action only.
#include <QString>

// Replaces the log file's contents with the text: line feeds become CR LF, the encoding GBK.
void WriteActionLog(const QString& exeFolder, const QString& text);
