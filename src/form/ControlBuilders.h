#pragma once
// The builders of a form's controls, one per element kind, found by the element's tag. A builder
// reads its element into a settings struct of its own and creates the widget from that alone, so
// no widget reads the definition. FormControls then places, registers and wires what it returns;
// the kind's adapter is how the form and its commands read, write and reset it afterwards.
#include "form/ControlAdapters.h"
#include "form/XmlDocument.h"

#include <QColor>
#include <QLatin1String>
#include <QString>

#include <functional>

class ControlHost;
class QWidget;

// What a builder may use besides its element. Session facts are read once per form, not per
// control.
struct ControlBuildContext {
    ControlHost& host;
    FormXml::XmlNode body; // pop-up documents of edit-with-button boxes are found here
    QString exeFolder;     // pictures are named relative to it (ends with "/")
    QString cfgPath;       // where grids remember their column widths
    QString userUid;       // widths are remembered per user; the pick lists' {{userid}}
    std::function<QString(int documentId)> controlText; // another control's text, when asked
};

// The form's event wiring that a kind gets (see FormControls).
enum class ControlEvents { None, EditBox, EditButton, DropList, Button, Grid, Tree, TreeList };

using BuildControl = QWidget* (*)(const FormXml::XmlNode& element,
                                  const ControlBuildContext& context);

struct ControlBuilder {
    QLatin1String tag;
    BuildControl build;
    const ControlAdapter* adapter;
    ControlEvents events;
    // The kind reads `hidden`; the others are shown or hidden by their own work.
    bool readsHidden;
    // Kept out of the layout (`hidden` 2), the control is raised over its siblings.
    bool raisedWhenKeptOut;
};

// The builder of an element's tag; null for layout elements and unknown tags.
const ControlBuilder* FindControlBuilder(QStringView tag);
// The adapter of a widget's kind, found by its class: the nearest class an adapter of the table
// names, so a part of a compound control or a widget built elsewhere is served by its class too.
// kWindowAdapter for a widget no kind names (the form itself). The widget must not be null.
const ControlAdapter& AdapterOf(const QWidget* widget);

// Set on a multi-line box in which Enter starts a new line.
inline constexpr char kWantsReturnProperty[] = "zvWantsReturn";

// A colour attribute ("r,g,b"); invalid when absent or empty.
QColor ColorAttribute(const FormXml::XmlNode& element, const char* name);

// --- The builders, by family ---
// InputBuilders.cpp
QWidget* BuildTextBox(const FormXml::XmlNode& element, const ControlBuildContext& context);
QWidget* BuildDropList(const FormXml::XmlNode& element, const ControlBuildContext& context);
QWidget* BuildDateField(const FormXml::XmlNode& element, const ControlBuildContext& context);
// EditButtonBuilder.cpp
QWidget* BuildEditButton(const FormXml::XmlNode& element, const ControlBuildContext& context);
// ButtonBuilders.cpp
QWidget* BuildButton(const FormXml::XmlNode& element, const ControlBuildContext& context);
QWidget* BuildDrawnButton(const FormXml::XmlNode& element, const ControlBuildContext& context);
// DisplayBuilders.cpp
QWidget* BuildStatic(const FormXml::XmlNode& element, const ControlBuildContext& context);
QWidget* BuildPicture(const FormXml::XmlNode& element, const ControlBuildContext& context);
QWidget* BuildGuiView(const FormXml::XmlNode& element, const ControlBuildContext& context);
QWidget* BuildTreeList(const FormXml::XmlNode& element, const ControlBuildContext& context);
// GridBuilder.cpp
QWidget* BuildGrid(const FormXml::XmlNode& element, const ControlBuildContext& context);
// ContainerBuilders.cpp
QWidget* BuildPanel(const FormXml::XmlNode& element, const ControlBuildContext& context);
QWidget* BuildTree(const FormXml::XmlNode& element, const ControlBuildContext& context);
