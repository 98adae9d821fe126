// Commands on the form's own controls: running another control's action, pressing a button,
// focus, showing, enabling and checking controls from a query result, copying a check state,
// and keeping the form on top.
#include "commands/CommandSupport.h"
#include "commands/CommandTexts.h"
#include "commands/WindowCommands.h"
#include "form/CommandContext.h"
#include "form/FormControls.h"
#include "platform/AppMessage.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>
#include <QTimer>

using FormXml::XmlNode;
using namespace CommandTexts;

namespace {

QWidget* ControlById(CommandContext& form, int documentId) {
    return form.ControlByWindowId(WindowIdOfDocumentId(documentId));
}

// The values of the one-row query that `show`, `able` and `set_btn_state` apply, one per
// target of `target_ids`. False when the row cannot be bound or the counts differ (the
// mismatch is shown).
bool QueryTargetValues(CommandContext& form, CommandResult& result, const XmlNode& command,
                       QStringList& targets, QStringList& values) {
    QString sql = command.GetAttribute("values");
    const QString table = command.GetAttribute("table_id");
    if (!table.isEmpty() && !BindTableRow(form, result, table, sql, RowColumns::UidOnly))
        return false;
    const XmlNode direct = command.GetChild("para_info");
    if (!direct.IsEmpty()) {
        if (!BindValueParameters(form, result, direct, sql))
            return false;
    } else {
        BindWhereParameters(form, result, command.GetChild("para_info_where"), sql);
    }
    sql = form.ExpandStatementPlaceholders(sql);
    targets = command.GetAttribute("target_ids").split(QLatin1Char(';'), Qt::SkipEmptyParts);
    QueryAllValues(CommandSession(form, command), sql, values);
    if (values.size() != targets.size()) {
        ShowAppMessage(kCountMismatch, kAppCaption);
        return false;
    }
    return true;
}

template <typename Apply>
bool ApplyToTargets(CommandContext& form, CommandResult& result, const XmlNode& command,
                    Apply apply) {
    QStringList targets;
    QStringList values;
    if (!QueryTargetValues(form, result, command, targets, values))
        return false;
    for (qsizetype k = 0; k < targets.size(); ++k) {
        QWidget* window = nullptr;
        if (!ResolveControl(form, result, targets[k].trimmed(), window))
            return false;
        // The form itself is no target: hiding or disabling it would strand the user.
        if (window && window != form.FormWidget())
            apply(window, values[k].trimmed().toInt());
    }
    return true;
}

// Edit boxes stay enabled (their text can still be read and copied) and turn read-only.
bool SetEditable(QWidget* window, bool editable) {
    if (auto* edit = qobject_cast<QLineEdit*>(window)) {
        edit->setReadOnly(!editable);
        return true;
    }
    if (auto* edit = qobject_cast<QPlainTextEdit*>(window)) {
        edit->setReadOnly(!editable);
        return true;
    }
    if (auto* edit = qobject_cast<QTextEdit*>(window)) {
        edit->setReadOnly(!editable);
        return true;
    }
    return false;
}

} // namespace

bool SendMessage(CommandContext& form, CommandResult& /*result*/, const XmlNode& command,
                 int /*windowId*/) {
    const int id = command.GetAttributeInt("target_ids", 0);
    const QString event = command.GetAttribute("values");
    QWidget* control = ControlById(form, id);
    if (control && !control->isEnabled())
        return true;
    return form.RunAction(WindowIdOfDocumentId(id), event);
}

namespace {

// The control `target_ids` names; the form itself when it names none.
bool ResolveTargetOrForm(CommandContext& form, CommandResult& result, const XmlNode& command,
                         QWidget*& window) {
    const QString reference = command.GetAttribute("target_ids");
    return ResolveControl(form, result, reference.isEmpty() ? QStringLiteral("0") : reference,
                          window);
}

} // namespace

