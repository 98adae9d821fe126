#pragma once
// Stored form definitions carry Windows window-style bits in their `style` attributes. This is
// the one place that gives those bits a meaning here: each control family reads the bits that
// have a visible effect and ignores the rest. The numeric values overlap between families
// (0x1 is "centred" for an edit box and "default button" for a push button), so every family
// has its own reader.
#include <Qt>

class QLineEdit;
class QPlainTextEdit;

namespace StyleBits {

// Edit boxes.
inline constexpr int ES_CENTER = 0x1;
inline constexpr int ES_RIGHT = 0x2;
inline constexpr int ES_MULTILINE = 0x4;
inline constexpr int ES_UPPERCASE = 0x8;
inline constexpr int ES_LOWERCASE = 0x10;
inline constexpr int ES_PASSWORD = 0x20;
inline constexpr int ES_READONLY = 0x800;
inline constexpr int ES_WANTRETURN = 0x1000;
inline constexpr int ES_NUMBER = 0x2000;

// Buttons: the low four bits are the button type.
inline constexpr int BS_TYPEMASK = 0xF;
inline constexpr int BS_DEFPUSHBUTTON = 0x1;
inline constexpr int BS_CHECKBOX = 0x2;
inline constexpr int BS_AUTOCHECKBOX = 0x3;
inline constexpr int BS_RADIOBUTTON = 0x4;
inline constexpr int BS_3STATE = 0x5;
inline constexpr int BS_AUTO3STATE = 0x6;
inline constexpr int BS_GROUPBOX = 0x7;
inline constexpr int BS_AUTORADIOBUTTON = 0x9;
inline constexpr int BS_LEFTTEXT = 0x20;
inline constexpr int BS_PUSHLIKE = 0x1000;
inline constexpr int BS_FLAT = 0x8000;

// Labels: the low five bits are the label type; only the text types carry an alignment.
inline constexpr int SS_TYPEMASK = 0x1F;
inline constexpr int SS_CENTER = 0x1;
inline constexpr int SS_RIGHT = 0x2;
inline constexpr int SS_CENTERIMAGE = 0x200;
inline constexpr int SS_SUNKEN = 0x1000;
inline constexpr int SS_ENDELLIPSIS = 0x4000;

// Drop-down lists.
inline constexpr int CBS_SORT = 0x100;
inline constexpr int CBS_UPPERCASE = 0x2000;
inline constexpr int CBS_LOWERCASE = 0x4000;

// Date fields.
inline constexpr int DTS_UPDOWN = 0x1;

// Trees.
inline constexpr int TVS_CHECKBOXES = 0x100;

// Any window.
inline constexpr int WS_BORDER = 0x00800000;
inline constexpr int WS_DISABLED = 0x08000000;

enum class LetterCase { AsTyped, Upper, Lower };

struct EditStyle {
    bool multiLine = false;
    bool wantReturn = false; // Enter starts a new line in a multi-line box
    bool password = false;
    bool digitsOnly = false;
    bool readOnly = false;
    bool disabled = false;
    LetterCase letterCase = LetterCase::AsTyped;
    Qt::Alignment alignment = Qt::AlignLeft;
};
EditStyle EditStyleOf(int bits);

// Converts what the user types in the box to the case; text put in by the program keeps its case.
void ForceLetterCase(QLineEdit* box, LetterCase letterCase);

// Applies the edit bits to a box; a later `readonly` attribute may still make it read-only.
void ApplyEditStyle(QLineEdit* box, int bits);
void ApplyEditStyle(QPlainTextEdit* box, int bits);

enum class ButtonKind { Push, CheckBox, Radio, ThreeState, GroupBox };

struct ButtonStyle {
    ButtonKind kind = ButtonKind::Push;
    bool defaultButton = false;
    bool pushLike = false; // a check box or radio button drawn as a push button that stays down
    bool textLeft = false; // the check mark to the right of the text
    bool flat = false;
    bool disabled = false;
};
ButtonStyle ButtonStyleOf(int bits);

struct StaticStyle {
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop;
    bool sunken = false;
    bool border = false;
    bool ellipsis = false;
};
StaticStyle StaticStyleOf(int bits);

struct ComboStyle {
    bool sorted = false;
    LetterCase letterCase = LetterCase::AsTyped;
    bool disabled = false;
};
ComboStyle ComboStyleOf(int bits);

struct DateStyle {
    bool spinButtons = false; // up-down arrows instead of the drop-down calendar
    bool disabled = false;
};
DateStyle DateStyleOf(int bits);

struct TreeStyle {
    bool checkBoxes = false;
};
TreeStyle TreeStyleOf(int bits);

} // namespace StyleBits
