#pragma once
// Small operations on a form's controls by kind, shared by the form window and its actions.
class DbSession;
class QComboBox;
class QString;
class QWidget;

// Sets the text a control shows, as its kind's adapter does (ControlAdapters.h).
void SetControlText(QWidget* control, const QString& text);
// Empties a control the way a hidden form is reset before it is shown again.
void ResetControl(QWidget* control);
// Presses a button-like control as a click would.
void PressControl(QWidget* control);

// Fills a drop list once from one column of a query: a list with two or more items is left
// alone. The texts go under an empty first item and the shown text stays. False when the query
// failed (the list is left as it was) or found no rows (only the empty item is left).
bool FillComboFromQuery(DbSession& session, QComboBox* combo, const QString& sql,
                        const QString& column);
