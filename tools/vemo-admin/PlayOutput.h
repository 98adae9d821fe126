#pragma once
// What `vemo-admin play` prints on standard output, one record per line so that tests can
// compare it. Texts are written with the script's own escapes (\n, \t, \\, and \r), so a text
// never breaks a line and can be pasted back into an `expect` step.
//
//   message [CAPTION] TEXT           every message box, questions included
//   expect failed: ID                followed by "  expected: TEXT" and "  actual: TEXT"
//   dump ID: TEXT                    first line of every dump (": TEXT" left off when empty),
//                                    then by kind:
//     check box, radio button        checked: 0|1|2 (2 = the third state)
//     drop-down list                 one line per item: "* ITEM" selected, "- ITEM" other
//     grid                           "key<TAB>state<TAB>TITLE..." then per row
//                                    "KEY<TAB>STATE<TAB>CELL..."
//     tree                           per node, depth first, two spaces per level:
//                                    "KEY<TAB>CHECKED<TAB>TEXT"
//     tree-list                      per body row in tree order, indented the same way:
//                                    "KEY<TAB>TIP1<TAB>TIP2<TAB>TIP3<TAB>COLOUR<TAB>TITLE<TAB>CELL..."
//   sql rows                         one line per row, fields separated by tabs
//   dump-colors ID:                  then per grid row the background and text colour of each
//                                    cell in turn, "r,g,b" each, separated by tabs
//   clipboard: TEXT                  the clipboard's text (": TEXT" left off when empty)
#include <QString>
#include <QStringList>

class GridView;
class QWidget;

// Writes one line (UTF-8) and flushes, so output and a crash never come apart.
void PrintPlayLine(const QString& line);

QString MessageLine(const QString& caption, const QString& text);
QStringList ExpectFailureLines(const QString& id, const QString& expected, const QString& actual);
// The dump of a control named `id` in the script.
QStringList DumpLines(const QString& id, const QWidget* control);
// "state ID: enabled|disabled, shown|hidden" and ", read-only" for a box that takes no typing:
// what a user can do with the control.
QString StateLine(const QString& id, const QWidget* control);
// Where the keyboard is in `form`: "focus: ID" (a control), "focus: ID row R column C" (a cell
// editor of grid ID), "focus: form" or "focus: none" (no window of the form has it).
QString FocusLine(const QWidget* form);
// The colours a grid's cells are drawn with, row by row.
QStringList ColorDumpLines(const QString& id, const GridView& grid);
QString ClipboardLine(const QString& text);
// One row of a query result.
QString RowLine(const QStringList& fields);
