// Picking elements out of an HTML text held by a control: one element's inner text by path
// specs, or the rows and cells of a table into a grid.
#include "commands/CommandSupport.h"
#include "commands/WebCommands.h"
#include "form/CommandContext.h"
#include "net/HtmlReader.h"
#include "platform/ValueGrammars.h"
#include "widgets/GridView.h"

namespace {

QWidget* ControlById(CommandContext& form, const QString& id) {
    return id.isEmpty() ? nullptr : form.ControlOfFormOrPages(ParseIntegerText(id));
}

QString FoundText(int total, int matching) {
    return QString::asprintf("% i - % i  - Html Elements found", total, matching);
}

} // namespace

bool GetHtmlNodeText(CommandContext& form, CommandResult& /*result*/,
                     const FormXml::XmlNode& command, int /*windowId*/) {
    const FormXml::XmlNode para = command.GetChild("para_info_where");
    QWidget* target = ControlById(form, para.GetAttribute("target_id"));
    QWidget* report = ControlById(form, para.GetAttribute("result_id"));
    HtmlDocument document;
    document.Parse(ReadControlValue(ControlById(form, para.GetAttribute("html_id"))));
    QString specs = ReadControlValue(ControlById(form, para.GetAttribute("paras_id")));
    specs.remove(QLatin1Char('\r'));
    // Each line asks again; the last one's answer is what stays.
    for (const QString& line : specs.split(QLatin1Char('\n'))) {
        const std::vector<int> found = document.Find(HtmlPathSpec::Parse(line));
        SetWindowText(target, found.empty() ? QString() : document.InnerText(found.front()));
        SetWindowText(report, FoundText(document.ElementCount(), int(found.size())));
    }
    return true;
}

bool GetHtmlList(CommandContext& form, CommandResult& result, const FormXml::XmlNode& command,
                 int /*windowId*/) {
    const FormXml::XmlNode para = command.GetChild("para_info_where");
    auto* grid = qobject_cast<GridView*>(ControlById(form, para.GetAttribute("table_id")));
    if (!grid) {
        result.ok = false;
        return false;
    }
    grid->DeleteAllRows();
    HtmlDocument document;
    document.Parse(ReadControlValue(ControlById(form, para.GetAttribute("html_id"))));
    const std::vector<int> found = document.Find(
        HtmlPathSpec::Parse(ReadControlValue(ControlById(form, para.GetAttribute("path_id")))));
    SetWindowText(ControlById(form, para.GetAttribute("result_id")),
                  FoundText(document.ElementCount(), int(found.size())));
    // A row element starts a row; every element whose inner text is plain text (not markup such
    // as a link) fills the next cell of it.
    int row = -1;
    int column = 0;
    grid->BeginFill();
    for (const int element : found) {
        const QString tag = document.TagText(element);
        if (tag.startsWith(QLatin1String("<tr")) && tag.endsWith(QLatin1Char('>'))) {
            row = grid->AppendRow({});
            column = 0;
            continue;
        }
        const QString inner = document.InnerText(element);
        if (inner.startsWith(QLatin1Char('<')) || inner.endsWith(QLatin1Char('>')))
            continue;
        if (row >= 0)
            grid->SetCellText(row, column, inner);
        ++column;
    }
    grid->EndFill();
    return true;
}
