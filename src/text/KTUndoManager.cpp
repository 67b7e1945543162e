#include "text/KTUndoManager.h"

#include <utility>

void KTUndoManager::registerUndo(Action action) {
    if (!action)
        return;
    if (groupDepth_ > 0) {
        openGroup_.push_back(std::move(action));
        return;
    }
    // A new step made by the user (not by undo or redo) makes the redo history meaningless.
    if (!undoing_ && !redoing_)
        redoStack_.clear();
    targetStack().push_back(Group{std::move(action)});
}

void KTUndoManager::beginUndoGrouping() {
    ++groupDepth_;
}

void KTUndoManager::endUndoGrouping() {
    if (groupDepth_ == 0)
        return;
    if (--groupDepth_ > 0 || openGroup_.empty())
        return;
    if (!undoing_ && !redoing_)
        redoStack_.clear();
    targetStack().push_back(std::exchange(openGroup_, {}));
}

void KTUndoManager::run(Group group) {
    // Inverses were recorded in the order of the edits: undo them last first.
    for (auto it = group.rbegin(); it != group.rend(); ++it)
        (*it)();
}

void KTUndoManager::undo() {
    if (undoStack_.empty() || undoing_ || redoing_)
        return;
    Group group = std::move(undoStack_.back());
    undoStack_.pop_back();
    undoing_ = true;
    beginUndoGrouping();
    run(std::move(group));
    endUndoGrouping();
    undoing_ = false;
}

void KTUndoManager::redo() {
    if (redoStack_.empty() || undoing_ || redoing_)
        return;
    Group group = std::move(redoStack_.back());
    redoStack_.pop_back();
    redoing_ = true;
    beginUndoGrouping();
    run(std::move(group));
    endUndoGrouping();
    redoing_ = false;
}

void KTUndoManager::removeAllActions() {
    undoStack_.clear();
    redoStack_.clear();
    openGroup_.clear();
    groupDepth_ = 0;
}
