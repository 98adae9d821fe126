#pragma once
// Notices when the user leaves an open cell editor. A grid registers its editor while an edit
// is open; one application-wide watcher, installed while any registration exists, looks at
// every event before its receiver does:
// - the editor destroyed: its registration is forgotten;
// - the focus moves from inside the editor to outside it (and no drop-down of the editor is
//   open): the edit ends, applied;
// - a drop-down list or calendar of the editor opens or closes: remembered, so that using it
//   does not end the edit;
// - Escape or Enter inside the editor: the edit ends (Enter applies) and the key goes no
//   further, so it neither closes the form nor presses its default button; the grid then gets
//   Enter for its own stepping. Tab, Up and Down inside the editor go to the grid first;
// - a mouse press, wheel turn or context menu outside every editor, or Alt pressed anywhere:
//   every edit without an open drop-down ends, applied, before the receiver sees the event, so
//   a button pressed next to an open edit sees the edited text.
// Ending an edit runs synchronously; a grid's edit lock and the registration being removed
// first make a nested request (a message box shown while the edit ends) do nothing.
#include "widgets/GridView.h"

#include <QPointer>
#include <QWidget>

class CellEditWatcher {
public:
    CellEditWatcher(QWidget* editor, GridView* grid);
    ~CellEditWatcher();
    CellEditWatcher(const CellEditWatcher&) = delete;
    CellEditWatcher& operator=(const CellEditWatcher&) = delete;

    QWidget* Editor() const { return editor_; }
    GridView* Grid() const { return grid_; }
    bool DropDownOpen() const { return dropDownOpen_; }
    void SetDropDownOpen(bool open) { dropDownOpen_ = open; }

    // `widget` is `editor` or lies inside it, the editor's pop-up windows (drop-down lists,
    // calendars, the pick list) included.
    static bool Inside(const QWidget* widget, const QWidget* editor);
    // The registration of the editor that holds `widget` (or is it), if any.
    static CellEditWatcher* Holding(const QWidget* widget);
    // Number of registrations alive (the watcher is installed while it is above 0).
    static int Count();

private:
    QPointer<QWidget> editor_;
    QPointer<GridView> grid_;
    bool dropDownOpen_ = false;
};
