#include "form/ControlBuilders.h"

#include "platform/ValueGrammars.h"
#include "widgets/DrawnLabel.h"

#include <QWidget>

namespace {

using Events = ControlEvents;

// A plain array: a form of a few hundred controls looks a tag up for each of them, and a scan of
// a dozen short names costs no more than the comparisons it replaces.
const ControlBuilder kBuilders[] = {
    {QLatin1String("textbox"), BuildTextBox, &kTextBoxAdapter, Events::EditBox, true, true},
    {QLatin1String("button"), BuildButton, &kButtonAdapter, Events::Button, true, false},
    {QLatin1String("static"), BuildStatic, &kStaticAdapter, Events::None, true, false},
    {QLatin1String("zvbutton"), BuildDrawnButton, &kDrawnButtonAdapter, Events::None, true, false},
    {QLatin1String("pic"), BuildPicture, &kPictureAdapter, Events::None, true, false},
    {QLatin1String("gui"), BuildGuiView, &kDrawingAdapter, Events::None, true, false},
    {QLatin1String("editbutton"), BuildEditButton, &kEditButtonAdapter, Events::EditButton, true,
     false},
    {QLatin1String("table"), BuildGrid, &kGridAdapter, Events::Grid, true, false},
    {QLatin1String("droplist"), BuildDropList, &kDropListAdapter, Events::DropList, true, true},
    {QLatin1String("datectrl"), BuildDateField, &kDateFieldAdapter, Events::None, true, false},
    {QLatin1String("panel"), BuildPanel, &kWindowAdapter, Events::None, false, false},
    {QLatin1String("tree"), BuildTree, &kTreeAdapter, Events::Tree, false, false},
    {QLatin1String("treelist"), BuildTreeList, &kTreeListAdapter, Events::TreeList, true, false},
    {QLatin1String("gdistatic"), BuildTreeList, &kTreeListAdapter, Events::TreeList, true, false},
};

} // namespace

const ControlBuilder* FindControlBuilder(QStringView tag) {
    for (const ControlBuilder& builder : kBuilders)
        if (tag == builder.tag)
            return &builder;
    return nullptr;
}

const ControlAdapter& AdapterOf(const QWidget* widget) {
    for (const QMetaObject* type = widget->metaObject(); type; type = type->superClass())
        for (const ControlBuilder& builder : kBuilders)
            for (const QMetaObject* named : builder.adapter->widgetClasses)
                if (named == type)
                    return *builder.adapter;
    return kWindowAdapter;
}

QColor ColorAttribute(const FormXml::XmlNode& element, const char* name) {
    const QString text = element.GetAttribute(name);
    if (text.isEmpty())
        return {};
    return PackedColor(ParseRgbText(text));
}
