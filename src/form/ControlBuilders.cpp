#include "form/ControlBuilders.h"

#include "platform/ValueGrammars.h"
#include "widgets/DrawnLabel.h"

namespace {

using Events = ControlEvents;

// A plain array: a form of a few hundred controls looks a tag up for each of them, and a scan of
// a dozen short names costs no more than the comparisons it replaces.
const ControlBuilder kBuilders[] = {
    {QLatin1String("textbox"), BuildTextBox, Events::EditBox, true, true},
    {QLatin1String("button"), BuildButton, Events::Button, true, false},
    {QLatin1String("static"), BuildStatic, Events::None, true, false},
    {QLatin1String("zvbutton"), BuildDrawnButton, Events::None, true, false},
    {QLatin1String("pic"), BuildPicture, Events::None, true, false},
    {QLatin1String("gui"), BuildGuiView, Events::None, true, false},
    {QLatin1String("editbutton"), BuildEditButton, Events::EditButton, true, false},
    {QLatin1String("table"), BuildGrid, Events::Grid, true, false},
    {QLatin1String("droplist"), BuildDropList, Events::DropList, true, true},
    {QLatin1String("datectrl"), BuildDateField, Events::None, true, false},
    {QLatin1String("panel"), BuildPanel, Events::None, false, false},
    {QLatin1String("tree"), BuildTree, Events::Tree, false, false},
    {QLatin1String("treelist"), BuildTreeList, Events::TreeList, true, false},
    {QLatin1String("gdistatic"), BuildTreeList, Events::TreeList, true, false},
};

} // namespace

const ControlBuilder* FindControlBuilder(QStringView tag) {
    for (const ControlBuilder& builder : kBuilders)
        if (tag == builder.tag)
            return &builder;
    return nullptr;
}

QColor ColorAttribute(const FormXml::XmlNode& element, const char* name) {
    const QString text = element.GetAttribute(name);
    if (text.isEmpty())
        return {};
    return PackedColor(ParseRgbText(text));
}
