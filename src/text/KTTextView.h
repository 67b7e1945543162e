#pragma once

#include "core/Range.h"
#include "text/KTEditMenu.h"
#include "text/KTFindIndicator.h"
#include "text/KTTextCaret.h"
#include "text/KTTextOverlayView.h"
#include "text/KTTextRange.h"
#include "text/KTTextSelectionHandle.h"
#include "text/KTTextStorage.h"
#include "text/KTUndoManager.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QElapsedTimer>
#include <QFont>
#include <QList>
#include <QPixmap>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <QVariantMap>

#include <memory>
#include <optional>

class KTLayoutManager;
class KTTextContainer;
class KTTextView;
class QTimer;
class QVariantAnimation;

// What the owner of a text view hears from it and may decide. Every operation is optional: the
// defaults give the answer used when a delegate does not care.
class KTTextViewDelegate {
public:
    virtual ~KTTextViewDelegate() = default;
    virtual bool textViewShouldBeginEditing(KTTextView*) { return true; }
    virtual bool textViewShouldEndEditing(KTTextView*) { return true; }
    virtual void textViewDidBeginEditing(KTTextView*) {}
    virtual void textViewDidEndEditing(KTTextView*) {}
    virtual bool textViewShouldChangeTextInRange(KTTextView*, NSRange, const QString&) {
        return true;
    }
    virtual void textViewDidChange(KTTextView*) {}
    virtual void textViewDidChangeSelection(KTTextView*) {}

    // Scrolling.
    virtual void scrollViewDidScroll(KTTextView*) {}
    virtual void scrollViewWillBeginDragging(KTTextView*) {}
    virtual void scrollViewDidEndDragging(KTTextView*, bool /*willDecelerate*/) {}
    virtual void scrollViewDidEndDecelerating(KTTextView*) {}
    virtual void scrollViewDidScrollToTop(KTTextView*) {}
    virtual bool scrollViewShouldScrollToTop(KTTextView*) { return true; }
};

// How the keyboard should behave for this view.
struct KTTextInputTraits {
    int32_t autocapitalizationType = 0; // none
    int32_t autocorrectionType = 1;     // no
    bool enablesReturnKeyAutomatically = false;
    int32_t keyboardAppearance = 0;
    int32_t keyboardType = 0;
    int32_t returnKeyType = 0;
    bool secureTextEntry = false;
};

// One touch as the editing actions see it.
struct KTTouch {
    QPointF locationInView;   // content coordinates
    QPointF locationInWindow; // the window's coordinates
    int tapCount = 1;
};

// Autoscroll directions, as bits.
inline constexpr uint32_t KTAutoScrollUp = 1;
inline constexpr uint32_t KTAutoScrollLeft = 2;
inline constexpr uint32_t KTAutoScrollDown = 4;
inline constexpr uint32_t KTAutoScrollRight = 8;

// The scrolling editing view: owns one text store, one layout manager and one text container,
// draws the laid-out frames of its visible rectangle, keeps a selection and takes text from the
// keyboard and input methods. Every edit (typing, the edit menu, undo, subclasses) goes through
// one replacement routine that asks the delegate, records the undo step, changes the store,
// moves the selection and tells the delegate.
//
// Content coordinates have their origin at the top left of the text; `bounds()` is the visible
// part of them. The caret, the selection and its handles are small views over the text, so
// moving them never lays out or redraws text: the drawn text is kept until it changes or
// scrolls.
class KTTextView : public QAbstractScrollArea, public KTEditMenuResponder {
    Q_OBJECT
public:
    explicit KTTextView(QWidget* parent = nullptr);
    ~KTTextView() override;

    KTTextStorage* textStorage() const { return textStorage_.get(); }
    KTLayoutManager* layoutManager() const { return layoutManager_.get(); }
    KTTextContainer* textContainer() const { return textContainer_; }
    // Called by the container when it is given this view.
    void setTextContainer(KTTextContainer* textContainer) { textContainer_ = textContainer; }

