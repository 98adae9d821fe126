#include "commands/CommandSupport.h"
#include "commands/CommandTexts.h"

#include "data/DbSession.h"
#include "data/InsertedText.h"
#include "form/CommandContext.h"
#include "form/ControlBuilders.h"
#include "form/ControlValues.h"
#include "form/FormControls.h"
#include "platform/AppMessage.h"
#include "platform/ValueGrammars.h"
#include "widgets/GridView.h"

#include <QTabWidget>

#include <algorithm>

using FormXml::XmlNode;
using FormXml::XmlNodes;

namespace {

using namespace CommandTexts;

int FirstSelectedRow(const GridView& grid) {
    const QList<int> rows = grid.SelectedRows();
    return rows.isEmpty() ? -1 : *std::min_element(rows.cbegin(), rows.cend());
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
    if (!window)
        return {};
    const ControlAdapter& adapter = AdapterOf(window);
    return adapter.readValue ? adapter.readValue(window) : adapter.text(window);
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
    if (const auto write = AdapterOf(window).writeValue)
        write(window, value);
    else
        SetWindowText(window, value);
    return true;
}

void SetWindowText(QWidget* window, const QString& text) {
    if (!window)
        return;
    SetControlText(window, text);
    if (AdapterOf(window).seeThrough && window->isVisible() && window->parentWidget())
        window->parentWidget()->update(window->geometry());
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
