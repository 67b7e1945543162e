#include "text/KTAATree.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

namespace {

struct Number : KTObject {
    explicit Number(int v) : value(v) {}
    int value;
};

int compareNumbers(const KTObject* a, const KTObject* b, bool reverse) {
    const int x = static_cast<const Number*>(a)->value;
    const int y = static_cast<const Number*>(b)->value;
    if (reverse)
        return x < y ? 1 : (x > y ? -1 : 0); // reverse flag flips the order for the test
    return x < y ? -1 : (x > y ? 1 : 0);
}

int compareNumbersPlain(const KTObject* a, const KTObject* b, bool) {
    const int x = static_cast<const Number*>(a)->value;
    const int y = static_cast<const Number*>(b)->value;
    return x < y ? -1 : (x > y ? 1 : 0);
}

int valueOf(const KTObject* o) {
    return o ? static_cast<const Number*>(o)->value : -1;
}

std::vector<int> values(const KTAATree& tree) {
    std::vector<int> out;
    for (KTObject* o : tree)
        out.push_back(valueOf(o));
    return out;
}

// Checks the AA rules and the parent links of every node; returns the node count.
uint32_t checkSubtree(const KTAATreeNode* node, const KTAATreeNode* parent) {
    if (!node)
        return 0;
    EXPECT_EQ(node->parent(), parent);
    const uint32_t level = node->level();
    EXPECT_GE(level, 1u);
    EXPECT_EQ(KTAATreeNode::levelOf(node->left()) + 1, level) << "left child one level down";
    const uint32_t rightLevel = KTAATreeNode::levelOf(node->right());
    EXPECT_TRUE(rightLevel == level || rightLevel + 1 == level) << "right child level";
    if (node->right()) {
        EXPECT_LT(KTAATreeNode::levelOf(node->right()->right()), level)
            << "right grandchild below grandparent";
    }
    if (level > 1) {
        EXPECT_NE(node->left(), nullptr);
        EXPECT_NE(node->right(), nullptr);
    }
    return 1 + checkSubtree(node->left(), node) + checkSubtree(node->right(), node);
}

class Tree : public KTMutableAATree {
public:
    Tree() { setComparatorFunction(compareNumbersPlain); }
    void add(int v) { addObject(std::make_shared<Number>(v)); }
    // Removal by an equal value, not by identity.
    void remove(int v) {
        Number probe(v);
        removeObject(&probe);
    }
};

TEST(AATree, EmptyTreeAnswersNothing) {
    Tree tree;
    Number probe(5);
    EXPECT_EQ(tree.count(), 0u);
    EXPECT_EQ(tree.firstObject(), nullptr);
    EXPECT_EQ(tree.lastObject(), nullptr);
    EXPECT_EQ(tree.objectClosestToObject(&probe, compareNumbersPlain, false), nullptr);
    EXPECT_EQ(tree.objectClosestToObject(&probe, compareNumbersPlain, true), nullptr);
    EXPECT_TRUE(tree.objectEnumerator().allObjects().isEmpty());
    EXPECT_TRUE(tree.objectEnumeratorWithEnclosingObject(&probe).allObjects().isEmpty());
    tree.remove(5);
    EXPECT_EQ(tree.count(), 0u);
}

TEST(AATree, RandomInsertionsAndRemovalsMatchStdSet) {
    std::mt19937 random(20261211);
    std::uniform_int_distribution<int> value(0, 1500);
    std::bernoulli_distribution insert(0.55);
    Tree tree;
    std::set<int> reference;
    for (int step = 0; step < 6000; ++step) {
        const int v = value(random);
        if (insert(random)) {
            tree.add(v);
            reference.insert(v);
        } else {
            tree.remove(v);
            reference.erase(v);
        }
        ASSERT_EQ(tree.count(), reference.size()) << "step " << step;
        ASSERT_EQ(checkSubtree(tree.root(), nullptr), reference.size()) << "step " << step;
        ASSERT_EQ(values(tree), std::vector<int>(reference.begin(), reference.end()))
            << "step " << step;
        if (::testing::Test::HasFailure())
            FAIL() << "tree invalid after step " << step;
    }
    // Drain completely, checking as we go.
    while (!reference.empty()) {
        const int v = *std::next(reference.begin(), reference.size() / 2);
        tree.remove(v);
        reference.erase(v);
        ASSERT_EQ(checkSubtree(tree.root(), nullptr), reference.size());
        ASSERT_EQ(values(tree), std::vector<int>(reference.begin(), reference.end()));
    }
    EXPECT_EQ(tree.root(), nullptr);
}

TEST(AATree, EqualElementReplacesHeldOneWithoutCounting) {
    Tree tree;
    for (int v : {1, 2, 3})
        tree.add(v);
    auto replacement = std::make_shared<Number>(2);
    tree.addObject(replacement);
    EXPECT_EQ(tree.count(), 3u);
    Number probe(2);
    EXPECT_EQ(tree.objectClosestToObject(&probe, compareNumbersPlain, false), replacement.get());
}

TEST(AATree, RemovingRootWithTwoChildrenKeepsOrderAndLevels) {
    Tree tree;
    for (int v = 1; v <= 15; ++v)
        tree.add(v);
    ASSERT_TRUE(tree.root()->left() && tree.root()->right());
    const int rootValue = valueOf(tree.root()->object());
    tree.remove(rootValue);
    EXPECT_EQ(tree.count(), 14u);
    EXPECT_EQ(checkSubtree(tree.root(), nullptr), 14u);
    std::vector<int> expected;
    for (int v = 1; v <= 15; ++v)
        if (v != rootValue)
            expected.push_back(v);
    EXPECT_EQ(values(tree), expected);
}

// Elements that are tree nodes themselves, ordered by a comparator that never answers 0.
struct Item : KTAATreeNode {
    explicit Item(int k) : key(k) {}
    int key;
};

int compareItems(const KTObject* a, const KTObject* b, bool) {
    return static_cast<const Item*>(a)->key > static_cast<const Item*>(b)->key ? 1 : -1;
}

TEST(AATree, NodeElementsAreFoundForRemovalByIdentity) {
    KTMutableAATree tree;
    tree.setComparatorFunction(compareItems);
    std::vector<std::shared_ptr<Item>> items;
    for (int k = 0; k < 64; ++k) {
        items.push_back(std::make_shared<Item>(k * 10));
        tree.addObject(items.back());
    }
    EXPECT_EQ(tree.count(), 64u);
    // Remove every other item, including nodes that sit at the root with two children.
    for (int k = 0; k < 64; k += 2) {
        tree.removeObject(items[k].get());
        EXPECT_EQ(checkSubtree(tree.root(), nullptr), tree.count());
    }
    EXPECT_EQ(tree.count(), 32u);
    int expected = 10;
    for (KTObject* o : tree) {
        EXPECT_EQ(static_cast<Item*>(o)->key, expected);
        expected += 20;
    }
}

struct ClosestCase {
    int probe;
    bool reverse;
    int expected; // -1 for none
};

TEST(AATree, ClosestSearches) {
    Tree tree;
    for (int v : {10, 20, 30, 40})
        tree.add(v);
    const ClosestCase cases[] = {
        {20, false, 20}, {25, false, 20}, {5, false, -1}, {45, false, 40},
        {20, true, 20},  {25, true, 30},  {5, true, 10},  {45, true, -1},
    };
    for (const ClosestCase& c : cases) {
        Number probe(c.probe);
        // With reverse on, the comparator still compares plainly; the search flips sides.
        EXPECT_EQ(valueOf(tree.objectClosestToObject(&probe, compareNumbersPlain, c.reverse)),
                  c.expected)
            << "probe " << c.probe << " reverse " << c.reverse;
    }
}

struct EnclosingCase {
    int probe;
    std::vector<int> expected;
};

TEST(AATree, EnclosingEnumeratorCoversTheProbe) {
    Tree tree;
    for (int v : {10, 20, 30, 40})
        tree.add(v);
    const EnclosingCase cases[] = {
        {25, {20, 30}}, // between two elements
        {20, {20}},     // exact match on both sides
        {5, {10}},      // before the first: starts at the first
        {45, {40}},     // after the last: ends at the last
    };
    for (const EnclosingCase& c : cases) {
        Number probe(c.probe);
        std::vector<int> got;
        for (KTObject* o : tree.objectEnumeratorWithEnclosingObject(&probe).allObjects())
            got.push_back(valueOf(o));
        EXPECT_EQ(got, c.expected) << "probe " << c.probe;
    }
    std::vector<int> all;
    auto e = tree.objectEnumerator();
    while (KTObject* o = e.nextObject())
        all.push_back(valueOf(o));
    EXPECT_EQ(all, (std::vector<int>{10, 20, 30, 40}));
    EXPECT_EQ(e.nextObject(), nullptr);
    (void)compareNumbers;
}

TEST(AATree, ChildSettersKeepParentLinks) {
    auto parent = std::make_shared<KTAATreeNode>();
    auto a = std::make_shared<KTAATreeNode>();
    auto b = std::make_shared<KTAATreeNode>();
    parent->setLeft(a);
    EXPECT_EQ(a->parent(), parent.get());
    parent->setLeft(a); // same child again: nothing changes
    EXPECT_EQ(a->parent(), parent.get());
    parent->setLeft(b);
    EXPECT_EQ(a->parent(), nullptr);
    EXPECT_EQ(b->parent(), parent.get());
    EXPECT_EQ(a->level(), 1u);
    EXPECT_EQ(a->object(), a.get()); // a node without an element is its own element
}

} // namespace
