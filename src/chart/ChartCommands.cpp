#include "chart/ChartCommands.h"

#include "chart/GridChart.h"
#include "commands/CommandSupport.h"
#include "form/CommandContext.h"
#include "form/CommandRegistry.h"
#include "platform/ValueGrammars.h"
#include "widgets/GridView.h"
#include "widgets/PictureView.h"

#include <QPainter>

using FormXml::XmlNode;
using FormXml::XmlNodes;

namespace {

// The text of the control a reference names into `field`; an empty reference leaves it.
bool ReadText(CommandContext& form, CommandResult& result, const QString& reference,
              QString& field) {
    if (reference.isEmpty())
        return true;
    QWidget* control = nullptr;
    if (!ResolveControl(form, result, reference, control))
        return false;
    field = control == form.FormWidget() ? control->windowTitle() : ReadControlValue(control);
    return true;
}

double ControlNumber(CommandContext& form, CommandResult& result, const QString& reference,
                     bool& ok) {
    QWidget* control = nullptr;
    ok = ResolveControl(form, result, reference, control);
    return ok ? ReadControlValue(control).trimmed().toDouble() : 0.0;
}

bool ShowReport(CommandContext& form, CommandResult& result, const XmlNode& command, int kind) {
    const QString target = command.GetAttribute("target");
    const QString table = command.GetAttribute("table_id");
    if (target.isEmpty() || table.isEmpty())
        return false;
    QWidget* targetWindow = nullptr;
    QWidget* tableWindow = nullptr;
    if (!ResolveControl(form, result, target, targetWindow) ||
        !ResolveControl(form, result, table, tableWindow))
        return false;
    auto* picture = qobject_cast<PictureView*>(targetWindow);
    auto* grid = qobject_cast<GridView*>(tableWindow);
    if (!picture || !grid)
        return false;
    GridChart& chart = GridChart::Of(*picture);
    ChartState& state = chart.State();
    chart.SetGrid(grid, *picture);
    const bool bands = kind != 2;

    if (kind == 5) {
        QWidget* begin = nullptr;
        QWidget* count = nullptr;
        if (!ResolveControl(form, result, command.GetAttribute("row_begin_id"), begin) ||
            !ResolveControl(form, result, command.GetAttribute("rows_count_id"), count))
            return false;
        state.rowBegin = ParseIntegerText(ReadControlValue(begin));
        state.rowCount = ParseIntegerText(ReadControlValue(count));
    }

    const XmlNodes children = command.GetChild("cols").GetChildren();
    const int used = std::min(children.GetCount(), int(state.series.size()));
    state.totalWidth = 0;
    for (int i = 0; i < used; ++i) {
        const XmlNode child = children.GetItem(i);
        ChartSeries& series = state.series[size_t(i)];
        series.col = child.GetAttributeInt("col", series.col);
        const QString colour = child.GetAttribute("color");
        if (!colour.isEmpty()) {
            QString error;
            series.colour = ReadArgbText(colour, error);
            ReportGrammarError(error);
        }
        series.width = child.GetAttributeInt("width", series.width);
        series.chartType = child.GetAttributeInt("chart_type", series.chartType);
        series.chartZx = child.GetAttributeInt("chart_zx", series.chartZx);
        if (bands) {
            series.colText = child.GetAttributeInt("col_text", series.colText);
            series.posWidth = child.GetAttributeInt("pos_width", series.posWidth);
            series.pos = child.GetAttribute("pos", QStringLiteral("0.5")).toDouble();
            bool ok = true;
            const QString max = child.GetAttribute("max_id");
            if (!max.isEmpty()) {
                series.max = ControlNumber(form, result, max, ok);
                if (!ok)
                    return false;
            }
            const QString move = child.GetAttribute("move_id", QStringLiteral("0"));
            if (!move.isEmpty()) {
                series.move = ControlNumber(form, result, move, ok);
                if (!ok)
                    return false;
            }
        }
        state.totalWidth += series.width;
    }

    const QString rightDefault = bands ? QStringLiteral("0") : QString();
    if (!ReadText(form, result, command.GetAttribute("title_id"), state.title) ||
        !ReadText(form, result, command.GetAttribute("left_sign_id"), state.leftSign) ||
        !ReadText(form, result, command.GetAttribute("left_title_id"), state.leftTitle) ||
        !ReadText(form, result, command.GetAttribute("right_sign_id", rightDefault),
                  state.rightSign) ||
        !ReadText(form, result, command.GetAttribute("right_title_id", rightDefault),
                  state.rightTitle))
        return false;
    state.kind = kind;
    state.labelColumn = command.GetAttributeInt("sign_col", 0);
    QString error;
    state.axisColour = ReadArgbText(command.GetAttribute("sign_color"), error);
    ReportGrammarError(error);
    state.seriesCount = children.GetCount() > 0 ? used : 0;
    state.rowSpacing = command.GetAttributeInt("split_width", 0);

    QString path;
    const QString saveId = command.GetAttribute("save_path_id");
    if (!ReadText(form, result, saveId, path))
        return false;
    if (!saveId.isEmpty() && !path.isEmpty())
        DrawAndSaveChart(*picture, path);
    else
        picture->update();
    return true;
}

using Handler = bool (*)(CommandContext&, CommandResult&, const XmlNode&);

bool Report2(CommandContext& f, CommandResult& r, const XmlNode& c) {
    return ShowReport(f, r, c, 2);
}
bool Report3(CommandContext& f, CommandResult& r, const XmlNode& c) {
    return ShowReport(f, r, c, 3);
}
bool Report31(CommandContext& f, CommandResult& r, const XmlNode& c) {
    return ShowReport(f, r, c, 31);
}
bool Report5(CommandContext& f, CommandResult& r, const XmlNode& c) {
    return ShowReport(f, r, c, 5);
}
// Read and ignored, as its only parameter `type` is.
bool Report6(CommandContext&, CommandResult&, const XmlNode&) {
    return true;
}

} // namespace

bool DrawAndSaveChart(PictureView& picture, const QString& path) {
    const QImage image = picture.Render();
    picture.update();
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, image);
    painter.end();
    return opaque.save(path, "BMP");
}

void RegisterChartCommands() {
    const std::pair<const char*, Handler> handlers[] = {
        {"show_report", &Report2},  {"show_report3", &Report3}, {"show_report31", &Report31},
        {"show_report5", &Report5}, {"show_report6", &Report6},
    };
    for (const auto& [name, handler] : handlers) {
        RegisterCommand(QString::fromLatin1(name),
                        [handler](CommandContext& form, const XmlNode& command, int) {
                            CommandResult result;
                            result.ok = handler(form, result, command);
                            return result;
                        });
    }
}
