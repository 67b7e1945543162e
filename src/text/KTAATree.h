#pragma once

#include "text/KTAATreeNode.h"
#include "text/KTBinaryTreeEnumerator.h"

#include <cstdint>
#include <iterator>

// Orders two elements: -1 when the first sorts before the second, 0 when they match, 1 after.
// What the reverse flag means is the function's affair; it is passed through unchanged.
using KTTreeComparatorFunction = int (*)(const KTObject* first, const KTObject* second,
                                         bool reverse);

// An ordered container organised as an AA tree, with no key of its own: the owner installs the
// comparison function before the first insertion.
class KTAATree {
public:
    KTAATree() = default;
    KTAATree(const KTAATree&) = delete;
    KTAATree& operator=(const KTAATree&) = delete;
    virtual ~KTAATree();

    uint32_t count() const { return count_; }
    KTAATreeNode* root() const { return root_.get(); }
    void setRoot(KTAATreeNode::Ref root);

    KTTreeComparatorFunction comparatorFunction() const { return comparator_; }
    void setComparatorFunction(KTTreeComparatorFunction comparator) { comparator_ = comparator; }

    KTObject* firstObject() const;
    KTObject* lastObject() const;
    KTAATreeNode* firstNode() const;
    KTAATreeNode* lastNode() const;

    // An exact match, or else (reverse off) the last element that sorts before the probe,
    // (reverse on) the first element that sorts after it; null when there is none.
    KTObject* objectClosestToObject(const KTObject* probe, KTTreeComparatorFunction comparator,
                                    bool reverse) const;
    KTAATreeNode* nodeClosestToObject(const KTObject* probe, KTTreeComparatorFunction comparator,
                                      bool reverse) const;

    KTBinaryTreeEnumerator objectEnumerator() const;
    // The stretch that encloses the probe: from the closest node with reverse off (the first
    // node if none) to the closest node with reverse on (the last node if none).
    KTBinaryTreeEnumerator objectEnumeratorWithEnclosingObject(const KTObject* probe) const;
    KTBinaryTreeEnumerator
    objectEnumeratorWithEnclosingObject(const KTObject* probe,
                                        KTTreeComparatorFunction comparator) const;

    // In-order iteration over the elements (`for (KTObject* o : tree)`).
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = KTObject*;
        using difference_type = std::ptrdiff_t;
        using pointer = KTObject**;
        using reference = KTObject*;
        explicit const_iterator(KTAATreeNode* node = nullptr) : node_(node) {}
        KTObject* operator*() const { return node_->object(); }
        const_iterator& operator++() {
            node_ = node_->next();
            return *this;
        }
        const_iterator operator++(int) {
            const_iterator old = *this;
            node_ = node_->next();
            return old;
        }
        bool operator==(const const_iterator&) const = default;

    private:
        KTAATreeNode* node_;
    };
    const_iterator begin() const { return const_iterator(firstNode()); }
    const_iterator end() const { return const_iterator(); }

protected:
    int compareObject(const KTObject* first, const KTObject* second,
                      KTTreeComparatorFunction comparator, bool reverse) const {
        if (first == second)
            return 0;
        return comparator(first, second, reverse);
    }
    int compareObject(const KTObject* first, const KTObject* second) const {
        return compareObject(first, second, comparator_, false);
    }
    KTAATreeNode::Ref sharedNode(KTAATreeNode* node) const;

    KTAATreeNode::Ref root_;
    KTTreeComparatorFunction comparator_ = nullptr;
    uint32_t count_ = 0;
};

// The tree with insertion and removal.
class KTMutableAATree : public KTAATree {
public:
    // An element that is a tree node is linked in as its own node; any other element is
    // wrapped in a new node. An element that compares equal to a held one replaces it.
    void addObject(KTObjectRef object);
    // Removes the element that compares equal (identity always does); no change if not held.
    void removeObject(const KTObject* object);
    template <typename Range> void removeObjects(const Range& objects) {
        for (const auto& object : objects)
            removeObject(&*object);
    }
    void removeAllObjects();

private:
    KTAATreeNode::Ref insertNode(KTAATreeNode::Ref node, KTAATreeNode::Ref root);
    KTAATreeNode::Ref deleteNodeWithObject(const KTObject* object, KTAATreeNode::Ref root);
    static KTAATreeNode::Ref skew(KTAATreeNode::Ref node);
    static KTAATreeNode::Ref split(KTAATreeNode::Ref node);
};
