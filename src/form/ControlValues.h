#pragma once
// Small operations on a form's controls by kind, shared by the form window and its actions.
class QString;
class QWidget;

// Sets the text a control shows (edit boxes, drop-down edit fields, labels, buttons).
void SetControlText(QWidget* control, const QString& text);
// Empties a control the way a hidden form is reset before it is shown again.
void ResetControl(QWidget* control);
// Presses a button-like control as a click would.
void PressControl(QWidget* control);
