#include "widgets/TreeListNode.h"

TreeListNode* TreeListNode::AddChild(std::unique_ptr<TreeListNode> child) {
    TreeListNode* node = child.get();
    node->parent = this;
    node->depth = depth + 1;
    node->keyMap = keyMap;
    node->previous = children.empty() ? nullptr : children.back().get();
    if (node->previous)
        node->previous->next = node;
    node->y = bottom;
    node->bottom = node->y + node->height;
    node->x = node->previous ? node->previous->right : x;
    node->right = node->x + node->width;
    // The first row under a key keeps it, so later rows still find the parent they were listed
    // under.
    if (keyMap && !node->key.isEmpty() && !keyMap->contains(node->key))
        keyMap->insert(node->key, node);
    children.push_back(std::move(child));
    return node;
}

TreeListNode::~TreeListNode() {
    RemoveChildren();
}

void TreeListNode::RemoveChildren() {
    std::vector<std::unique_ptr<TreeListNode>> pending = std::move(children);
    children.clear();
    while (!pending.empty()) {
        std::unique_ptr<TreeListNode> node = std::move(pending.back());
        pending.pop_back();
        for (auto& child : node->children)
            pending.push_back(std::move(child));
        node->children.clear();
    }
}
