#pragma once
// What the query commands need from a tree control, so they can build their query and hand the
// result over without knowing how the tree lays out its nodes. The tree control implements it
// next to its widget base; the commands find it with a dynamic_cast on the resolved window.
#include <QString>
#include <QStringList>

class TreeFillTarget {
public:
    virtual ~TreeFillTarget() = default;

    // The selected node's key and its three tip texts; false when no node is selected.
    virtual bool SelectedNode(QString& key, QStringList& tips) const = 0;
    // Removes every node.
    virtual void ClearTree() = 0;
    // Builds the nodes from a result with field names; `checkedKeys` holds the keys of the nodes
    // to show checked, each enclosed in "," (",3,17,").
    virtual void FillTree(const QStringList& names, const QStringList& values,
                          const QString& checkedKeys) = 0;
    // A tree-list rebuilds its header from the flat value list of a query.
    virtual void RebuildHeader(const QStringList& values) = 0;
};
