#include "text/KTAATree.h"

KTAATree::~KTAATree() = default;

void KTAATree::setRoot(KTAATreeNode::Ref root) {
    root_ = std::move(root);
    if (root_)
        root_->setParent(nullptr);
}

KTAATreeNode::Ref KTAATree::sharedNode(KTAATreeNode* node) const {
    if (!node)
        return {};
    return std::static_pointer_cast<KTAATreeNode>(node->shared_from_this());
}

KTAATreeNode* KTAATree::firstNode() const {
    KTAATreeNode* node = root_.get();
    while (node && node->left())
        node = node->left();
    return node;
}

KTAATreeNode* KTAATree::lastNode() const {
    KTAATreeNode* node = root_.get();
    while (node && node->right())
        node = node->right();
    return node;
}

KTObject* KTAATree::firstObject() const {
    KTAATreeNode* node = firstNode();
    return node ? node->object() : nullptr;
}

KTObject* KTAATree::lastObject() const {
    KTAATreeNode* node = lastNode();
    return node ? node->object() : nullptr;
}

KTAATreeNode* KTAATree::nodeClosestToObject(const KTObject* probe,
                                            KTTreeComparatorFunction comparator,
                                            bool reverse) const {
    KTAATreeNode* candidate = nullptr;
    KTAATreeNode* node = root_.get();
    while (node) {
        const int result = reverse ? compareObject(node->object(), probe, comparator, true)
                                   : compareObject(probe, node->object(), comparator, false);
        if (result == 0)
            return node;
        if (result == 1)
            candidate = node;
        const bool goRight = reverse ? result == -1 : result != -1;
        node = goRight ? node->right() : node->left();
    }
    return candidate;
}

KTObject* KTAATree::objectClosestToObject(const KTObject* probe,
                                          KTTreeComparatorFunction comparator, bool reverse) const {
    KTAATreeNode* node = nodeClosestToObject(probe, comparator, reverse);
    return node ? node->object() : nullptr;
}

KTBinaryTreeEnumerator KTAATree::objectEnumerator() const {
    return KTBinaryTreeEnumerator(this, sharedNode(firstNode()), sharedNode(lastNode()));
}

KTBinaryTreeEnumerator KTAATree::objectEnumeratorWithEnclosingObject(const KTObject* probe) const {
    return objectEnumeratorWithEnclosingObject(probe, comparator_);
}

KTBinaryTreeEnumerator
KTAATree::objectEnumeratorWithEnclosingObject(const KTObject* probe,
                                              KTTreeComparatorFunction comparator) const {
    KTAATreeNode* start = nodeClosestToObject(probe, comparator, false);
    if (!start)
        start = firstNode();
    KTAATreeNode* end = nodeClosestToObject(probe, comparator, true);
    if (!end)
        end = lastNode();
    return KTBinaryTreeEnumerator(this, sharedNode(start), sharedNode(end));
}

KTObject* KTBinaryTreeEnumerator::nextObject() {
    if (current_ == end_.get())
        return nullptr;
    current_ = current_ ? current_->next() : start_.get();
    return current_ ? current_->object() : nullptr;
}

QList<KTObject*> KTBinaryTreeEnumerator::allObjects() {
    QList<KTObject*> objects;
    while (KTObject* object = nextObject())
        objects.append(object);
    return objects;
}

// Mutation

void KTMutableAATree::addObject(KTObjectRef object) {
    if (!object)
        return;
    KTAATreeNode::Ref node = std::dynamic_pointer_cast<KTAATreeNode>(object);
    if (!node)
        node = std::make_shared<KTAATreeNode>(std::move(object));
    setRoot(insertNode(std::move(node), root_));
}

void KTMutableAATree::removeObject(const KTObject* object) {
    if (!object)
        return;
    setRoot(deleteNodeWithObject(object, root_));
}

void KTMutableAATree::removeAllObjects() {
    root_.reset();
    count_ = 0;
}

