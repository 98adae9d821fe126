// Panels of embedded forms and trees.
#include "form/ControlBuilders.h"

#include "form/ControlHost.h"
#include "platform/StyleBits.h"
#include "widgets/TreeView.h"

#include <QTabWidget>
#include <QVBoxLayout>

#include <vector>

using FormXml::XmlNode;

namespace {

struct PanelPage {
    XmlNode html; // the embedded form, which the form window builds
    QString title;
};

struct PanelSettings {
    std::vector<PanelPage> pages;
};

PanelSettings ReadPanel(const XmlNode& element, const ControlBuildContext&) {
    PanelSettings settings;
    const FormXml::XmlNodes children = element.GetChildren();
    for (int i = 0; i < children.GetCount(); ++i) {
        const XmlNode html = children.GetItem(i);
        if (html.GetName() == QLatin1String("html"))
            settings.pages.push_back({html, html.GetAttribute("title")});
    }
    return settings;
}

QWidget* CreatePanel(const PanelSettings& settings, ControlHost& host) {
    auto* tabs = new QTabWidget(host.FormWidget());
    tabs->setDocumentMode(false);
    for (const PanelPage& page : settings.pages) {
        auto* pageWidget = new QWidget;
        auto* layout = new QVBoxLayout(pageWidget);
        layout->setContentsMargins(0, 0, 0, 0);
        if (QWidget* form = host.CreateEmbeddedForm(page.html, pageWidget))
            layout->addWidget(form);
        tabs->addTab(pageWidget, page.title);
    }
    return tabs;
}

struct TreeSettings {
    bool checkBoxes = false;
};

TreeSettings ReadTree(const XmlNode& element, const ControlBuildContext&) {
    return {StyleBits::TreeStyleOf(element.GetAttributeInt("style", 0)).checkBoxes};
}

QWidget* CreateTree(const TreeSettings& settings, QWidget* parent) {
    return new TreeView(settings.checkBoxes, parent);
}

} // namespace

QWidget* BuildPanel(const XmlNode& element, const ControlBuildContext& context) {
    return CreatePanel(ReadPanel(element, context), context.host);
}

QWidget* BuildTree(const XmlNode& element, const ControlBuildContext& context) {
    return CreateTree(ReadTree(element, context), context.host.FormWidget());
}
