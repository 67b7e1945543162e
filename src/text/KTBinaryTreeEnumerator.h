#pragma once

#include "text/KTAATreeNode.h"

#include <QList>

class KTAATree;

// Walks a stretch of a tree in order, both end nodes included. It keeps the two end nodes
// alive; changing the tree while an enumerator walks it is not supported.
class KTBinaryTreeEnumerator {
public:
    KTBinaryTreeEnumerator(const KTAATree* tree, KTAATreeNode::Ref startNode,
                           KTAATreeNode::Ref endNode)
        : tree_(tree), start_(std::move(startNode)), end_(std::move(endNode)) {}

    static KTBinaryTreeEnumerator objectEnumeratorWithTree(const KTAATree* tree,
                                                           KTAATreeNode::Ref startNode,
                                                           KTAATreeNode::Ref endNode) {
        return KTBinaryTreeEnumerator(tree, std::move(startNode), std::move(endNode));
    }

    // The next element, or null once the end node has been returned.
    KTObject* nextObject();
    // The remaining elements, in order.
    QList<KTObject*> allObjects();

    const KTAATree* tree() const { return tree_; }

private:
    const KTAATree* tree_;
    KTAATreeNode::Ref start_;
    KTAATreeNode::Ref end_;
    KTAATreeNode* current_ = nullptr;
};
