#pragma once
// What the controls of a form need from the form window that holds them. The form window
// implements it; keeping it an interface lets the controls be built and tested on their own.
#include "form/XmlDocument.h"
#include "widgets/PopupFormHost.h"

#include <QString>

class GridView;
class QWidget;

class ControlHost : public PopupFormHost {
public:
    virtual ~ControlHost() = default;

    // The widget the controls are children of.
    virtual QWidget* FormWidget() = 0;
    // Form-level placeholder expansion of the form.
    virtual QString Expand(const QString& text) const = 0;
    virtual QString FormId() const = 0;
    virtual QString MenuUid() const = 0;

    // The event element "ACTION/<event>" of the control with this window id, or an empty node.
    virtual FormXml::XmlNode FindEventElement(int windowId, const QString& event) const = 0;
    // Runs the action of (window id, event) through the form's guarded path.
    virtual void RaiseEvent(int windowId, const QString& event) = 0;
    // Runs the action directly, without guard, checks, transaction or report (right clicks).
    virtual void RunActionDirect(int windowId, const QString& event) = 0;

    // Runs the ENDEDIT fill steps of a grid column after the user changed a cell; false when a
    // step failed (and said so).
    virtual bool RunEndEdit(GridView& grid, int row, int column) = 0;

    // Builds the embedded form of one panel page from its html element, parented to `page`.
    virtual QWidget* CreateEmbeddedForm(const FormXml::XmlNode& html, QWidget* page) = 0;
};