    KTTextViewDelegate* delegate() const { return delegate_; }
    void setDelegate(KTTextViewDelegate* delegate) { delegate_ = delegate; }
    KTUndoManager* undoManager() { return &undoManager_; }

    // --- Text and attributes

    // The whole text. Setting it replaces the store's content in one step, carrying the
    // attributes of the first character (or, for an empty store, the typing attributes). It is
    // not an edit: no delegate question, no undo step, no change notice.
    QString text() const;
    void setText(const QString& text);
    void setString(const QString& string) { setText(string); }

    // The store's font (hides QWidget::font on purpose: the text's font is the view's font).
    QFont font() const;
    void setFont(const QFont& font);

    // The stored colour for an empty store, otherwise the colour of the first character.
    // Setting adds it over the whole text and into the typing attributes; an invalid colour
    // removes the attribute from both.
    QColor textColor() const;
    void setTextColor(const QColor& color);

    QColor backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(const QColor& color);

    // The attributes new text gets where it has no neighbour to take them from (index 0).
    KTTextAttributes typingAttributes();
    void setTypingAttributes(const KTTextAttributes& attributes) { typingAttributes_ = attributes; }

    // Straight to the store: no delegate, undo or selection handling.
    void replaceCharactersInRange(NSRange range, const QString& string);

    // --- The edit routine and its entry points

    void _replaceRange(const KTTextRange& range, const QString& text, bool isUndo);
    void replaceRange(const KTTextRange& range, const QString& text) {
        _replaceRange(range, text, false);
    }
    // Subclasses add their own typing rules here; every typed string and committed composition
    // comes through it.
    virtual void insertText(const QString& text);
    // Deletes the selection, or the whole character before the caret.
    void deleteBackward();
    // Deletes the selection, or the whole character after the caret.
    void deleteForward();
    bool shouldChangeTextInRange(NSRange range, const QString& replacementString);
    // Runs after every edit of the routine and every change of composed text.
    virtual void didChangeText();

    // --- Selection

    NSRange selectedRange() const;
    void setSelectedRange(NSRange range) { setSelectedRange(range, 1, false); }
    void setSelectedRange(NSRange range, int affinity, bool stillSelecting);
    QList<NSRange> selectedRanges() const { return selectedRanges_; }
    void setSelectedRanges(const QList<NSRange>& ranges, int affinity, bool stillSelecting);
    std::optional<KTTextRange> selectedTextRange() const;
    void setSelectedTextRange(const std::optional<KTTextRange>& range);

    void scrollRangeToVisible(NSRange range) { scrollRangeToVisible(range, true); }
    void scrollRangeToVisible(NSRange range, bool animated);
    // Scrolls as little as needed to show the rectangle (content coordinates).
    void scrollRectToVisible(const QRectF& rect, bool animated);

    // --- Text input: positions and geometry

    KTTextPosition beginningOfDocument() const { return {0}; }
    KTTextPosition endOfDocument() const;
    KTTextRange textRangeFromPosition(KTTextPosition from, KTTextPosition to) const;
    std::optional<KTTextPosition> positionFromPosition(KTTextPosition position,
                                                       int32_t offset) const;
    std::optional<KTTextPosition>
    positionFromPosition(KTTextPosition position, KTTextLayoutDirection direction, int32_t offset);
    int comparePosition(KTTextPosition position, KTTextPosition other) const;
    int32_t offsetFromPosition(KTTextPosition from, KTTextPosition to) const;
    QString textInRange(const KTTextRange& range) const;
    bool hasText() const;

