#include "platform/StyleBits.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpressionValidator>
#include <QTextOption>

namespace StyleBits {

namespace {

bool Has(int bits, int flag) {
    return (bits & flag) == flag;
}

LetterCase CaseOf(int bits, int upper, int lower) {
    if (Has(bits, upper))
        return LetterCase::Upper;
    if (Has(bits, lower))
        return LetterCase::Lower;
    return LetterCase::AsTyped;
}

} // namespace

void ForceLetterCase(QLineEdit* box, LetterCase letterCase) {
    if (letterCase == LetterCase::AsTyped)
        return;
    QObject::connect(box, &QLineEdit::textEdited, box, [box, letterCase](const QString& text) {
        const QString converted = letterCase == LetterCase::Upper ? text.toUpper() : text.toLower();
        if (converted == text)
            return;
        const int cursor = box->cursorPosition();
        box->setText(converted);
        box->setCursorPosition(cursor);
    });
}

EditStyle EditStyleOf(int bits) {
    EditStyle style;
    style.multiLine = Has(bits, ES_MULTILINE);
    style.wantReturn = Has(bits, ES_WANTRETURN);
    style.password = Has(bits, ES_PASSWORD);
    style.digitsOnly = Has(bits, ES_NUMBER);
    style.readOnly = Has(bits, ES_READONLY);
    style.disabled = Has(bits, WS_DISABLED);
    style.letterCase = CaseOf(bits, ES_UPPERCASE, ES_LOWERCASE);
    // ES_RIGHT wins when both alignment bits are set (the value 3 is right-aligned too).
    if (Has(bits, ES_RIGHT))
        style.alignment = Qt::AlignRight;
    else if (Has(bits, ES_CENTER))
        style.alignment = Qt::AlignHCenter;
    return style;
}

void ApplyEditStyle(QLineEdit* box, int bits) {
    const EditStyle style = EditStyleOf(bits);
    if (style.password)
        box->setEchoMode(QLineEdit::Password);
    if (style.digitsOnly)
        box->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), box));
    if (style.readOnly)
        box->setReadOnly(true);
    if (style.disabled)
        box->setEnabled(false);
    box->setAlignment(style.alignment | Qt::AlignVCenter);
    ForceLetterCase(box, style.letterCase);
}

void ApplyEditStyle(QPlainTextEdit* box, int bits) {
    const EditStyle style = EditStyleOf(bits);
    if (style.readOnly)
        box->setReadOnly(true);
    if (style.disabled)
        box->setEnabled(false);
    QTextOption option = box->document()->defaultTextOption();
    option.setAlignment(style.alignment);
    box->document()->setDefaultTextOption(option);
}

ButtonStyle ButtonStyleOf(int bits) {
    ButtonStyle style;
    switch (bits & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
        style.kind = ButtonKind::CheckBox;
        break;
    case BS_RADIOBUTTON:
    case BS_AUTORADIOBUTTON:
        style.kind = ButtonKind::Radio;
        break;
    case BS_3STATE:
    case BS_AUTO3STATE:
        style.kind = ButtonKind::ThreeState;
        break;
    case BS_GROUPBOX:
        style.kind = ButtonKind::GroupBox;
        break;
    case BS_DEFPUSHBUTTON:
        style.defaultButton = true;
        break;
    default: // push buttons, owner-drawn and user buttons: all plain push buttons here
        break;
    }
    style.pushLike = Has(bits, BS_PUSHLIKE);
    style.textLeft = Has(bits, BS_LEFTTEXT);
    style.flat = Has(bits, BS_FLAT);
    style.disabled = Has(bits, WS_DISABLED);
    return style;
}

StaticStyle StaticStyleOf(int bits) {
    StaticStyle style;
    Qt::Alignment horizontal = Qt::AlignLeft;
    switch (bits & SS_TYPEMASK) {
    case SS_CENTER:
        horizontal = Qt::AlignHCenter;
        break;
    case SS_RIGHT:
        horizontal = Qt::AlignRight;
        break;
    default:
        break;
    }
    const Qt::Alignment vertical = Has(bits, SS_CENTERIMAGE) ? Qt::AlignVCenter : Qt::AlignTop;
    style.alignment = horizontal | vertical;
    style.sunken = Has(bits, SS_SUNKEN);
    style.border = Has(bits, WS_BORDER);
    style.ellipsis = Has(bits, SS_ENDELLIPSIS);
    return style;
}

ComboStyle ComboStyleOf(int bits) {
    ComboStyle style;
    style.sorted = Has(bits, CBS_SORT);
    style.letterCase = CaseOf(bits, CBS_UPPERCASE, CBS_LOWERCASE);
    style.disabled = Has(bits, WS_DISABLED);
    return style;
}

DateStyle DateStyleOf(int bits) {
    DateStyle style;
    style.spinButtons = Has(bits, DTS_UPDOWN);
    style.disabled = Has(bits, WS_DISABLED);
    return style;
}

TreeStyle TreeStyleOf(int bits) {
    TreeStyle style;
    style.checkBoxes = Has(bits, TVS_CHECKBOXES);
    return style;
}

} // namespace StyleBits
