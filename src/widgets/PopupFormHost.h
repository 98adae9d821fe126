#pragma once
// What an edit-with-button needs from the form that holds it: running a pop-up form. The form
// window implements it (through ControlHost), so the widget stays below the form layer.
#include <QString>

class EditWithButton;

// How an edit-with-button asks its form to run a pop-up form.
struct PopupFormRequest {
    QString popupValue;    // the control's `popup` attribute, as written
    QString popupDocument; // serialised "popup/html[@id=...]" element, "" when none matched
    EditWithButton* opener = nullptr;
    int columnOffset = 0; // the opener's `minlen`
    QString openerValue;  // set for a grid's cell editor, else empty
};

class PopupFormHost {
public:
    virtual ~PopupFormHost() = default;
    // Shows a pop-up form modally; true (with the returned text) when it ended with OK.
    virtual bool RunPopupForm(const PopupFormRequest& request, QString& returned) = 0;
};
