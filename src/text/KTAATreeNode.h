#pragma once

#include "text/KTNode.h"

#include <cstdint>

// A node of an AA tree. Children are owned; the parent link is not. The child setters keep
// parent links right, so every node's parent is the node whose left or right it is.
class KTAATreeNode : public KTNode {
public:
    KTAATreeNode() = default;
    explicit KTAATreeNode(KTObjectRef object) : KTNode(std::move(object)) {}

    using Ref = std::shared_ptr<KTAATreeNode>;

    KTAATreeNode* left() const { return left_.get(); }
    KTAATreeNode* right() const { return right_.get(); }
    const Ref& leftRef() const { return left_; }
    const Ref& rightRef() const { return right_; }
    void setLeft(Ref node) { setChild(left_, std::move(node)); }
    void setRight(Ref node) { setChild(right_, std::move(node)); }

    KTAATreeNode* parent() const { return parent_; }
    void setParent(KTAATreeNode* parent) { parent_ = parent; }

    uint32_t level() const { return level_; }
    void setLevel(uint32_t level) { level_ = level; }

    // The in-order successor, or null after the last node.
    KTAATreeNode* next() const;

    // Level of a possibly absent node: an absent child counts as level 0.
    static uint32_t levelOf(const KTAATreeNode* node) { return node ? node->level_ : 0; }

private:
    void setChild(Ref& slot, Ref node);

    KTAATreeNode* parent_ = nullptr;
    Ref left_;
    Ref right_;
    uint32_t level_ = 1;
};
