#include "widgets/TreeView.h"

#include "platform/ValueGrammars.h"

#include <QHash>
#include <QMouseEvent>
#include <QSet>
#include <QTreeWidgetItemIterator>

#include <optional>
#include <vector>

namespace {

// Set on a node above one the user checked.
constexpr int kCheckedWithChildRole = Qt::UserRole + 7;

constexpr int kKeyRole = Qt::UserRole;

// Every node in depth-first order; the visitor returns false to stop.
template <typename Visit> void ForEachItem(const QTreeWidget& tree, Visit visit) {
    std::vector<QTreeWidgetItem*> stack;
    for (int i = tree.topLevelItemCount() - 1; i >= 0; --i)
        stack.push_back(tree.topLevelItem(i));
    while (!stack.empty()) {
        QTreeWidgetItem* item = stack.back();
        stack.pop_back();
        if (!visit(item))
            return;
        for (int i = item->childCount() - 1; i >= 0; --i)
            stack.push_back(item->child(i));
    }
}

} // namespace

TreeView::TreeView(bool checkBoxes, QWidget* parent)
    : QTreeWidget(parent), checkBoxes_(checkBoxes) {
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setItemsExpandable(true);
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::StyledPanel);
    setMouseTracking(true);
    setProperty("checkBoxes", checkBoxes);
    if (checkBoxes)
        connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
            if (column == 0)
                MarkAncestors(item);
        });
}

int TreeView::Key(const QTreeWidgetItem* item) {
    return item ? item->data(0, kKeyRole).toInt() : 0;
}

bool TreeView::IsChecked(const QTreeWidgetItem* item) {
    // A node partly checked because the user checked a node below it counts as checked: forms
    // collect the keys of the whole path. One filled partly checked does not.
    const int mark = CheckMark(item);
    return mark == 1 || (mark == 2 && item->data(0, kCheckedWithChildRole).toBool());
}

int TreeView::CheckMark(const QTreeWidgetItem* item) {
    if (!item || !item->data(0, Qt::CheckStateRole).isValid())
        return 0;
    switch (item->checkState(0)) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    default:
        return 0;
    }
}

namespace {

// All children checked: checked; some checked or partly checked: partly; none: `none`.
Qt::CheckState MarkOfChildren(const QTreeWidgetItem* item, Qt::CheckState none) {
    int checked = 0;
    bool some = false;
    for (int i = 0; i < item->childCount(); ++i) {
        const Qt::CheckState state = item->child(i)->checkState(0);
        checked += state == Qt::Checked ? 1 : 0;
        some = some || state != Qt::Unchecked;
    }
    if (checked == item->childCount())
        return Qt::Checked;
    return some ? Qt::PartiallyChecked : none;
}

} // namespace

void TreeView::MarkAncestors(QTreeWidgetItem* item) {
    // Setting a parent's mark changes that item too; the walk up is done here once.
    const QSignalBlocker blocker(this);
    const bool checked = item->checkState(0) == Qt::Checked;
    for (QTreeWidgetItem* parent = item->parent(); parent; parent = parent->parent()) {
        const Qt::CheckState mark = MarkOfChildren(parent, Qt::Unchecked);
        parent->setCheckState(0, mark);
        // The nodes above a node the user checks are checked with it, also while they show
        // that only some of their children are.
        if (checked || mark == Qt::Unchecked)
            parent->setData(0, kCheckedWithChildRole, checked);
    }
    viewport()->update();
}

void TreeView::FillTree(const QStringList& values, const QString& checkedKeys) {
    // Looking every parent up from the first root would make a large fill quadratic. Nodes are
    // only appended, so the first node of a key stays the first in depth-first order unless a
    // later node shares its key; such keys fall back to the search itself.
    QHash<int, QTreeWidgetItem*> byKey;
    QSet<int> sharedKeys;
    const auto find = [&](int key) -> QTreeWidgetItem* {
        if (sharedKeys.contains(key))
            return FindTreeItem(key);
        return byKey.value(key, nullptr);
    };
    std::optional<int> previousParentKey;
    QTreeWidgetItem* parent = nullptr;
    setUpdatesEnabled(false);
    const QSignalBlocker blocker(this);
    for (qsizetype at = 0; at + 3 <= values.size(); at += 3) {
        const int parentKey = ParseIntegerText(values[at]);
        if (parentKey != previousParentKey) {
            parent = find(parentKey);
            previousParentKey = parentKey;
        }
        auto* item = new QTreeWidgetItem(QStringList{values[at + 1]});
        const QString& keyText = values[at + 2];
        const int key = ParseIntegerText(keyText);
        item->setData(0, kKeyRole, key);
        if (checkBoxes_) {
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            const bool checked =
                !checkedKeys.isEmpty() &&
                checkedKeys.contains(QLatin1Char(',') + keyText + QLatin1Char(','));
            item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
        }
        if (parent)
            parent->addChild(item);
        else
            addTopLevelItem(item);
        if (byKey.contains(key))
            sharedKeys.insert(key);
        else
            byKey.insert(key, item);
    }
    // Children come after their parents: marked from the deepest up, a stored parent with some
    // of its children checked shows them partly, one checked alone (standing for all) stays.
    if (checkBoxes_) {
        std::vector<QTreeWidgetItem*> parents;
        for (QTreeWidgetItemIterator it(this); *it; ++it)
            if ((*it)->childCount() > 0)
                parents.push_back(*it);
        for (auto it = parents.rbegin(); it != parents.rend(); ++it)
            (*it)->setCheckState(0, MarkOfChildren(*it, (*it)->checkState(0)));
    }
    setUpdatesEnabled(true);
}

QTreeWidgetItem* TreeView::FindTreeItem(int key) const {
    QTreeWidgetItem* found = nullptr;
    ForEachItem(*this, [&](QTreeWidgetItem* item) {
        if (Key(item) != key)
            return true;
        found = item;
        return false;
    });
    return found;
}

void TreeView::ExpandTree(bool expand) {
    if (expand)
        expandAll();
    else
        collapseAll();
}

QList<int> TreeView::CheckedKeys() const {
    QList<int> keys;
    ForEachItem(*this, [&](QTreeWidgetItem* item) {
        if (IsChecked(item))
            keys.append(Key(item));
        return true;
    });
    return keys;
}

QTreeWidgetItem* TreeView::ItemUnderPointer() const {
    return pointerSeen_ ? itemAt(pointer_) : nullptr;
}

void TreeView::mousePressEvent(QMouseEvent* event) {
    NotePointer(event->position().toPoint());
    QTreeWidget::mousePressEvent(event);
}

void TreeView::mouseMoveEvent(QMouseEvent* event) {
    NotePointer(event->position().toPoint());
    QTreeWidget::mouseMoveEvent(event);
}

void TreeView::mouseReleaseEvent(QMouseEvent* event) {
    NotePointer(event->position().toPoint());
    QTreeWidget::mouseReleaseEvent(event);
}

void TreeView::mouseDoubleClickEvent(QMouseEvent* event) {
    NotePointer(event->position().toPoint());
    QTreeWidget::mouseDoubleClickEvent(event);
}
