#pragma once
// The conventions every command family shares: how a command names a control (the reference
// texts), how it reads and writes control values, how its SQL text is built from controls and
// from the selected grid row, which session it runs on, and how a query result lands in a list
// of controls. Failures are results: an operation that fails a command returns false and, where
// the command should say why, leaves the message in the form's ErrorText.
#include "form/XmlDocument.h"

#include <QString>
#include <QStringList>

class DbSession;
class GridView;
class CommandContext;
struct CommandResult;
class QWidget;

// --- Control references ---

// Finds the window a reference text names:
//   ""        no control; succeeds with no window
//   "N"       control N of the form ("0" is the form itself); also when ":" comes first
//   "P:N"     control N of the form's parent (the opener of a pop-up); no parent: no window
//   "A:B:C"   control C of page B (from 1) of the panel A of the form; an empty page: no window
// A control not found directly in the form it names is looked for in that form's embedded page
// forms, in page order. A non-empty reference that still finds nothing fails and sets ErrorText
// to "控件指向出错:\n" followed by the reference.
bool ResolveControl(CommandContext& form, CommandResult& result, const QString& reference,
                    QWidget*& window);

// --- Reading and writing control values ---
// A command reads a control's value with ReadControlValue and writes one with WriteControlValue;
// both ask the adapter of the control's kind (form/ControlAdapters). ControlText and
// SetControlText are the raw texts underneath.

// The selected item's text of a drop-down list with a selection, otherwise the control's text;
// empty for no window.
QString ReadControlValue(const QWidget* window);
// The text of the referenced control read as an integer: -1 for an empty reference, 0 when the
// reference cannot be resolved or the text is empty.
int ReadControlInt(CommandContext& form, CommandResult& result, const QString& reference);
// Writes a query value into a control by its kind: a drop-down list selects the item with
// exactly that text (a value it lacks is inserted as the first item; an empty one clears the
// selection), a date field takes the value when it reads as a date, an edit box takes the text
// and selects all of it, other kinds take it as their text. Nothing for no window.
bool WriteControlValue(QWidget* window, const QString& value);
// Sets a control's text. A visible label also has the part of its parent under it repainted,
// so a transparent label never shows its old text through the new one. Nothing for no window.
void SetWindowText(QWidget* window, const QString& text);

// --- Building SQL ---

// A text for a statement, sealed so that no later expansion looks into it; the session opens it
// as the literal its place needs (quotes doubled inside a quoted text).
QString SealLiteral(const QString& text);

// How a selected row's cells are numbered in "{{id?N}}"; UidOnly binds the row key alone.
enum class RowColumns { UidOnly, FromZero, FromOne };

// Binds a grid row into `sql`: "{{id?uid}}" becomes the row key and, unless UidOnly,
// "{{id?N}}" the escaped text of each column N. The row is `num` when 1 <= num < row count,
// otherwise the first selected row. False, without a message, when there is no such row.
bool BindSelectedRow(const GridView& grid, QString& sql, RowColumns columns, int num = 0);
// The same for a command's `table_id` reference: an unresolvable reference fails with its
// message; a reference to no grid fails silently, as a grid without a selection does.
bool BindTableRow(CommandContext& form, CommandResult& result, const QString& tableReference,
                  QString& sql, RowColumns columns, int num = 0);

// Whether an empty filter control falls back to its parameter's `default` attribute.
enum class WhereDefaults { Ignore, Use };

// Binds the children of a `para_info_where` element: for child i (from 1) the text of the
// control its `value` names replaces "{{self}}" (escaped) in its `where` fragment, and the
// fragment replaces "{{pi}}" in `sql`. An empty control text drops the fragment, so an empty
// filter contributes no condition.
void BindWhereParameters(CommandContext& form, CommandResult& result, const FormXml::XmlNode& list,
                         QString& sql, WhereDefaults defaults = WhereDefaults::Ignore);
// Binds the children of a `para_info` element of the saving commands: as BindWhereParameters,
// the control named by `value` (or `wnd` when `value` is empty) must resolve; then
// "{{deleted_uid_0}}" and the form's placeholders are expanded. An empty `sql` stays as it is.
bool BindValueParameters(CommandContext& form, CommandResult& result, const FormXml::XmlNode& list,
                         QString& sql);

// --- Running queries ---

// The session a command runs on: the form's text session when its `txt` is not 0.
DbSession& CommandSession(CommandContext& form, const FormXml::XmlNode& command);
// Every field of every row, row by row. Positive only when at least one row was read; an empty
// result and a failed query both give a value that is not positive.
int QueryAllValues(DbSession& session, const QString& sql, QStringList& values);
// The SQL of a query command: `values` with the selected row of `table_id` (when set), the
// `para_info_where` filters and the form's placeholders bound in. False when the row cannot be
// bound (ErrorText set when the reference was unresolvable).
bool BuildCommandSql(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                     RowColumns columns, QString& sql,
                     WhereDefaults defaults = WhereDefaults::Ignore);

// Runs `sql` on the form's session and writes value k into target k of the ";"-separated
// references `targetIds`. The query must give exactly one value per target (a count that
// differs shows "参数和值数量不匹配!" and fails); no row clears every target. Fails for an empty
// `targetIds` and at the first unresolvable target.
bool FillTargets(CommandContext& form, CommandResult& result, const QString& targetIds,
                 const QString& sql);
