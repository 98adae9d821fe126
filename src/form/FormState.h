#pragma once
// What the commands of one form keep between its actions, and the head values the form read once
// from its definition. The form window owns one; commands reach it only through CommandContext.
#include <QString>

// The page a paged search shows.
struct PageState {
    int number = 1;
    int total = 0;
    // A new search starts at page 1 again, except while a page command moves through the pages.
    bool resetPermitted = true;
};

// The head element's values that last as long as the form.
struct FormHeadValues {
    QString drawMethod;      // "1": the animated background
    QString scroll;          // the scroll area's extent, when the form scrolls
    int bg = 0;              // below 0: the window's opacity
    int style = 0;           // the frame style
    int timerButtonId = 0;   // the button a timer clicks, 0 for none
    int timerIntervalMs = 0; // and how often
    int parentBtn = 0;       // the opener's button clicked when an action closes the form
};

struct FormState {
    PageState page;
    QString deletedKeys; // saved detail rows deleted since the last save, "," separated
    QString loadedKeys;  // the rows the last paged search loaded, "," separated
    bool closeAfterAction = false;
    FormHeadValues head;
};
