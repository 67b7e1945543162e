#include "text/KTAATreeNode.h"

void KTAATreeNode::setChild(Ref& slot, Ref node) {
    if (slot == node) {
        // Already our child, but a rotation further down may have cleared its link to us
        // while moving it about; restore it so parent links stay true.
        if (slot)
            slot->parent_ = this;
        return;
    }
    if (slot && slot->parent_ == this)
        slot->parent_ = nullptr;
    slot = std::move(node);
    if (slot)
        slot->parent_ = this;
}

KTAATreeNode* KTAATreeNode::next() const {
    if (right_) {
        KTAATreeNode* node = right_.get();
        while (node->left_)
            node = node->left_.get();
        return node;
    }
    const KTAATreeNode* node = this;
    while (node->parent_ && node->parent_->right_.get() == node)
        node = node->parent_;
    return node->parent_;
}
