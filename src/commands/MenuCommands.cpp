// A context menu built from the command's children; the chosen item presses its control, so
// the control's CLICK action runs once the current action is over.
#include "commands/WindowCommands.h"
#include "form/CommandContext.h"
#include "form/FormControls.h"
#include "platform/PopupChoice.h"

#include <QAbstractButton>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QTimer>

using FormXml::XmlNode;
using FormXml::XmlNodes;

namespace {

constexpr int kCheckMarkCount = 35;

// Check mark number `index` (1 to 35): the same tick in colours spread around the colour wheel.
QIcon CheckMark(int index) {
    QPixmap picture(16, 16);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor color = QColor::fromHsv((index - 1) * 360 / kCheckMarkCount, 200, 190);
    painter.setPen(QPen(color, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
    return QIcon(picture);
}

} // namespace

bool Menu(CommandContext& form, CommandResult& /*result*/, const XmlNode& command,
          int /*windowId*/) {
    QMenu menu(form.FormWidget());
    const XmlNodes children = command.GetChildren();
    for (int i = 0; i < children.GetCount(); ++i) {
        const XmlNode child = children.GetItem(i);
        const int id = child.GetAttributeInt("id", 0);
        if (id == 0) {
            menu.addSeparator();
            continue;
        }
        QAction* item = menu.addAction(child.GetAttribute("name"));
        item->setData(id);
        QWidget* control = form.ControlByWindowId(WindowIdOfDocumentId(id));
        item->setEnabled(!control || control->isEnabled());
        const int color = child.GetAttributeInt("color", 0);
        if (color >= 1 && color <= kCheckMarkCount)
            item->setIcon(CheckMark(color));
    }
    QAction* chosen = ChooseFromMenu(menu);
    if (!chosen || !chosen->isEnabled())
        return true;
    // The item's control may be hidden (menus often name hidden buttons); it is pressed all
    // the same, after the current action, as its own click would be.
    auto* button = qobject_cast<QAbstractButton*>(
        form.ControlByWindowId(WindowIdOfDocumentId(chosen->data().toInt())));
    if (button)
        QTimer::singleShot(0, button, [button] {
            if (button->isEnabled())
                button->click();
        });
    return true;
}
