// Trees as sources of keys: the node the user picked (selected, or under the pointer when a
// click runs the action) goes into a field, the checked nodes' keys into a filter, a pop-up's
// node back to the box that opened it.
#include "commands/TreeCommands.h"

#include "commands/CommandSupport.h"
#include "form/CommandContext.h"
#include "widgets/TreeView.h"

#include <QStringList>

using FormXml::XmlNode;

namespace {

// The tree named by `tree_id` of the command's `para_info`; false (with the reference message
// for a missing control) when there is none.
bool ResolveTree(CommandContext& form, CommandResult& result, const XmlNode& info,
                 TreeView*& tree) {
    QWidget* window = nullptr;
    const QString reference = info.GetAttribute("tree_id");
    if (!ResolveControl(form, result, reference, window))
        return false;
    tree = qobject_cast<TreeView*>(window);
    return tree != nullptr;
}

// A selection change uses the selected node; a click uses (and selects) the node under the
// pointer.
QTreeWidgetItem* PickedNode(CommandContext& form, TreeView& tree) {
    if (form.EventName() == QLatin1String("EN_CHANGE"))
        return tree.currentItem();
    QTreeWidgetItem* item = tree.ItemUnderPointer();
    if (item)
        tree.setCurrentItem(item);
    return item;
}

bool WriteTarget(CommandContext& form, CommandResult& result, const XmlNode& info,
                 const QString& value) {
    QWidget* target = nullptr;
    if (!ResolveControl(form, result, info.GetAttribute("target_id"), target))
        return false;
    WriteControlValue(target, value);
    return true;
}

enum class NodeValue { Key, Text };

bool WritePickedNode(CommandContext& form, CommandResult& result, const XmlNode& command,
                     NodeValue what) {
    const XmlNode info = command.GetChild("para_info");
    TreeView* tree = nullptr;
    if (!ResolveTree(form, result, info, tree))
        return false;
    const QTreeWidgetItem* item = PickedNode(form, *tree);
    if (!item)
        return false;
    return WriteTarget(form, result, info,
                       what == NodeValue::Key ? QString::number(TreeView::Key(item))
                                              : item->text(0));
}

} // namespace

bool SelectItem(CommandContext& form, CommandResult& result, const XmlNode& command,
                int /*windowId*/) {
    TreeView* tree = nullptr;
    if (!ResolveTree(form, result, command.GetChild("para_info"), tree))
        return false;
    if (QTreeWidgetItem* item = tree->ItemUnderPointer())
        tree->setCurrentItem(item);
    return true;
}

bool GetIdFromTree(CommandContext& form, CommandResult& result, const XmlNode& command,
                   int /*windowId*/) {
    return WritePickedNode(form, result, command, NodeValue::Key);
}

bool GetNameFromTree(CommandContext& form, CommandResult& result, const XmlNode& command,
                     int /*windowId*/) {
    return WritePickedNode(form, result, command, NodeValue::Text);
}

bool GetIdsFromTree(CommandContext& form, CommandResult& result, const XmlNode& command,
                    int /*windowId*/) {
    const XmlNode info = command.GetChild("para_info");
    TreeView* tree = nullptr;
    if (!ResolveTree(form, result, info, tree))
        return false;
    QStringList keys;
    for (int key : tree->CheckedKeys())
        keys.append(QString::number(key));
    return WriteTarget(form, result, info, keys.join(QLatin1Char(',')));
}

bool ReturnSelectedNode(CommandContext& form, CommandResult& result, const XmlNode& command,
                        int windowId) {
    if (!form.HasReturnSlot())
        return true;
    QWidget* window = nullptr;
    const QString reference = command.GetAttribute("table_id");
    if (reference.isEmpty() || reference == QLatin1String("0"))
        window = form.ControlByWindowId(windowId);
    else if (!ResolveControl(form, result, reference, window))
        return false;
    auto* tree = qobject_cast<TreeView*>(window);
    const QTreeWidgetItem* item = tree ? tree->currentItem() : nullptr;
    if (!item)
        return false;
    form.SetReturnValue(command.GetAttributeInt("values", 0) == 0
                            ? QString::number(TreeView::Key(item))
                            : item->text(0));
    form.ClosePopupNow();
    return true;
}