    std::optional<QRectF> firstRectForRange(const KTTextRange& range);
    // Width 2: the caret's own rectangle.
    QRectF caretRectForPosition(KTTextPosition position);
    KTTextPosition closestPositionToPoint(const QPointF& point);
    KTTextPosition closestPositionToPoint(const QPointF& point, const KTTextRange& range);
    KTTextRange characterRangeAtPoint(const QPointF& point);
    uint32_t characterIndexForInsertionAtPoint(const QPointF& point);
    KTTextAttributes textStylingAtPosition(KTTextPosition position,
                                           KTTextStorageDirection direction) const;
    QWidget* textInputView() { return this; }

    // The word that holds (forward: starts at or runs over; backward: ends at or runs over)
    // the position, as the platform's word boundaries give it; none between words.
    std::optional<KTTextRange> rangeEnclosingPosition(KTTextPosition position,
                                                      KTTextStorageDirection direction) const;
    // Whole characters (grapheme clusters): the boundary before or after an index.
    uint32_t previousCharacterBoundary(uint32_t index) const;
    uint32_t nextCharacterBoundary(uint32_t index) const;

    // --- Marked text (input-method composition)

    std::optional<KTTextRange> markedTextRange() const { return markedTextRange_; }
    QVariantMap markedTextStyle() const { return markedTextStyle_; }
    void setMarkedTextStyle(const QVariantMap& style) { markedTextStyle_ = style; }
    void setMarkedText(const QString& markedText, NSRange selectedRange);
    // Ends the composition, keeping the composed text as one edit.
    void unmarkText();
    void setMarkedTextAttributes(const KTTextAttributes& attributes);
    std::optional<KTTextAttributes> markedTextAttributes() const { return typingAttributes_; }

    // --- Edit menu actions

    bool canPerformAction(KTEditAction action) override;
    void performEditAction(KTEditAction action) override;
    void copy();
    void cut();
    void paste();
    void deleteAction() { deleteBackward(); }
    void select();
    void selectAll();

    // --- Responder

    bool isFirstResponder() const { return firstResponder_; }
    bool canBecomeFirstResponder();
    bool becomeFirstResponder();
    bool canResignFirstResponder();
    bool resignFirstResponder();

    // --- Geometry

    QRectF frame() const { return QRectF(geometry()); }
    QRectF bounds() const;
    QPointF contentOffset() const;
    void setContentOffset(const QPointF& offset) { setContentOffset(offset, false); }
    void setContentOffset(const QPointF& offset, bool animated);
    QSizeF contentSize() const { return contentSize_; }
    void setContentSize(const QSizeF& size);
    QSizeF textContainerInset() const { return textContainerInset_; }
    void setTextContainerInset(const QSizeF& inset) { textContainerInset_ = inset; }
    QPointF textContainerOrigin() const;
    QSizeF minSize() const { return minSize_; }
    void setMinSize(const QSizeF& size) { minSize_ = size; }
    QSizeF maxSize() const { return maxSize_; }
    void setMaxSize(const QSizeF& size) { maxSize_ = size; }
    // Content coordinates to the window's and back.
    QPointF convertPointToWindow(const QPointF& point) const;
    QPointF convertPointFromWindow(const QPointF& point) const;

