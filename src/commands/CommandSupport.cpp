#include "commands/CommandSupport.h"
#include "commands/CommandTexts.h"

#include "data/DbSession.h"
#include "data/InsertedText.h"
#include "form/CommandContext.h"
#include "form/ControlValues.h"
#include "form/FormControls.h"
#include "platform/AppMessage.h"
#include "platform/ValueGrammars.h"
#include "widgets/DrawnLabel.h"
#include "widgets/EditWithButton.h"
#include "widgets/GridView.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTextCursor>

#include <algorithm>

using FormXml::XmlNode;
using FormXml::XmlNodes;

namespace {

using namespace CommandTexts;

int FirstSelectedRow(const GridView& grid) {
    const QList<int> rows = grid.SelectedRows();
    return rows.isEmpty() ? -1 : *std::min_element(rows.cbegin(), rows.cend());
}

// Dates as query results and users write them: ISO first (a time part is ignored), then the
// forms of the system locale.
QDate ParseDateText(const QString& value) {
    const QString text = value.trimmed();
    if (text.isEmpty())
        return {};
    const QString datePart = text.section(QLatin1Char(' '), 0, 0).section(QLatin1Char('T'), 0, 0);
    for (const QString& format :
         {QStringLiteral("yyyy-M-d"), QStringLiteral("yyyy/M/d"), QStringLiteral("yyyy.M.d")}) {
        const QDate date = QDate::fromString(datePart, format);
        if (date.isValid())
            return date;
    }
    const QLocale locale = QLocale::system();
    for (const QLocale::FormatType format : {QLocale::ShortFormat, QLocale::LongFormat}) {
        if (const QDate date = locale.toDate(text, format); date.isValid())
            return date;
        if (const QDateTime stamp = locale.toDateTime(text, format); stamp.isValid())
            return stamp.date();
    }
    return {};
}

void SelectItemText(QComboBox* list, const QString& value) {
    for (int i = 0; i < list->count(); ++i) {
        if (list->itemText(i) == value) {
            list->setCurrentIndex(i);
            return;
        }
    }
    if (value.isEmpty()) {
        list->setCurrentIndex(-1);
        return;
    }
    list->insertItem(0, value);
    list->setCurrentIndex(0);
}

// The whole text selected with the caret at its start, so the beginning of a long value shows.
void SelectAllFromStart(QPlainTextEdit* box) {
    QTextCursor cursor = box->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.movePosition(QTextCursor::Start, QTextCursor::KeepAnchor);
    box->setTextCursor(cursor);
    box->ensureCursorVisible();
}

QString ParameterMarker(int i) {
    return QStringLiteral("{{p%1}}").arg(i);
}

// Puts the `where` fragment of a parameter, with its value in it, in place of its marker.
void ReplaceParameter(QString& sql, int i, const XmlNode& parameter, const QString& text) {
    if (text.isEmpty()) {
        sql.replace(ParameterMarker(i), QString());
        return;
    }
    QString where = parameter.GetAttribute("where");
    where.replace(QLatin1String("{{self}}"), SealLiteral(text));
    sql.replace(ParameterMarker(i), where);
}

} // namespace

bool ResolveControl(CommandContext& form, CommandResult& result, const QString& reference,
                    QWidget*& window) {
    window = nullptr;
    if (reference.isEmpty())
        return true;
    if (form.FindControl(reference, window))
        return true;
    result.error = kBadReference + reference;
    return false;
}

QString ReadControlValue(const QWidget* window) {
    if (const auto* list = qobject_cast<const QComboBox*>(window);
        list && list->currentIndex() >= 0)
        return list->itemText(list->currentIndex());
    return ControlText(window);
}

int ReadControlInt(CommandContext& form, CommandResult& result, const QString& reference) {
    if (reference.isEmpty())
        return -1;
    QWidget* window = nullptr;
    if (!ResolveControl(form, result, reference, window))
        return 0;
    return ParseIntegerText(ReadControlValue(window));
}

bool WriteControlValue(QWidget* window, const QString& value) {
    if (!window)
        return true;
    // The edit-with-button box is a line edit too, but takes the value without the selection.
    if (auto* editButton = qobject_cast<EditWithButton*>(window)) {
        editButton->setText(value);
    } else if (auto* list = qobject_cast<QComboBox*>(window)) {
        SelectItemText(list, value);
    } else if (auto* date = qobject_cast<QDateTimeEdit*>(window)) {
        if (const QDate parsed = ParseDateText(value); parsed.isValid())
            date->setDate(parsed);
    } else if (auto* edit = qobject_cast<QLineEdit*>(window)) {
        edit->setText(value);
        edit->setSelection(int(value.size()), -int(value.size()));
    } else if (auto* box = qobject_cast<QPlainTextEdit*>(window)) {
        box->setPlainText(value);
        SelectAllFromStart(box);
    } else {
        SetWindowText(window, value);
    }
    return true;
}

void SetWindowText(QWidget* window, const QString& text) {
    auto* label = qobject_cast<DrawnLabel*>(window);
    if (!label) {
        SetControlText(window, text);
        return;
    }
    label->SetText(text);
    if (label->isVisible() && label->parentWidget())
        label->parentWidget()->update(label->geometry());
}

