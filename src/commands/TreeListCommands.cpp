// show_table: fills a tree-list from its sections' queries, and on request saves the picture
// and opens it with the desktop's viewer.
#include "commands/CommandSupport.h"
#include "commands/CommandTexts.h"
#include "commands/TreeCommands.h"
#include "data/DbSession.h"
#include "data/SessionContext.h"
#include "form/CommandContext.h"
#include "form/FormControls.h"
#include "platform/AppMessage.h"
#include "platform/ShellOpen.h"
#include "widgets/TreeListView.h"

#include <QDir>
#include <QImage>

using FormXml::XmlNode;
using FormXml::XmlNodes;

namespace {

using namespace CommandTexts;

// The three queries of a section with the filters of its `para_info_where` bound in: the i-th
// child's control text (escaped) replaces "{{self}}" in its `where`, or stands alone when there
// is no `where`; an empty text drops the fragment.
struct SectionQueries {
    QString select;
    QString color;
    QString tip;
};

SectionQueries BindSection(CommandContext& form, const XmlNode& parameters) {
    SectionQueries queries{parameters.GetAttribute("select"),
                           parameters.GetAttribute("select_color"),
                           parameters.GetAttribute("select_tip")};
    const XmlNodes children = parameters.GetChildren();
    for (int i = 0; i < children.GetCount(); ++i) {
        const XmlNode child = children.GetItem(i);
        const int id = child.GetAttributeInt("value", 0);
        const QString text =
            SealLiteral(ReadControlValue(form.ControlByWindowId(WindowIdOfDocumentId(id))));
        QString fragment;
        if (!text.isEmpty()) {
            const QString where = child.GetAttribute("where");
            fragment =
                where.isEmpty() ? text : QString(where).replace(QLatin1String("{{self}}"), text);
        }
        const QString placeholder = QStringLiteral("{{p%1}}").arg(i + 1);
        for (QString* sql : {&queries.select, &queries.color, &queries.tip})
            sql->replace(placeholder, fragment);
    }
    queries.select = form.ExpandStatementPlaceholders(queries.select);
    queries.color = form.ExpandStatementPlaceholders(queries.color);
    queries.tip = form.ExpandStatementPlaceholders(queries.tip);
    return queries;
}

// Values of a query that may fail or be absent: both give none.
QStringList ValuesOrNone(DbSession& session, const QString& sql, int* columnCount = nullptr) {
    QStringList names;
    QStringList values;
    if (sql.isEmpty() || !session.QueryWithNames(sql, names, values))
        return {};
    if (columnCount)
        *columnCount = int(names.size());
    return values;
}

void ShowPicture(const TreeListView& chart) {
    const QString folder = SessionContext::Current().exeFolder + QStringLiteral("temp");
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/temp.bmp");
    if (!chart.RenderImage().save(path, "BMP") || !platform::OpenWithDesktop(path))
        ShowAppMessage(QStringLiteral("\n打开文件异常:") + QDir::toNativeSeparators(path) +
                           QStringLiteral("\r\n\r\n请手动打开该文件!"),
                       kAppCaption);
}

} // namespace

bool ShowTable(CommandContext& form, CommandResult& result, const XmlNode& command,
               int /*windowId*/) {
    const QString reference = command.GetAttribute("table_id");
    QWidget* window = nullptr;
    if (!ResolveControl(form, result, reference, window))
        return false;
    auto* chart = qobject_cast<TreeListView*>(window);
    if (!chart) {
        result.error = kBadReference + reference;
        return false;
    }
    chart->SetDisplayMode(TreeListView::kTreeListMode);
    chart->ClearBody();
    DbSession& session = form.AccountSession();
    const XmlNodes sections = command.GetChildren();
    for (int s = 0; s < sections.GetCount(); ++s) {
        const XmlNode section = sections.GetItem(s);
        // A section's `loop` changes nothing here.
        const int height = section.GetAttributeInt("height", 0);
        const SectionQueries queries = BindSection(form, section.GetChild("para_info_where"));
        int columnCount = 0;
        const QStringList values = ValuesOrNone(session, queries.select, &columnCount);
        if (values.isEmpty())
            continue; // a failed select adds no rows; the command goes on
        chart->AddRows(values, ValuesOrNone(session, queries.color),
                       ValuesOrNone(session, queries.tip), columnCount, height);
    }
    if (command.GetAttributeInt("type", 0) == 1)
        ShowPicture(*chart);
    else
        chart->update();
    return true;
}
