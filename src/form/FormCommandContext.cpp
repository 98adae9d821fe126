// The form as its commands see it: how their reference texts find controls (in the form, in
// the pages embedded in its panels, in the form that opened it).
#include "form/FormControls.h"
#include "form/FormWindow.h"
#include "platform/ValueGrammars.h"

#include <QTabWidget>

namespace {

// The pages of a panel are embedded forms whose parent form is the form holding the panel.
QList<FormWindow*> EmbeddedForms(FormWindow& form) {
    QList<FormWindow*> pages;
    for (FormWindow* child : form.findChildren<FormWindow*>())
        if (child->embedded && child->parentForm == &form)
            pages.append(child);
    return pages;
}

// The form on page `page` (from 1) of a panel; none for a page out of range or without a form.
FormWindow* PageForm(QWidget* panel, int page) {
    auto* tabs = qobject_cast<QTabWidget*>(panel);
    if (!tabs || page < 1 || page > tabs->count())
        return nullptr;
    QWidget* slot = tabs->widget(page - 1);
    return slot ? slot->findChild<FormWindow*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

} // namespace

QWidget* FormWindow::ControlOfFormOrPages(int documentId) {
    if (documentId == 0)
        return this;
    const int windowId = WindowIdOfDocumentId(documentId);
    if (QWidget* window = ControlByWindowId(windowId))
        return window;
    for (FormWindow* page : EmbeddedForms(*this))
        if (QWidget* window = page->ControlByWindowId(windowId))
            return window;
    return nullptr;
}

bool FormWindow::FindControl(const QString& reference, QWidget*& window) {
    window = nullptr;
    if (reference.isEmpty())
        return true;
    const QStringList parts = reference.split(QLatin1Char(':'));
    if (parts.size() == 1 || reference.startsWith(QLatin1Char(':'))) {
        window = ControlOfFormOrPages(ParseIntegerText(reference));
    } else if (parts.size() == 2) {
        if (!parentForm)
            return true;
        window = parentForm->ControlOfFormOrPages(ParseIntegerText(parts[1]));
    } else if (parts.size() == 3) {
        QWidget* panel = ControlByWindowId(WindowIdOfDocumentId(ParseIntegerText(parts[0])));
        if (qobject_cast<QTabWidget*>(panel)) {
            FormWindow* page = PageForm(panel, ParseIntegerText(parts[1]));
            if (!page)
                return true;
            window = page->ControlOfFormOrPages(ParseIntegerText(parts[2]));
        }
    }
    return window != nullptr;
}
