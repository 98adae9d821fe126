#pragma once
// The script language of `vemo-admin play`: one step per line, blank lines and lines starting
// with # skipped, words separated by blanks, the free text of a step running to the line's end.
// A whole script is checked before any step runs, so a typing mistake never leaves an account set
// half-changed.
#include <QList>
#include <QString>
#include <QStringList>

struct PlayStep {
    int line = 0;     // 1-based line in the script
    QString name;     // "login", "click", ...
    QStringList args; // escapes already resolved
};

// Resolves \n, \t, \r and \\ in a script argument; any other backslash stays as written.
QString UnescapeScriptText(const QString& text);
// The inverse: a text written so that it stays on one line and reads back unchanged, the form in
// which the runner prints texts.
QString EscapeScriptText(const QString& text);

// Splits a script into steps. False with `error` naming the line when a step is unknown, has
// the wrong number of words, or a word that the step cannot take (a key name, a number).
bool ParsePlayScript(const QString& script, QList<PlayStep>& steps, QString& error);

// Key names of the `key` step, case-insensitive: Enter, Escape, Tab, Up, Down, F1 .. F24.
// Returns the Qt key, or 0 for an unknown name.
int PlayKeyCode(const QString& name);

// A `select` row list: 0-based numbers separated by commas; an empty text selects nothing.
bool ParseRowList(const QString& text, QList<int>& rows);

// The rest of a `row-click` step: a 0-based row number, optionally followed by "right".
bool ParseRowClick(const QString& text, int& row, bool& right);
