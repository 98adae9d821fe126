#include "form/ControlValues.h"

#include "data/DbSession.h"
#include "widgets/DrawnLabel.h"
#include "widgets/EditWithButton.h"
#include "widgets/GridView.h"
#include "widgets/TextAsTyped.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTreeWidget>

namespace {

bool KeepsZero(const QString& text) {
    return text == QLatin1String("0") || text == QLatin1String("0.00");
}

} // namespace

void SetControlText(QWidget* control, const QString& text) {
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(text);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(control))
        plain->setPlainText(text);
    else if (auto* combo = qobject_cast<QComboBox*>(control))
        combo->setEditText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(text);
    else if (auto* drawn = qobject_cast<DrawnLabel*>(control))
        drawn->SetText(text);
    else if (control) {
        control->setWindowTitle(text);
        control->setProperty("text", text);
        control->update();
    }
}

void ResetControl(QWidget* control) {
    if (auto* date = qobject_cast<QDateEdit*>(control)) {
        date->setDate(QDate::currentDate());
    } else if (auto* editButton = qobject_cast<EditWithButton*>(control)) {
        editButton->HidePickList();
        if (!KeepsZero(editButton->text()))
            editButton->clear();
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        if (!edit->isReadOnly() && !KeepsZero(edit->text()))
            edit->clear();
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(control)) {
        if (!plain->isReadOnly() && !KeepsZero(TextAsTyped(plain->document())))
            plain->clear();
    } else if (auto* grid = qobject_cast<GridView*>(control)) {
        grid->DeleteAllRows();
    } else if (auto* tree = qobject_cast<QTreeWidget*>(control)) {
        tree->clear();
    }
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
