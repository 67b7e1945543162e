#pragma once

#include <memory>

// Root of everything the tree containers hold: elements are shared, so a node that is both a
// tree node and its own element (a layout frame) stays alive while any node refers to it.
class KTObject : public std::enable_shared_from_this<KTObject> {
public:
    KTObject() = default;
    KTObject(const KTObject&) = delete;
    KTObject& operator=(const KTObject&) = delete;
    virtual ~KTObject() = default;
};

using KTObjectRef = std::shared_ptr<KTObject>;

// A holder of one element. Reading the element of a node that was never given one yields the
// node itself, so a subclass can be stored in a tree as its own element.
class KTNode : public KTObject {
public:
    KTNode() = default;
    explicit KTNode(KTObjectRef object) : object_(std::move(object)) {}

    static std::shared_ptr<KTNode> nodeWithObject(KTObjectRef object) {
        return std::make_shared<KTNode>(std::move(object));
    }

    KTObject* object() const { return object_ ? object_.get() : const_cast<KTNode*>(this); }
    // The element as a shared reference (the node itself when it holds none).
    KTObjectRef objectRef() { return object_ ? object_ : shared_from_this(); }
    void setObject(KTObjectRef object) { object_ = std::move(object); }

private:
    KTObjectRef object_;
};
