#pragma once

#include <QSizeF>

#include <limits>

class KTLayoutManager;
class KTTextView;

// The largest finite float: a container this tall (or wide) never limits layout.
inline constexpr qreal KTTextContainerUnlimited = std::numeric_limits<float>::max();

// Gives the width that lines are typeset to, and links the layout manager to its text view.
// The text view owns its container, layout manager and store; the links here do not own.
class KTTextContainer {
public:
    explicit KTTextContainer(const QSizeF& containerSize = QSizeF())
        : containerSize_(containerSize) {}

    KTLayoutManager* layoutManager() const { return layoutManager_; }
    void setLayoutManager(KTLayoutManager* layoutManager) { layoutManager_ = layoutManager; }

    QSizeF containerSize() const { return containerSize_; }
    // A different size is stored and the layout manager relays out; an equal one does nothing.
    void setContainerSize(const QSizeF& containerSize);

    KTTextView* textView() const { return textView_; }
    // Stores the view and gives it this container.
    void setTextView(KTTextView* textView);

    bool widthTracksTextView() const { return widthTracksTextView_; }
    void setWidthTracksTextView(bool tracks) { widthTracksTextView_ = tracks; }
    bool heightTracksTextView() const { return heightTracksTextView_; }
    void setHeightTracksTextView(bool tracks) { heightTracksTextView_ = tracks; }

private:
    KTLayoutManager* layoutManager_ = nullptr;
    QSizeF containerSize_;
    KTTextView* textView_ = nullptr;
    bool widthTracksTextView_ = false;
    bool heightTracksTextView_ = false;
};
