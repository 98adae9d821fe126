// Controls that show rather than take input: drawn labels, pictures, views and tree lists.
#include "form/ControlBuilders.h"

#include "form/ControlHost.h"
#include "platform/ValueGrammars.h"
#include "widgets/DrawingView.h"
#include "widgets/DrawnLabel.h"
#include "widgets/PictureView.h"
#include "widgets/TreeListView.h"

#include <optional>

using FormXml::XmlNode;

namespace {

struct StaticSettings {
    QString text;
    int styleBits = 0;
    QColor textColor;
    int drawMode = 0; // the raster mode of the drawn item; none is drawn unless positive
    std::optional<LabelItem> item;
    QString pictureFolder;
};

LabelItem ReadLabelItem(const XmlNode& node) {
    LabelItem item;
    item.type = node.GetAttribute("type");
    item.pos = ParseRectText(node.GetAttribute("pos"));
    item.style = node.GetAttributeInt("style", 0);
    item.width = node.GetAttributeInt("width", 1);
    item.color = ParseRgbText(node.GetAttribute("color", QStringLiteral("240,240,240")));
    item.text = node.GetAttribute("text");
    item.font = node.GetAttribute("font");
    return item;
}

StaticSettings ReadStatic(const XmlNode& element, const ControlBuildContext& context) {
    StaticSettings settings;
    settings.text = context.host.Expand(element.GetAttribute("value"));
    settings.styleBits = element.GetAttributeInt("style", 0);
    settings.textColor = ColorAttribute(element, "color");
    settings.drawMode = element.GetAttributeInt("minlen", 0);
    if (settings.drawMode > 0) {
        const FormXml::XmlNodes children = element.GetChildren();
        if (children.GetCount() > 0)
            settings.item = ReadLabelItem(children.GetItem(0));
    }
    settings.pictureFolder = context.exeFolder;
    return settings;
}

QWidget* CreateStatic(const StaticSettings& settings, QWidget* parent) {
    auto* label = new DrawnLabel(settings.text, parent);
    label->SetStyleBits(settings.styleBits);
    if (settings.textColor.isValid())
        label->SetTextColor(settings.textColor);
    if (settings.item)
        label->SetItem(*settings.item, settings.drawMode);
    label->SetPictureFolder(settings.pictureFolder);
    return label;
}

// Pictures and views: a text and a colour, for the work that draws them.
struct TextAndColor {
    QString text;
    QColor color;
};

TextAndColor ReadTextAndColor(const XmlNode& element, const ControlBuildContext&) {
    return {element.GetAttribute("value"), ColorAttribute(element, "color")};
}

template <typename View> QWidget* CreateView(const TextAndColor& settings, QWidget* parent) {
    auto* view = new View(parent);
    view->SetText(settings.text);
    view->SetColor(settings.color);
    return view;
}

struct TreeListSettings {
    QString text;
    bool readOnly = false;
    QList<TreeListView::HeaderColumn> header;
};

// A header element and its subtree; element names do not matter, only the nesting.
TreeListView::HeaderColumn ReadHeaderColumn(const XmlNode& element) {
    TreeListView::HeaderColumn column{
        element.GetAttribute("title"),        element.GetAttributeInt("width", 0),
        element.GetAttributeInt("height", 0), element.GetAttributeInt("type", 0),
        element.GetAttribute("menu_id"),      {}};
    const FormXml::XmlNodes children = element.GetChildren();
    for (int i = 0; i < children.GetCount(); ++i)
        column.children.append(ReadHeaderColumn(children.GetItem(i)));
    return column;
}

TreeListSettings ReadTreeList(const XmlNode& element, const ControlBuildContext&) {
    TreeListSettings settings{
        element.GetAttribute("value"), element.GetAttributeInt("readonly", 0) != 0, {}};
    const FormXml::XmlNodes columns = element.GetChild("PARA").GetChild("head_info").GetChildren();
    for (int i = 0; i < columns.GetCount(); ++i)
        settings.header.append(ReadHeaderColumn(columns.GetItem(i)));
    return settings;
}

QWidget* CreateTreeList(const TreeListSettings& settings, QWidget* parent) {
    auto* chart = new TreeListView(parent);
    chart->setProperty("windowClass", QStringLiteral("TreeList"));
    chart->SetText(settings.text);
    chart->SetReadOnly(settings.readOnly);
    chart->BuildHeader(settings.header);
    return chart;
}

} // namespace

QWidget* BuildStatic(const XmlNode& element, const ControlBuildContext& context) {
    return CreateStatic(ReadStatic(element, context), context.host.FormWidget());
}

QWidget* BuildPicture(const XmlNode& element, const ControlBuildContext& context) {
    return CreateView<PictureView>(ReadTextAndColor(element, context), context.host.FormWidget());
}

QWidget* BuildGuiView(const XmlNode& element, const ControlBuildContext& context) {
    return CreateView<DrawingView>(ReadTextAndColor(element, context), context.host.FormWidget());
}

QWidget* BuildTreeList(const XmlNode& element, const ControlBuildContext& context) {
    return CreateTreeList(ReadTreeList(element, context), context.host.FormWidget());
}
