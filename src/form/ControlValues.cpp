#include "form/ControlValues.h"

#include "data/DbSession.h"
#include "form/ControlBuilders.h"

#include <QAbstractButton>
#include <QComboBox>

void SetControlText(QWidget* control, const QString& text) {
    if (control)
        AdapterOf(control).setText(control, text);
}

void ResetControl(QWidget* control) {
    if (!control)
        return;
    if (const auto reset = AdapterOf(control).reset)
        reset(control);
}

void PressControl(QWidget* control) {
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->click();
}

bool FillComboFromQuery(DbSession& session, QComboBox* combo, const QString& sql,
                        const QString& column) {
    if (!combo || combo->count() >= 2)
        return true;
    QStringList texts;
    const bool found = session.QueryColumns(sql, {column}, texts);
    // No rows is not a failure of the query: the list is emptied all the same.
    if (!found && session.ResultCode() != 0)
        return false;
    const QString shown = combo->currentText();
    combo->clear();
    combo->addItem(QString());
    combo->addItems(texts);
    combo->setCurrentIndex(0);
    if (combo->isEditable())
        combo->setEditText(shown);
    return found;
}
