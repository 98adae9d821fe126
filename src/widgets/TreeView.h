#pragma once
// The tree of forms: nodes with a text and an integer key, optionally with check boxes. It is
// filled from query rows (three values a node: parent key, text, key) and read by the tree
// commands, which need the node under the pointer as well as the selected one.
#include <QPoint>
#include <QStringList>
#include <QTreeWidget>

class TreeView : public QTreeWidget {
    Q_OBJECT
public:
    explicit TreeView(bool checkBoxes, QWidget* parent = nullptr);

    bool HasCheckBoxes() const { return checkBoxes_; }

    static int Key(const QTreeWidgetItem* item);
    // Checked, or partly checked (only some of its children checked) since the user checked a
    // node below it.
    static bool IsChecked(const QTreeWidgetItem* item);
    // 0 unchecked (or no check box), 1 checked, 2 partly checked.
    static int CheckMark(const QTreeWidgetItem* item);

    // Builds nodes from groups of three values (parent key, text, key); a group whose parent
    // key differs from the previous group's looks the parent up, the others reuse it; a parent
    // not found makes a root. A node whose key, as read, appears as ",key," in `checkedKeys` is
    // checked; a node above checked ones shows whether all or only some of them are. Incomplete
    // trailing values are ignored.
    void FillTree(const QStringList& values, const QString& checkedKeys);
    // The first node with `key` in depth-first order (each node before its children, children
    // before the next sibling); none when no node has it.
    QTreeWidgetItem* FindTreeItem(int key) const;
    // Expands or collapses every node.
    void ExpandTree(bool expand);
    // The keys of the checked nodes in depth-first order.
    QList<int> CheckedKeys() const;
    // The node under the pointer where the tree last saw it; none there, or never seen.
    QTreeWidgetItem* ItemUnderPointer() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    // A node's check box changed: each node above it shows whether all, some or none of its
    // children are checked.
    void MarkAncestors(QTreeWidgetItem* item);

    void NotePointer(const QPoint& viewportPos) {
        pointer_ = viewportPos;
        pointerSeen_ = true;
    }

    bool checkBoxes_ = false;
    QPoint pointer_;
    bool pointerSeen_ = false;
};
