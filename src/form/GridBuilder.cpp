// The grid of a table element.
#include "form/ControlBuilders.h"

#include "form/ControlHost.h"
#include "form/ValueGrammars.h"
#include "widgets/CListCtrlEx.h"

using ZUDad::CXmlNode;

QWidget* BuildGrid(const CXmlNode& element, const ControlBuildContext& context) {
    auto* grid = new CListCtrlEx(context.host.FormWidget());
    grid->SetMenuUid(ParseIntegerText(context.host.MenuUid()));
    grid->SetDocumentId(element.GetAttributeInt("id", 0));
    grid->BuildColumns(element);
    return grid;
}
