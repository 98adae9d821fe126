// Background and text colours of controls from a query: one "r,g,b" value per target, so that
// a field can show, for example, the state of the record it belongs to.
#include "commands/CommandSupport.h"
#include "commands/CommandTexts.h"
#include "commands/GridCommandSupport.h"
#include "commands/WindowCommands.h"
#include "form/CommandContext.h"
#include "platform/AppMessage.h"
#include "widgets/DrawnButton.h"
#include "widgets/DrawnLabel.h"
#include "widgets/GridModel.h"
#include "widgets/ImageButton.h"

#include <QWidget>

using FormXml::XmlNode;
using FormXml::XmlNodes;
using namespace CommandTexts;

namespace {

enum class ColorRole { Background, Text };

QColor ToQColor(int gridColor) {
    return QColor(gridColor & 0xFF, (gridColor >> 8) & 0xFF, (gridColor >> 16) & 0xFF);
}

void ApplyColor(QWidget* window, const QColor& color, ColorRole role) {
    if (role == ColorRole::Text) {
        if (auto* label = qobject_cast<DrawnLabel*>(window))
            label->SetTextColor(color);
        else if (auto* button = qobject_cast<ImageButton*>(window))
            button->SetTextColor(color);
        else if (auto* button = qobject_cast<DrawnButton*>(window))
            button->SetTextColor(color);
        QPalette palette = window->palette();
        for (auto colorRole : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
            palette.setColor(colorRole, color);
        window->setPalette(palette);
    } else {
        QPalette palette = window->palette();
        for (auto colorRole : {QPalette::Base, QPalette::Window, QPalette::Button})
            palette.setColor(colorRole, color);
        window->setPalette(palette);
        window->setAutoFillBackground(true);
    }
    window->update();
}

// The filters of `para_info_where`: for child i, the text V of the control its `value` names
// replaces "{{self}}" in its `where` fragment, and the fragment replaces "{{pI}}" and the
// child's marker (its `sign`, or the text of the control `sign_id`) in the SQL. V is escaped:
// a typed quote stays inside the literal. An empty V removes both.
void BindMarkedFilters(CommandContext& form, CommandResult& result, const XmlNode& list,
                       QString& sql) {
    const XmlNodes children = list.GetChildren();
    for (int i = 0; i < children.GetCount(); ++i) {
        const XmlNode child = children.GetItem(i);
        QWidget* source = nullptr;
        const QString value = ResolveControl(form, result, child.GetAttribute("value"), source)
                                  ? ReadControlValue(source)
                                  : QString();
        QString marker = child.GetAttribute("sign");
        if (marker.isEmpty() && !child.GetAttribute("sign_id").isEmpty()) {
            QWidget* signWindow = nullptr;
            if (ResolveControl(form, result, child.GetAttribute("sign_id"), signWindow))
                marker = ReadControlValue(signWindow);
        }
        QString fragment;
        if (!value.isEmpty()) {
            fragment = child.GetAttribute("where");
            fragment.replace(QLatin1String("{{self}}"), SealLiteral(value));
        }
        sql.replace(QStringLiteral("{{p%1}}").arg(i + 1), fragment);
        if (!marker.isEmpty())
            sql.replace(marker, fragment);
    }
}

bool SetWindowsColor(CommandContext& form, CommandResult& result, const XmlNode& command,
                     ColorRole role) {
    const XmlNode p = command.GetChild("para_info_where");
    QString sql = p.GetAttribute("values");
    const QString table = p.GetAttribute("table_id");
    if (!table.isEmpty() && !BindTableRow(form, result, table, sql, RowColumns::FromZero))
        return false;
    BindMarkedFilters(form, result, p, sql);
    QStringList targets = p.GetAttribute("target_ids").split(QLatin1Char(';'), Qt::SkipEmptyParts);
    const XmlNode inOut = command.GetChild("para_in_out");
    if (!inOut.IsEmpty() && targets.isEmpty()) {
        QStringList columns;
        const XmlNodes children = inOut.GetChildren();
        for (int i = 0; i < children.GetCount(); ++i) {
            columns.append(children.GetItem(i).GetAttribute("in"));
            targets.append(children.GetItem(i).GetAttribute("out"));
        }
        sql.replace(QLatin1String("{{para_in}}"), columns.join(QLatin1Char(',')));
    }
    sql = form.ExpandStatementPlaceholders(sql);
    QStringList values;
    const XmlNode sessionSource = p.GetAttribute("txt").isEmpty() ? command : p;
    QueryAllValues(CommandSession(form, sessionSource), sql, values);
    if (values.size() != targets.size()) {
        ShowAppMessage(kCountMismatch, kAppCaption);
        return false;
    }
    for (qsizetype k = 0; k < targets.size(); ++k) {
        QWidget* window = nullptr;
        if (!ResolveControl(form, result, targets[k], window))
            return false;
        if (!window || values[k].trimmed().isEmpty())
            continue;
        const int color = ColorOf(values[k].trimmed(), kColorNotSet);
        if (color != kColorNotSet)
            ApplyColor(window, ToQColor(color), role);
    }
    return true;
}

} // namespace

bool SetWndsColor1(CommandContext& form, CommandResult& result, const XmlNode& command,
                   int /*windowId*/) {
    return SetWindowsColor(form, result, command, ColorRole::Background);
}

bool SetWndsColor2(CommandContext& form, CommandResult& result, const XmlNode& command,
                   int /*windowId*/) {
    return SetWindowsColor(form, result, command, ColorRole::Text);
}

bool SetDrawMethod(CommandContext& form, CommandResult& /*result*/, const XmlNode& command,
                   int /*windowId*/) {
    form.SetDrawMethod(command.GetAttribute("values"));
    return true;
}
