#pragma once
// A user's hands on a form's controls: real mouse and key events sent through the application,
// so the controls, the form's key filter and the control wiring handle them exactly as they
// handle a user's input. Each operation acts only on a control a user could reach (enabled and
// shown); on any other it does nothing, as a click on a greyed-out button does nothing.
#include <QList>
#include <QString>

class GridView;
class FormWindow;
class QTreeWidget;
class TreeListView;
class QWidget;

bool UserCanReach(const QWidget* control);

// Makes the window that holds `widget` the active one, as the user's click on it would, so that
// focus moves inside it send their focus-in and focus-out events.
void ActivateWindowOf(QWidget* widget);

// A left click where a user clicks the control: the middle of a button, the box of a check
// box, the button of an edit-with-button, the arrow of a drop-down list (opened and closed
// again), the selected row of a grid or tree (the empty area below the rows when none is).
// The click gives the focus as a click does.
void ClickControl(QWidget* control);
void DoubleClickControl(QWidget* control);

// Focuses the control, selects its text and types `text` key by key (a line break is the Enter
// key, a tab the Tab key), then takes the focus away from wherever it ended.
void TypeIntoControl(QWidget* control, const QString& text);

// Focuses the control and presses one key (a Qt key code).
void PressKeyOn(QWidget* control, int key);

// Clicks a check box or radio button until it is on or off. False with `error` for a control
// that has no check state, or a state clicks cannot reach (a radio button turned off).
bool CheckControl(QWidget* control, bool on, QString& error);

// Selects, as a user does:
//   grid      rows by keyboard selection: the first becomes the focused row, the others are
//             added to the selection; an empty list clears the selection;
//   drop-down the item with that index, picked from the opened list with Enter;
//   panel     the page with that index.
bool SelectInControl(QWidget* control, const QList<int>& rows, QString& error);

// Clicks the cell (row, column), types `text` into the editor that opened over it and ends the
// edit applying it. An editor with a pick list that shows candidates for the text stays open
// for `PickCandidate`. False with `error` when the cell is outside the grid or no editor opens.
bool EditGridCell(GridView* grid, int row, int column, const QString& text, QString& error);

// A key pressed while editing cells: at the open editor (where its focus is), else at the grid.
// Shift+Tab is Qt::Key_Backtab.
void PressEditKey(GridView* grid, int key);

// Chooses candidate `row` (0-based) of the open pick list, or of the grid of `form` when it is a
// candidate pop-up form (a double click on the row). False with `error` when there is neither.
bool PickCandidate(FormWindow* form, int row, QString& error);
// Clicks the node with `key` of a tree on its text, after opening the branches above it and
// scrolling to it. False with `error` when no node has that key.
bool ClickTreeNode(QTreeWidget* tree, int key, QString& error);
// Checks or unchecks the box of the node with `key`, as a click on the box does.
bool CheckTreeNode(QTreeWidget* tree, int key, bool on, QString& error);
// Clicks (left or right) body row `row` of a tree-list (0-based in display order) on its title,
// after scrolling it into view.
bool ClickTreeListRow(TreeListView* chart, int row, bool right, QString& error);
