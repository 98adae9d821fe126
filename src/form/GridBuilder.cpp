#include "form/GridBuilder.h"

#include "data/CfgFile.h"
#include "form/ControlBuilders.h"
#include "form/ControlHost.h"
#include "platform/ValueGrammars.h"

using FormXml::XmlNode;

namespace {

const QString kWidthSection = QStringLiteral("TABLECOLS");

// The `sort` attribute's kinds; 0 for a column that does not sort.
int SortKindOf(int sort) {
    switch (sort) {
    case 1:
        return kSortText;
    case 2:
        return kSortNumber;
    case 3:
        return kSortDate;
    default:
        return 0;
    }
}

} // namespace

QString GridWidthPlace::Key(int column) const {
    return QStringLiteral("T%1_%2_%3_%4").arg(menuUid).arg(tableId).arg(column + 1).arg(userUid);
}

GridSettings ReadGridSettings(const XmlNode& table, const GridWidthPlace& place) {
    GridSettings settings;
    const XmlNode para = table.GetChild("PARA");
    const XmlNode options = para.GetChild("table_info").GetChildren().GetItem(0);
    // Only an exact "0" keeps the alternating rows; anything else lets column colours show.
    settings.alternateRowColors =
        options.GetAttribute("is_col_color", QStringLiteral("0")) == QLatin1String("0");
    settings.startsHidden = options.GetAttributeInt("hidden", 0) > 0;

    const XmlNode columns = para.GetChild("col_info");
    if (columns.IsEmpty())
        return settings;
    settings.listsColumns = true;
    const CfgSection widths(place.cfgPath, kWidthSection);
    const FormXml::XmlNodes nodes = columns.GetChildren();
    settings.columns.reserve(size_t(nodes.GetCount()));
    for (int i = 0; i < nodes.GetCount(); ++i) {
        const XmlNode node = nodes.GetItem(i);
        // col_id nodes only tell the save commands where a field comes from.
        if (node.GetAttributeInt("col_id", 0) != 0 || node.GetAttributeInt("id", 0) == 0)
            continue;
        GridColumnSettings column;
        column.title = node.GetAttribute("title");
        column.alignment = node.GetAttributeInt("format", 0);
        column.width = node.GetAttributeInt("width", 0);
        column.hidden = column.width == 0;
        column.fixed = node.GetAttributeInt("type", 0) == -1;
        if (column.width > 0) {
            const QString remembered = widths.Value(place.Key(int(settings.columns.size())));
            if (!remembered.isEmpty())
                column.width = ParseIntegerText(remembered);
        }
        const QString background = node.GetAttribute("color_bg");
        const QString text = node.GetAttribute("color_text");
        column.background = background.isEmpty() ? 0xFFFFFF : ParseRgbText(background);
        column.text = text.isEmpty() ? 0 : ParseRgbText(text);
        column.sortKind = SortKindOf(node.GetAttributeInt("sort", 0));
        column.editorControlId = node.GetAttributeInt("hidden_wnd", 0);
        column.sumControlId = node.GetAttributeInt("sum", 0);
        settings.columns.push_back(std::move(column));
    }
    return settings;
}

void SetUpGrid(GridView& grid, const XmlNode& table, const GridWidthPlace& place) {
    grid.SetMenuUid(place.menuUid);
    grid.SetDocumentId(place.tableId);
    grid.BuildColumns(ReadGridSettings(table, place));
    if (place.menuUid > 0)
        grid.SetWidthWriter([place](int column, int width) {
            WriteCfg(place.cfgPath, kWidthSection, place.Key(column), QString::number(width));
        });
}

QWidget* BuildGrid(const XmlNode& element, const ControlBuildContext& context) {
    auto* grid = new GridView(context.host.FormWidget());
    SetUpGrid(*grid, element,
              {context.cfgPath, ParseIntegerText(context.host.MenuUid()),
               element.GetAttributeInt("id", 0), context.userUid});
    return grid;
}