bool SendClick(CommandContext& form, CommandResult& result, const XmlNode& command,
               int /*windowId*/) {
    QWidget* window = nullptr;
    if (!ResolveTargetOrForm(form, result, command, window))
        return false;
    // One click, queued: the button's action runs once the current action is over, and only
    // when the button is still there and enabled then.
    if (auto* button = qobject_cast<QAbstractButton*>(window))
        QTimer::singleShot(0, button, [button] {
            if (button->isEnabled())
                button->click();
        });
    return true;
}

bool SetFocus(CommandContext& form, CommandResult& result, const XmlNode& command,
              int /*windowId*/) {
    QWidget* window = nullptr;
    if (!ResolveTargetOrForm(form, result, command, window))
        return false;
    if (!window)
        return true;
    window->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(window)) {
        edit->selectAll();
        edit->end(true);
    }
    return true;
}

bool Show(CommandContext& form, CommandResult& result, const XmlNode& command, int /*windowId*/) {
    return ApplyToTargets(form, result, command,
                          [](QWidget* window, int value) { window->setVisible(value != 0); });
}

bool Able(CommandContext& form, CommandResult& result, const XmlNode& command, int /*windowId*/) {
    return ApplyToTargets(form, result, command, [&form](QWidget* window, int value) {
        if (SetEditable(window, value != 0))
            return;
        const int id = DocumentIdOfWindowId(FormControls::WindowIdOf(window));
        window->setEnabled(value != 0 &&
                           !(qobject_cast<QAbstractButton*>(window) && form.ButtonDenied(id)));
    });
}

bool SetBtnState(CommandContext& form, CommandResult& result, const XmlNode& command,
                 int /*windowId*/) {
    return ApplyToTargets(form, result, command, [](QWidget* window, int value) {
        if (auto* box = qobject_cast<QCheckBox*>(window)) {
            box->setTristate(box->isTristate() || value == 2);
            box->setCheckState(value == 2   ? Qt::PartiallyChecked
                               : value != 0 ? Qt::Checked
                                            : Qt::Unchecked);
        } else if (auto* button = qobject_cast<QAbstractButton*>(window)) {
            button->setChecked(value != 0);
        }
    });
}

bool GetBtnState(CommandContext& form, CommandResult& result, const XmlNode& command,
                 int /*windowId*/) {
    QWidget* source = nullptr;
    if (!ResolveControl(form, result, command.GetAttribute("target_ids"), source))
        return false;
    int state = 0;
    if (auto* box = qobject_cast<QCheckBox*>(source))
        state = box->checkState() == Qt::PartiallyChecked ? 2 : box->isChecked() ? 1 : 0;
    else if (auto* button = qobject_cast<QAbstractButton*>(source))
        state = button->isChecked() ? 1 : 0;
    QString reference = command.GetAttribute("values");
    if (reference.isEmpty())
        reference = QStringLiteral("0");
    QWidget* target = nullptr;
    if (!ResolveControl(form, result, reference, target))
        return false;
    if (target && target != form.FormWidget())
        SetWindowText(target, QString::number(state));
    return true;
}

bool RunDllMethod(CommandContext& /*form*/, CommandResult& /*result*/, const XmlNode& /*command*/,
                  int /*windowId*/) {
    // Native libraries of other systems cannot be loaded here; the command is accepted.
    return true;
}

namespace {

void KeepOnTop(QWidget* window, bool onTop) {
    if (window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop)
        return;
    // Changing the flags re-creates the native window; keep its place and visibility.
    const QRect geometry = window->geometry();
    const bool visible = window->isVisible();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    window->setGeometry(geometry);
    if (visible)
        window->show();
}

} // namespace

bool SetTop(CommandContext& form, CommandResult& /*result*/, const XmlNode& /*command*/,
            int /*windowId*/) {
    KeepOnTop(form.FormWidget(), true);
    return true;
}

bool SetNotop(CommandContext& form, CommandResult& /*result*/, const XmlNode& /*command*/,
              int /*windowId*/) {
    KeepOnTop(form.FormWidget(), false);
    return true;
}
