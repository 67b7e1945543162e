#pragma once

#include <QString>

#include <functional>
#include <vector>

// A stack of undoable steps. Registering while undoing records onto the redo stack, and
// registering while redoing records onto the undo stack, so an action that registers its own
// inverse can be undone and redone without end. Registrations between beginUndoGrouping and
// endUndoGrouping form one step; a registration outside any group is a step of its own.
class KTUndoManager {
public:
    using Action = std::function<void()>;

    void registerUndo(Action action);
    void beginUndoGrouping();
    void endUndoGrouping();

    bool canUndo() const { return !undoStack_.empty(); }
    bool canRedo() const { return !redoStack_.empty(); }
    void undo();
    void redo();
    bool isUndoing() const { return undoing_; }
    bool isRedoing() const { return redoing_; }

    size_t undoCount() const { return undoStack_.size(); }
    size_t redoCount() const { return redoStack_.size(); }
    void removeAllActions();

private:
    using Group = std::vector<Action>;
    std::vector<Group>& targetStack() { return undoing_ ? redoStack_ : undoStack_; }
    static void run(Group group);

    std::vector<Group> undoStack_;
    std::vector<Group> redoStack_;
    Group openGroup_;
    int groupDepth_ = 0;
    bool undoing_ = false;
    bool redoing_ = false;
};