    bool isVerticallyResizable() const { return verticallyResizable_; }
    void setVerticallyResizable(bool resizable) { verticallyResizable_ = resizable; }
    bool isHorizontallyResizable() const { return horizontallyResizable_; }
    void setHorizontallyResizable(bool resizable) { horizontallyResizable_ = resizable; }

    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool enabled) { scrollEnabled_ = enabled; }
    // Scrolls to the top, as a tap on the status bar does, when the delegate agrees.
    void scrollToTop();

    // Asked by the layout manager after each layout.
    QSizeF sizeThatFits(const QSizeF& size) const;
    void sizeToFit();

    // Marks the text for drawing again (the kept drawing is dropped).
    void setNeedsDisplay();
    // Draws the visible rectangle (content coordinates) with the painter; `rect` is ignored
    // as the view always draws what is visible.
    virtual void drawRect(const QRectF& rect, QPainter* painter);

    // Rebuilds caret, selection views, handles and marked-text outline from the selection.
    virtual void updateInsertionPointStateAndRestartTimer(bool restartFlag);
    virtual void flashScrollIndicators();

    KTTextInputTraits& textInputTraits() { return traits_; }
    QWidget* inputAccessoryView() const { return inputAccessoryView_; }
    void setInputAccessoryView(QWidget* view) { inputAccessoryView_ = view; }

    // --- Touch selection, caret and autoscroll

    KTTextCaret* caret() const { return caret_; }
    KTTextSelectionHandle* selectionHandleStart() const { return selectionHandleStart_; }
    KTTextSelectionHandle* selectionHandleEnd() const { return selectionHandleEnd_; }
    KTTextOverlayView* selectionFirstLineView() const { return _selectionFirstLine; }
    KTTextOverlayView* selectionRangeView() const { return _selectionRange; }
    KTTextOverlayView* selectionLastLineView() const { return _selectionLastLine; }
    KTTextOverlayView* markedTextView() const { return _markedTextView; }
    bool isDragCaretSelectionActive() const { return _dragCaretSelectionActive; }
    uint32_t dragSelectionActive() const { return _dragSelectionActive; }
    std::optional<KTTextRange> selectedWord() const { return _selectedWord; }
    std::optional<KTTextPosition> lastPosition() const { return _lastPosition; }

    void touchesBegan(const KTTouch& touch);
    void touchesMoved(const KTTouch& touch);
    void touchesEnded(const KTTouch& touch);
    void touchesCancelled(const KTTouch& touch);

    void _startSingleTapDelayEditingAction(const KTTouch& touch);
    void _startDoubleTapEditingAction(const KTTouch& touch);
    void _startDoubleTapDelayEditingAction(const KTTouch& touch);
    void _moveEditingAction(const KTTouch& touch);
    void _endEditingAction(const KTTouch& touch);
    void _placeSingleTapCaret(const KTTouch& touch);
    void _highlightWordAtPosition(KTTextPosition position);

    void _showCaretLoupe(const KTTouch& touch);
    void _moveCaretLoupe(const KTTouch& touch);
    void _hideCaretLoupe(const KTTouch& touch);
    void _showSelectionLoupe(const KTTouch& touch);
    void _moveSelectionLoupe(const KTTouch& touch);
    void _hideSelectionLoupe(const KTTouch& touch);

    void _showMenu();
    void _hideMenu();

    uint32_t _autoScrollDirectionForPoint(const QPointF& point) const;
    void _updateAutoScrollDirectionForPoint(const QPointF& point);
    void _autoScrollInDirection(uint32_t direction);
    void _autoScroll();
    void _stopAutoScrolling();
    void _stopAutoScroll();
    bool isAutoScrolling() const;
    uint32_t currentAutoScrollDirection() const { return _currentAutoScrollDirection; }
    qreal autoScrollHitSize() const { return _autoScrollHitSize; }
    qreal minimumScrollSpeed() const { return _minimumScrollSpeed; }
    qreal maximumScrollSpeed() const { return _maximumScrollSpeed; }

    // The edit routine on a keystroke's behalf, for key events from any source.
    bool handleKeyPress(QKeyEvent* event);

    // Flashes the characters of range over the text, replacing this view's previous indicator.
    void showFindIndicatorForRange(NSRange range);
    KTFindIndicator* findIndicator() const { return findIndicator_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    QPointer<KTFindIndicator> findIndicator_;
    struct TouchState {
        bool active = false;
        QPointF startInViewport;
        QPointF lastInViewport;
        int tapCount = 1;
        bool moved = false;
        bool panning = false;
    };

    KTTextAttributes defaultAttributes() const;
    void updateScrollBars();
    void updateOverlayPositions();
    void removeSelectionViews();
    void removeHandles();
    void removeCaret();
    KTTextOverlayView* makeSelectionView();
    KTTouch touchAt(const QPointF& viewportPoint) const;
    int tapCountForTouchAt(const QPointF& viewportPoint);
    void handlePointerPress(const QPointF& viewportPoint, int tapCount);
    void handlePointerMove(const QPointF& viewportPoint);
    void handlePointerRelease(const QPointF& viewportPoint);
    void handlePointerCancel();
    QRectF visibleRectInWindow() const;
    // Moves the dragged end of the selection to P with the handle rules (the moved end never
    // passes the other one: at least one whole character stays selected).
    void dragSelectionEndTo(uint32_t position);
    void commitComposition(const QString& commitString);
    void notifyTextChanged();
    void inputMethodUpdate(Qt::InputMethodQueries queries) const;
    void moveCaret(uint32_t position, bool extend);
    uint32_t selectionAnchor() const;
    uint32_t selectionActiveEnd() const;

    std::unique_ptr<KTTextStorage> textStorage_;
    std::unique_ptr<KTLayoutManager> layoutManager_;
    std::unique_ptr<KTTextContainer> ownedTextContainer_;
    KTTextContainer* textContainer_ = nullptr;
    KTTextViewDelegate* delegate_ = nullptr;
    KTUndoManager undoManager_;

    QColor textColor_;
    QColor backgroundColor_ = Qt::white;
    bool verticallyResizable_ = true;
    bool horizontallyResizable_ = false;
    QSizeF minSize_{0, 0};
    QSizeF maxSize_;
    QSizeF textContainerInset_{0, 0};
    QSizeF contentSize_{0, 0};
    qreal bottomContentInset_ = 32;
    QList<NSRange> selectedRanges_{NSMakeRange(NSNotFound, 0)};
    std::optional<KTTextAttributes> typingAttributes_;
    KTTextInputTraits traits_;
    QPointer<QWidget> inputAccessoryView_;

    std::optional<KTTextRange> markedTextRange_;
    QVariantMap markedTextStyle_;
    // What the composition replaced, restored when it ends.
    NSRange compositionRange_{NSNotFound, 0};
    QString compositionReplacedText_;

    bool firstResponder_ = false;
    bool scrollEnabled_ = true;

    // Views of the caret and the selection.
    QPointer<KTTextCaret> caret_;
    QPointer<KTTextSelectionHandle> selectionHandleStart_;
    QPointer<KTTextSelectionHandle> selectionHandleEnd_;
    QPointer<KTTextOverlayView> _selectionFirstLine;
    QPointer<KTTextOverlayView> _selectionLastLine;
    QPointer<KTTextOverlayView> _selectionRange;
    QPointer<KTTextOverlayView> _markedTextView;

    // Touch, drag and autoscroll state.
    QTimer* _autoScrollTimer = nullptr;
    uint32_t _currentAutoScrollDirection = 0;
    qreal _minimumScrollSpeed = 16;
    qreal _maximumScrollSpeed = 64;
    qreal _autoScrollHitSize = 32;
    uint32_t _dragSelectionActive = 0;
    bool _dragCaretSelectionActive = false;
    std::optional<KTTextRange> _selectedWord;
    std::optional<KTTextPosition> _lastPosition;
    QTimer* longPressTimer_ = nullptr;
    QTimer* selectionLoupeTimer_ = nullptr;
    QTimer* menuTimer_ = nullptr;
    TouchState touch_;
    QElapsedTimer lastTapClock_;
    QPointF lastTapPoint_;
    int lastTapCount_ = 0;
    int activeTouchId_ = -1;
    // Keyboard selection: the end that stays put while Shift extends the other.
    uint32_t keyboardAnchor_ = NSNotFound;

    QVariantAnimation* scrollAnimation_ = nullptr;

    // The drawn text of the visible rectangle, kept until the text changes or scrolls.
    QPixmap textCache_;
    QPointF textCacheOffset_;
    bool textCacheValid_ = false;
};