KTAATreeNode::Ref KTMutableAATree::skew(KTAATreeNode::Ref node) {
    if (!node)
        return node;
    // Rotate right wherever a left child has its parent's level, from this node down the
    // whole right spine. Walked as a loop: the same steps as recursing into each right
    // child, without passing shared references down every level.
    auto rotateRight = [](KTAATreeNode::Ref subtree) {
        KTAATreeNode::Ref left = subtree->leftRef();
        subtree->setLeft(left->rightRef());
        left->setRight(std::move(subtree));
        return left;
    };
    if (node->left() && node->left()->level() == node->level())
        node = rotateRight(std::move(node));
    KTAATreeNode* parent = node.get();
    while (KTAATreeNode* right = parent->right()) {
        if (right->left() && right->left()->level() == right->level()) {
            KTAATreeNode::Ref rotated = rotateRight(parent->rightRef());
            parent->setRight(rotated);
            parent = rotated.get();
        } else {
            parent = right;
        }
    }
    return node;
}

KTAATreeNode::Ref KTMutableAATree::split(KTAATreeNode::Ref node) {
    if (!node)
        return node;
    const KTAATreeNode* right = node->right();
    if (KTAATreeNode::levelOf(right ? right->right() : nullptr) != node->level())
        return node;
    KTAATreeNode::Ref newRoot = node->rightRef();
    node->setRight(newRoot->leftRef());
    newRoot->setLeft(node);
    newRoot->setLevel(newRoot->level() + 1);
    newRoot->setRight(split(newRoot->rightRef()));
    return newRoot;
}

KTAATreeNode::Ref KTMutableAATree::insertNode(KTAATreeNode::Ref node, KTAATreeNode::Ref root) {
    if (!root) {
        ++count_;
        return node;
    }
    const int result = compareObject(node->object(), root->object());
    if (result == 0) {
        root->setObject(node->objectRef());
        return root;
    }
    if (result == -1)
        root->setLeft(insertNode(std::move(node), root->leftRef()));
    else
        root->setRight(insertNode(std::move(node), root->rightRef()));
    return split(skew(std::move(root)));
}

KTAATreeNode::Ref KTMutableAATree::deleteNodeWithObject(const KTObject* object,
                                                        KTAATreeNode::Ref root) {
    if (!root)
        return root;
    const int result = compareObject(object, root->object());
    if (result == -1) {
        root->setLeft(deleteNodeWithObject(object, root->leftRef()));
    } else if (result != 0) {
        root->setRight(deleteNodeWithObject(object, root->rightRef()));
    } else if (root->left() && root->right()) {
        KTAATreeNode* predecessor = root->left();
        while (predecessor->right())
            predecessor = predecessor->right();
        auto replacement = std::make_shared<KTAATreeNode>(predecessor->objectRef());
        replacement->setLevel(root->level());
        KTAATreeNode::Ref left = root->leftRef();
        KTAATreeNode::Ref right = root->rightRef();
        KTAATreeNode* parent = root->parent();
        const bool wasLeft = parent && parent->left() == root.get();
        root->setLeft(nullptr);
        root->setRight(nullptr);
        replacement->setLeft(std::move(left));
        replacement->setRight(std::move(right));
        if (!parent)
            setRoot(replacement);
        else if (wasLeft)
            parent->setLeft(replacement);
        else
            parent->setRight(replacement);
        const KTObject* removed = replacement->object();
        replacement->setLeft(deleteNodeWithObject(removed, replacement->leftRef()));
        root = replacement;
    } else {
        KTAATreeNode::Ref child = root->left() ? root->leftRef() : root->rightRef();
        // The removed node lets go of its subtree so that an element kept alive elsewhere
        // (a frame that is its own node) holds no stale links into the tree.
        root->setLeft(nullptr);
        root->setRight(nullptr);
        --count_;
        return child;
    }

    const uint32_t level = root->level();
    if (KTAATreeNode::levelOf(root->left()) + 1 < level ||
        KTAATreeNode::levelOf(root->right()) + 1 < level) {
        root->setLevel(level - 1);
        if (root->right() && root->right()->level() > root->level())
            root->right()->setLevel(root->level());
        return split(skew(std::move(root)));
    }
    return root;
}
