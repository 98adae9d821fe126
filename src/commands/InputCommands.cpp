// Pointer buttons, keys and typing as if by the user, for forms that drive other programs (or
// their own controls) through the desktop; and the text of the window under the pointer. All of
// it needs an X11 display: without one each command says so once and does nothing.
#include "commands/CommandSupport.h"
#include "commands/WindowCommands.h"
#include "form/CommandContext.h"
#include "form/ControlValues.h"
#include "form/FormControls.h"
#include "platform/Pointer.h"
#include "platform/SyntheticInput.h"
#include "platform/VirtualKeys.h"
#include "platform/WindowUnderPointer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

using FormXml::XmlNode;
using platform::MouseButton;

namespace {

bool NoDisplay(CommandResult& result) {
    if (platform::SyntheticInputAvailable())
        return false;
    result.error = kNoX11Display;
    return true;
}

void Click(MouseButton button, int times) {
    for (int i = 0; i < times; ++i) {
        platform::SendButton(button, true);
        platform::SendButton(button, false);
    }
    platform::SettleInput();
}

bool Button(CommandResult& result, MouseButton button, bool down, bool up, int times = 1) {
    if (NoDisplay(result))
        return false;
    if (down && up) {
        Click(button, times);
    } else {
        platform::SendButton(button, down);
        platform::SettleInput();
    }
    return true;
}

// The virtual-key code of `values`; an unknown one fails with its number.
bool KeyOf(CommandResult& result, const XmlNode& command, unsigned long& keysym) {
    const QString text = command.GetAttribute("values");
    keysym = platform::KeySymOfVirtualKey(text.trimmed().toInt());
    if (!keysym)
        result.error = QStringLiteral("未知的按键代码：%1").arg(text);
    return keysym != 0;
}

bool Key(CommandResult& result, const XmlNode& command, bool down, bool up) {
    if (NoDisplay(result))
        return false;
    unsigned long keysym = 0;
    if (!KeyOf(result, command, keysym))
        return false;
    if (down)
        platform::SendKey(keysym, true);
    if (up)
        platform::SendKey(keysym, false);
    platform::SettleInput();
    return true;
}

// The text of control `values` (a plain id): a drop-down list gives its selected item.
bool SourceText(CommandContext& form, CommandResult& result, const XmlNode& command,
                QString& text) {
    QWidget* source = nullptr;
    if (!ResolveControl(form, result, command.GetAttribute("values"), source))
        return false;
    text = ReadControlValue(source);
    return true;
}

// Our own widget under the pointer that shows a text: an edit box, a label, a button, a list,
// or the window itself; the inner parts of a compound control count as the control.
QWidget* OwnTextWidgetUnderPointer() {
    QWidget* widget = QApplication::widgetAt(QCursor::pos());
    for (QWidget* w = widget; w; w = w->parentWidget()) {
        if (qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
            qobject_cast<QTextEdit*>(w) || qobject_cast<QLabel*>(w) ||
            qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w) || w->isWindow())
            return w;
    }
    return nullptr;
}

QString OwnText(QWidget* widget) {
    if (widget->isWindow())
        return widget->windowTitle();
    return ReadControlValue(widget);
}

} // namespace

bool LeftDown(CommandContext&, CommandResult& result, const XmlNode&, int) {
    return Button(result, MouseButton::Left, true, false);
}
bool LeftUp(CommandContext&, CommandResult& result, const XmlNode&, int) {
    return Button(result, MouseButton::Left, false, true);
}
bool LeftClick(CommandContext&, CommandResult& result, const XmlNode&, int) {
    return Button(result, MouseButton::Left, true, true);
}
bool LeftDclick(CommandContext&, CommandResult& result, const XmlNode&, int) {
    return Button(result, MouseButton::Left, true, true, 2);
}
bool RightDown(CommandContext&, CommandResult& result, const XmlNode&, int) {
    return Button(result, MouseButton::Right, true, false);
}
bool RightUp(CommandContext&, CommandResult& result, const XmlNode&, int) {
    return Button(result, MouseButton::Right, false, true);
}
bool RightClick(CommandContext&, CommandResult& result, const XmlNode&, int) {
    return Button(result, MouseButton::Right, true, true);
}
bool RightDclick(CommandContext&, CommandResult& result, const XmlNode&, int) {
    return Button(result, MouseButton::Right, true, true, 2);
}

bool KeyDown(CommandContext&, CommandResult& result, const XmlNode& command, int) {
    return Key(result, command, true, false);
}
bool KeyUp(CommandContext&, CommandResult& result, const XmlNode& command, int) {
    return Key(result, command, false, true);
}
bool KeyClick(CommandContext&, CommandResult& result, const XmlNode& command, int) {
    return Key(result, command, true, true);
}

// The control's text typed as characters. Each goes down and up: a key left down in X would
// repeat.
bool KeyInput(CommandContext& form, CommandResult& result, const XmlNode& command, int) {
    if (NoDisplay(result))
        return false;
    QString text;
    if (!SourceText(form, result, command, text))
        return false;
    platform::TypeText(text);
    return true;
}

// Each character's code, low 8 bits, pressed as a virtual-key code: letters and digits type
// themselves, other characters press whatever key their code names.
bool KeyInput2(CommandContext& form, CommandResult& result, const XmlNode& command, int) {
    if (NoDisplay(result))
        return false;
    QString text;
    if (!SourceText(form, result, command, text))
        return false;
    for (QChar c : text) {
        const unsigned long keysym = platform::KeySymOfVirtualKey(c.unicode() & 0xFF);
        platform::SendKey(keysym, true);
        platform::SendKey(keysym, false);
    }
    platform::SettleInput();
    return true;
}

// A fixed sequence kept for old definitions: to (120, 30), a double click, Delete and the text
// "600321". Delete is released as well: a key left down in X repeats.
bool MouseEvent(CommandContext&, CommandResult& result, const XmlNode&, int) {
    if (NoDisplay(result))
        return false;
    MovePointer(QPoint(120, 30));
    platform::SettleInput();
    Click(MouseButton::Left, 2);
    platform::SendKey(platform::KeySymOfVirtualKey(0x2E), true);
    platform::SendKey(platform::KeySymOfVirtualKey(0x2E), false);
    platform::SettleInput();
    platform::TypeText(QStringLiteral("600321"));
    return true;
}

bool GetValue(CommandContext& form, CommandResult& result, const XmlNode& command, int) {
    if (NoDisplay(result))
        return false;
    QWidget* target = nullptr;
    if (!ResolveControl(form, result, command.GetAttribute("values"), target))
        return false;
    QWidget* own = OwnTextWidgetUnderPointer();
    QString text = own ? OwnText(own) : PointerWindowName();
    // At most 199 characters, never half of one.
    if (text.size() > 199)
        text.truncate(text[198].isHighSurrogate() ? 198 : 199);
    WriteControlValue(target, text);
    return true;
}

bool SetValue(CommandContext& form, CommandResult& result, const XmlNode& command, int) {
    if (NoDisplay(result))
        return false;
    QString text;
    if (!SourceText(form, result, command, text))
        return false;
    if (QWidget* own = OwnTextWidgetUnderPointer()) {
        if (own->isWindow())
            own->setWindowTitle(text);
        else
            SetControlText(own, text);
    } else {
        SetPointerWindowName(text);
    }
    return true;
}
