#pragma once
// The form's side of editing grid cells: for every grid column whose definition names a
// `hidden_wnd` control (a text box, drop-down list, date field or edit-with-button field), that
// control becomes the column's editor, with begin and end steps that move the cell's text in
// and out, mark the row edited, run the column's ENDEDIT fill steps and keep a numbered grid
// one empty row ahead of the user.
#include "form/XmlDocument.h"

#include <QString>

#include <functional>

class DbSession;
class GridView;
class ControlHost;
class QWidget;
class FormControls;

// Installs the editors of every grid among `controls`; the editor controls stay out of the
// form's layout from then on (they live in their grid).
void InstallCellEditors(FormControls& controls, ControlHost& host);

// What the ENDEDIT fill steps need of the form.
struct EndEditForm {
    const FormXml::XmlDocument& document;
    QString formId;
    DbSession& session;
    QWidget* owner; // of the messages
    std::function<QWidget*(int windowId)> control;
    std::function<QString(const QString&)> expand;
};

// Runs the ENDEDIT block of the edited column for row `row`: each child fills cells of the row
// from a query. False when a step failed (its message has been shown); the totals are
// refreshed only after all steps succeeded.
bool RunColumnEndEdit(const EndEditForm& form, GridView& grid, int row, int column);

// A grid whose first column is titled 行号, 序号 or LN gets a new numbered row (state 1) once
// one of columns 1 to 5 of its last row holds text. True when a row was added.
bool AddNumberedRowWhenFilled(GridView& grid);