QString SealLiteral(const QString& text) {
    return SealInsertedText(text);
}

bool BindSelectedRow(const GridView& grid, QString& sql, RowColumns columns, int num) {
    const int row = num >= 1 && num < grid.RowCount() ? num : FirstSelectedRow(grid);
    if (row < 0)
        return false;
    const auto bindKey = [&] {
        sql.replace(QLatin1String("{{id?uid}}"), SealInsertedText(grid.RowKey(row)));
    };
    const auto bindCells = [&](int base) {
        for (int column = 0; column < grid.ColumnCount(); ++column)
            sql.replace(QStringLiteral("{{id?%1}}").arg(column + base),
                        SealLiteral(grid.CellText(row, column)));
    };
    switch (columns) {
    case RowColumns::UidOnly:
        bindKey();
        break;
    case RowColumns::FromZero:
        bindCells(0);
        bindKey();
        break;
    case RowColumns::FromOne:
        bindKey();
        bindCells(1);
        break;
    }
    return true;
}

bool BindTableRow(CommandContext& form, CommandResult& result, const QString& tableReference,
                  QString& sql, RowColumns columns, int num) {
    QWidget* window = nullptr;
    if (!ResolveControl(form, result, tableReference, window))
        return false;
    const auto* grid = qobject_cast<const GridView*>(window);
    return grid && BindSelectedRow(*grid, sql, columns, num);
}

void BindWhereParameters(CommandContext& form, CommandResult& result, const XmlNode& list,
                         QString& sql, WhereDefaults defaults) {
    const XmlNodes parameters = list.GetChildren();
    for (int i = 0; i < parameters.GetCount(); ++i) {
        const XmlNode parameter = parameters.GetItem(i);
        QWidget* window = nullptr;
        // An unresolvable filter control reads as empty: its condition is dropped.
        ResolveControl(form, result, parameter.GetAttribute("value"), window);
        QString text = ReadControlValue(window);
        if (text.isEmpty() && defaults == WhereDefaults::Use)
            text = parameter.GetAttribute("default");
        ReplaceParameter(sql, i + 1, parameter, text);
    }
}

bool BindValueParameters(CommandContext& form, CommandResult& result, const XmlNode& list,
                         QString& sql) {
    if (sql.isEmpty())
        return true;
    const XmlNodes parameters = list.GetChildren();
    for (int i = 0; i < parameters.GetCount(); ++i) {
        const XmlNode parameter = parameters.GetItem(i);
        QString reference = parameter.GetAttribute("value");
        if (reference.isEmpty())
            reference = parameter.GetAttribute("wnd");
        QWidget* window = nullptr;
        if (!ResolveControl(form, result, reference, window))
            return false;
        ReplaceParameter(sql, i + 1, parameter, ControlText(window));
    }
    if (const QString deleted = form.DeletedKeys(); !deleted.isEmpty())
        sql.replace(QLatin1String("{{deleted_uid_0}}"),
                    SealKeyList(deleted.split(QLatin1Char(','))));
    else
        sql.replace(QLatin1String("{{deleted_uid_0}}"), QString());
    sql = form.ExpandStatementPlaceholders(sql);
    return true;
}

DbSession& CommandSession(CommandContext& form, const XmlNode& command) {
    return command.GetAttributeInt("txt", 0) != 0 ? form.LocalTextSession() : form.AccountSession();
}

int QueryAllValues(DbSession& session, const QString& sql, QStringList& values) {
    values.clear();
    const int result = session.QueryList(sql, values);
    if (result > 0 && values.isEmpty())
        return 0;
    return result;
}

bool BuildCommandSql(CommandContext& form, CommandResult& result, const XmlNode& command,
                     RowColumns columns, QString& sql, WhereDefaults defaults) {
    sql = command.GetAttribute("values");
    const QString table = command.GetAttribute("table_id");
    if (!table.isEmpty() && !BindTableRow(form, result, table, sql, columns))
        return false;
    BindWhereParameters(form, result, command.GetChild("para_info_where"), sql, defaults);
    sql = form.ExpandStatementPlaceholders(sql);
    return true;
}

bool FillTargets(CommandContext& form, CommandResult& result, const QString& targetIds,
                 const QString& sql) {
    if (targetIds.isEmpty())
        return false;
    const QStringList targets = targetIds.split(QLatin1Char(';'));
    QStringList values;
    if (QueryAllValues(form.AccountSession(), sql, values) > 0) {
        if (values.size() != targets.size()) {
            ShowAppMessage(kCountMismatch, kAppCaption);
            return false;
        }
        for (qsizetype k = 0; k < targets.size(); ++k) {
            QWidget* window = nullptr;
            if (!ResolveControl(form, result, targets[k], window))
                return false;
            WriteControlValue(window, values[k]);
        }
        return true;
    }
    for (const QString& target : targets) {
        QWidget* window = nullptr;
        if (!ResolveControl(form, result, target, window))
            return false;
        SetWindowText(window, QString());
    }
    return true;
}
