#pragma once
// A node of the tree-list: one class serves the header's column groups and the body's rows. A
// node owns its children; the links to parent and siblings are plain pointers into that tree.
#include <QHash>
#include <QString>

#include <memory>
#include <vector>

class TreeListNode {
public:
    // A further cell of a body row.
    struct Cell {
        QString text;
        QString color;
    };
    // Header: the column type (0 text, 1 time bar, 2 hours bar); body: the row colour.
    struct Style {
        int type = 0;
        QString color;
    };

    std::vector<Cell> cells;
    QString key;
    QString tip1;
    QString tip2;
    QString tip3;
    Style style;
    QString title;
    QString menuId;
    int depth = 0;
    TreeListNode* parent = nullptr;
    TreeListNode* previous = nullptr;
    TreeListNode* next = nullptr;
    int height = 0;
    int width = 0;
    int y = 0;
    int x = 0;
    int bottom = 0;
    int right = 0;
    int expanderX = 0;
    bool expanded = true;
    // Body rows register here under their key.
    QHash<QString, TreeListNode*>* keyMap = nullptr;
    std::vector<std::unique_ptr<TreeListNode>> children;

    TreeListNode() = default;
    TreeListNode(const TreeListNode&) = delete;
    TreeListNode& operator=(const TreeListNode&) = delete;
    ~TreeListNode();

    bool HasChildren() const { return !children.empty(); }

    // Appends `child` as the last child: links, depth, the key map of the tree, and the header
    // placement (below this node, right of the previous sibling).
    TreeListNode* AddChild(std::unique_ptr<TreeListNode> child);
    // Without recursion: a row chain thousands deep must not exhaust the stack.
    void RemoveChildren();
};
