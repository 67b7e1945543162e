#include "text/KTTextView.h"

#include "text/KTLayoutManager.h"
#include "text/KTLoupe.h"
#include "text/KTTextCaret.h"
#include "text/KTTextContainer.h"
#include "text/KTTextSelectionHandle.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethod>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextBoundaryFinder>
#include <QTimer>
#include <QTouchEvent>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int kLongPressDelay = 450;      // ms before a still touch becomes a caret drag
constexpr int kSelectionLoupeDelay = 150; // ms after a double tap before the loupe shows
constexpr int kMenuDelay = 500;           // ms after select / select all
constexpr qreal kHandleHitMargin = 22;    // a handle reacts this far around its frame
constexpr int kScrollAnimationDuration = 150;

const QColor kSelectionColor = QColor::fromRgbF(0, 0.384f, 0.69f, 0.21f);
const QColor kMarkedTextFill = QColor::fromRgbF(0, 0.384f, 0.69f, 0.1f);
const QColor kMarkedTextBorder = QColor::fromRgbF(0, 0.384f, 0.69f, 0.21f);

bool isLineTerminator(QChar c) {
    const char16_t u = c.unicode();
    return u == u'\n' || u == u'\r' || u == 0x85 || u == 0x2028 || u == 0x2029;
}

} // namespace

KTTextView::KTTextView(QWidget* parent) : QAbstractScrollArea(parent) {
    textStorage_ = std::make_unique<KTTextStorage>(QString());
    layoutManager_ = std::make_unique<KTLayoutManager>();
    ownedTextContainer_ =
        std::make_unique<KTTextContainer>(QSizeF(viewport()->width(), KTTextContainerUnlimited));
    textStorage_->addLayoutManager(layoutManager_.get());
    layoutManager_->addTextContainer(ownedTextContainer_.get());
    ownedTextContainer_->setTextView(this);
    ownedTextContainer_->setWidthTracksTextView(true);
    ownedTextContainer_->setHeightTracksTextView(false);
    maxSize_ = QSizeF(viewport()->width(), KTTextContainerUnlimited);

    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_AcceptTouchEvents);

    longPressTimer_ = new QTimer(this);
    longPressTimer_->setSingleShot(true);
    longPressTimer_->setInterval(kLongPressDelay);
    connect(longPressTimer_, &QTimer::timeout, this, [this] {
        if (touch_.active)
            _startSingleTapDelayEditingAction(touchAt(touch_.lastInViewport));
    });
    selectionLoupeTimer_ = new QTimer(this);
    selectionLoupeTimer_->setSingleShot(true);
    selectionLoupeTimer_->setInterval(kSelectionLoupeDelay);
    connect(selectionLoupeTimer_, &QTimer::timeout, this, [this] {
        if (touch_.active)
            _startDoubleTapDelayEditingAction(touchAt(touch_.lastInViewport));
    });
    menuTimer_ = new QTimer(this);
    menuTimer_->setSingleShot(true);
    menuTimer_->setInterval(kMenuDelay);
    connect(menuTimer_, &QTimer::timeout, this, &KTTextView::_showMenu);

    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                // Back in the foreground: the caret blinks again.
                if (state == Qt::ApplicationActive && firstResponder_ && caret_)
                    caret_->startBlinking();
            });
}

KTTextView::~KTTextView() {
    _stopAutoScroll();
    KTEditMenu* menu = KTEditMenu::sharedMenuController();
    if (menu->responder() == this)
        menu->setResponder(nullptr, nullptr);
}

// Text and attributes

QString KTTextView::text() const {
    return textStorage_->string();
}

KTTextAttributes KTTextView::defaultAttributes() const {
    KTTextAttributes attributes;
    attributes.font = textStorage_->ctFont();
    if (textColor_.isValid())
        attributes.foregroundColor = textColor_;
    return attributes;
}

void KTTextView::setText(const QString& text) {
    const KTTextAttributes attributes =
        textStorage_->length() > 0 ? textStorage_->attributesAtIndex(0) : typingAttributes();
    textStorage_->setAttributedString(text, attributes);
    // A selection past the new end would point at nothing.
    const NSRange selection = selectedRange();
    if (selection.location != NSNotFound && NSMaxRange(selection) > textStorage_->length()) {
        const uint32_t end = textStorage_->length();
        setSelectedRange(NSMakeRange(std::min(selection.location, end), 0), 1, true);
    } else {
        updateInsertionPointStateAndRestartTimer(false);
    }
}

QFont KTTextView::font() const {
    return textStorage_->font();
}

void KTTextView::setFont(const QFont& font) {
    textStorage_->setFont(font);
    if (typingAttributes_)
        typingAttributes_->font = textStorage_->ctFont();
    updateInsertionPointStateAndRestartTimer(false);
}

QColor KTTextView::textColor() const {
    if (textStorage_->length() == 0)
        return textColor_;
    return textStorage_->attributesAtIndex(0).foregroundColor.value_or(QColor());
}

void KTTextView::setTextColor(const QColor& color) {
    textColor_ = color;
    if (color.isValid()) {
        textStorage_->setForegroundColor(color);
        if (typingAttributes_)
            typingAttributes_->foregroundColor = color;
    } else {
        textStorage_->removeAttribute(kCTForegroundColorAttributeName,
                                      NSMakeRange(0, textStorage_->length()));
        if (typingAttributes_)
            typingAttributes_->foregroundColor.reset();
    }
}

void KTTextView::setBackgroundColor(const QColor& color) {
    backgroundColor_ = color;
    setNeedsDisplay();
}

KTTextAttributes KTTextView::typingAttributes() {
    if (!typingAttributes_ && textStorage_->length() > 0) {
        const uint32_t length = textStorage_->length();
        const NSRange selection = selectedRange();
        uint32_t index = selection.location;
        if (index >= length)
            index = length - 1;
        typingAttributes_ = textStorage_->attributesAtIndex(index);
    }
    if (!typingAttributes_)
        typingAttributes_ = defaultAttributes();
    return *typingAttributes_;
}

void KTTextView::replaceCharactersInRange(NSRange range, const QString& string) {
    textStorage_->replaceCharactersInRange(range, string);
}

// The edit routine

bool KTTextView::shouldChangeTextInRange(NSRange range, const QString& replacementString) {
    if (!delegate_)
        return true;
    if (!delegate_->textViewShouldBeginEditing(this))
        return false;
    return delegate_->textViewShouldChangeTextInRange(this, range, replacementString);
}

void KTTextView::_replaceRange(const KTTextRange& range, const QString& text, bool isUndo) {
    _hideMenu();
    // A range that reaches past the text is cut to it rather than corrupting the store.
    const uint32_t length = textStorage_->length();
    const uint32_t start = std::min(range.start().position, length);
    const uint32_t end = std::clamp(range.end().position, start, length);
    const NSRange r = NSMakeRange(start, end - start);
    if (!shouldChangeTextInRange(r, text))
        return;
    inputMethodUpdate(Qt::ImQueryInput);

    const QString replaced = textStorage_->substringWithRange(r);
    const auto insertedLength = static_cast<uint32_t>(text.size());
    undoManager_.beginUndoGrouping();
    undoManager_.registerUndo([this, location = r.location, insertedLength, replaced, isUndo] {
        _replaceRange(KTTextRange::fromRange(NSMakeRange(location, insertedLength)), replaced,
                      !isUndo);
    });
    undoManager_.endUndoGrouping();

    textStorage_->replaceCharactersInRange(r, text);

    NSRange selection;
    if (isUndo) {
        selection = NSMakeRange(r.location, insertedLength);
    } else {
        selection = NSMakeRange(r.location + insertedLength, 0);
        // At the very start there is no character before the new text to take attributes from.
        if (r.location == 0 && insertedLength > 0)
            textStorage_->setAttributes(typingAttributes(), NSMakeRange(0, insertedLength));
    }
    keyboardAnchor_ = NSNotFound;
    setSelectedTextRange(KTTextRange::fromRange(selection));
    inputMethodUpdate(Qt::ImQueryAll);
    if (delegate_)
        delegate_->textViewDidChange(this);
    didChangeText();
}

void KTTextView::insertText(const QString& text) {
    if (const std::optional<KTTextRange> selection = selectedTextRange())
        _replaceRange(*selection, text, false);
}

void KTTextView::deleteBackward() {
    const NSRange selection = selectedRange();
    if (selection.location == NSNotFound)
        return;
    if (selection.length == 0) {
        if (selection.location == 0)
            return;
        const uint32_t start = previousCharacterBoundary(selection.location);
        _replaceRange(KTTextRange({start}, {selection.location}), QString(), false);
        return;
    }
    _replaceRange(KTTextRange::fromRange(selection), QString(), false);
}

void KTTextView::deleteForward() {
    const NSRange selection = selectedRange();
    if (selection.location == NSNotFound)
        return;
    if (selection.length == 0) {
        if (selection.location >= textStorage_->length())
            return;
        const uint32_t end = nextCharacterBoundary(selection.location);
        _replaceRange(KTTextRange({selection.location}, {end}), QString(), false);
        return;
    }
    _replaceRange(KTTextRange::fromRange(selection), QString(), false);
}

void KTTextView::didChangeText() {}

void KTTextView::notifyTextChanged() {
    inputMethodUpdate(Qt::ImQueryAll);
    if (delegate_)
        delegate_->textViewDidChange(this);
    didChangeText();
}

// Selection

NSRange KTTextView::selectedRange() const {
    return selectedRanges_.isEmpty() ? NSMakeRange(NSNotFound, 0) : selectedRanges_.first();
}

void KTTextView::setSelectedRange(NSRange range, int affinity, bool stillSelecting) {
    setSelectedRanges({range}, affinity, stillSelecting);
}

void KTTextView::setSelectedRanges(const QList<NSRange>& ranges, int, bool stillSelecting) {
    inputMethodUpdate(Qt::ImQueryInput);
    selectedRanges_ = ranges.isEmpty() ? QList<NSRange>{NSMakeRange(NSNotFound, 0)} : ranges;
    const NSRange selection = selectedRange();
    if (!stillSelecting && selection.location != NSNotFound)
        scrollRangeToVisible(selection);
    inputMethodUpdate(Qt::ImQueryInput);
    updateInsertionPointStateAndRestartTimer(stillSelecting);
    if (delegate_)
        delegate_->textViewDidChangeSelection(this);
}

std::optional<KTTextRange> KTTextView::selectedTextRange() const {
    const NSRange selection = selectedRange();
    if (selection.location == NSNotFound)
        return std::nullopt;
    return KTTextRange::fromRange(selection);
}

void KTTextView::setSelectedTextRange(const std::optional<KTTextRange>& range) {
    setSelectedRange(range ? range->range() : NSMakeRange(NSNotFound, 0));
}

void KTTextView::scrollRangeToVisible(NSRange range, bool animated) {
    if (range.location == NSNotFound || range.location > textStorage_->length())
        return;
    std::optional<QRectF> rect = layoutManager_->boundingRectForGlyphRange(range, textContainer_);
    if (!rect)
        return;
    if (rect->width() == 0)
        rect->setWidth(2);
    scrollRectToVisible(*rect, animated);
}

void KTTextView::scrollRectToVisible(const QRectF& rect, bool animated) {
    const QRectF visible = bounds();
    QPointF offset = visible.topLeft();
    if (rect.bottom() > visible.bottom())
        offset.setY(rect.bottom() - visible.height());
    if (rect.top() < offset.y())
        offset.setY(rect.top());
    if (rect.right() > visible.right())
        offset.setX(rect.right() - visible.width());
    if (rect.left() < offset.x())
        offset.setX(rect.left());
    if (offset != visible.topLeft())
        setContentOffset(offset, animated);
}

// Text input: positions and geometry

KTTextPosition KTTextView::endOfDocument() const {
    return {textStorage_->length()};
}

KTTextRange KTTextView::textRangeFromPosition(KTTextPosition from, KTTextPosition to) const {
    return from.position <= to.position ? KTTextRange(from, to) : KTTextRange(to, from);
}

std::optional<KTTextPosition> KTTextView::positionFromPosition(KTTextPosition position,
                                                               int32_t offset) const {
    const int64_t result = static_cast<int64_t>(position.position) + offset;
    if (result < 0 || result > textStorage_->length())
        return std::nullopt;
    return KTTextPosition{static_cast<uint32_t>(result)};
}

std::optional<KTTextPosition> KTTextView::positionFromPosition(KTTextPosition position,
                                                               KTTextLayoutDirection direction,
                                                               int32_t offset) {
    switch (direction) {
    case KTTextLayoutDirection::Right:
        return positionFromPosition(position, offset);
    case KTTextLayoutDirection::Left:
        return positionFromPosition(position, -offset);
    case KTTextLayoutDirection::Up:
    case KTTextLayoutDirection::Down:
        break;
    }
    if (position.position > textStorage_->length())
        return std::nullopt;
    // Walk visual lines: step from the caret's top until the character under the point
    // changes, once per line.
    const QRectF caretRect = caretRectForPosition(position);
    const bool up = direction == KTTextLayoutDirection::Up;
    const qreal x = caretRect.right();
    qreal y = caretRect.top();
    const qreal step = up ? -1 : caretRect.height() + 1;
    const int patience = std::max(1, static_cast<int>(std::ceil(caretRect.height())));
    uint32_t current = position.position;
    int lines = 0;
    int steps = 0;
    const qreal limit = std::max(contentSize_.height(), bounds().bottom()) + caretRect.height();
    while (lines < offset && steps < patience) {
        y += step;
        ++steps;
        const uint32_t index = layoutManager_->glyphIndexForPoint(QPointF(x, y), textContainer_);
        if (index != current) {
            current = index;
            ++lines;
            steps = 0;
        }
        if (y < -caretRect.height() || y > limit)
            break;
    }
    if (current > textStorage_->length())
        return std::nullopt;
    return KTTextPosition{current};
}

int KTTextView::comparePosition(KTTextPosition position, KTTextPosition other) const {
    if (position.position < other.position)
        return -1;
    return position.position > other.position ? 1 : 0;
}

int32_t KTTextView::offsetFromPosition(KTTextPosition from, KTTextPosition to) const {
    return static_cast<int32_t>(static_cast<int64_t>(to.position) - from.position);
}

QString KTTextView::textInRange(const KTTextRange& range) const {
    const uint32_t length = textStorage_->length();
    const uint32_t start = std::min(range.start().position, length);
    const uint32_t end = std::clamp(range.end().position, start, length);
    return textStorage_->substringWithRange(NSMakeRange(start, end - start));
}

bool KTTextView::hasText() const {
    return textStorage_->length() > 0;
}

std::optional<QRectF> KTTextView::firstRectForRange(const KTTextRange& range) {
    if (range.end().position > textStorage_->length())
        return std::nullopt;
    uint32_t count = 0;
    const QRectF* rects = layoutManager_->rectArrayForCharacterRange(
        range.range(), NSMakeRange(NSNotFound, 0), textContainer_, &count);
    if (count == 0)
        return std::nullopt;
    return rects[0];
}

QRectF KTTextView::caretRectForPosition(KTTextPosition position) {
    const uint32_t index = std::min(position.position, textStorage_->length());
    std::optional<QRectF> rect = firstRectForRange(KTTextRange({index}, {index}));
    if (!rect) {
        const CTFontRef font = textStorage_->ctFont();
        rect = QRectF(textContainerOrigin(), QSizeF(0, font->ascent() + font->descent()));
    }
    rect->setWidth(2);
    return *rect;
}

KTTextPosition KTTextView::closestPositionToPoint(const QPointF& point) {
    return {layoutManager_->glyphIndexForPoint(point, textContainer_)};
}

KTTextPosition KTTextView::closestPositionToPoint(const QPointF&, const KTTextRange& range) {
    return range.start();
}

KTTextRange KTTextView::characterRangeAtPoint(const QPointF& point) {
    const KTTextPosition position = closestPositionToPoint(point);
    return KTTextRange(position, position);
}

uint32_t KTTextView::characterIndexForInsertionAtPoint(const QPointF& point) {
    return layoutManager_->glyphIndexForPoint(point, textContainer_);
}

KTTextAttributes KTTextView::textStylingAtPosition(KTTextPosition position,
                                                   KTTextStorageDirection direction) const {
    const uint32_t length = textStorage_->length();
    if (length == 0)
        return {};
    uint32_t index = position.position;
    if (direction == KTTextStorageDirection::Backward)
        index = index == 0 ? 0 : index - 1;
    index = std::min(index, length - 1);
    return textStorage_->attributesAtIndex(index);
}

std::optional<KTTextRange>
KTTextView::rangeEnclosingPosition(KTTextPosition position,
                                   KTTextStorageDirection direction) const {
    const uint32_t length = textStorage_->length();
    if (position.position > length || length == 0)
        return std::nullopt;
    // Words never cross lines: look at the position's line, or a window of it for long lines.
    constexpr uint32_t kWindow = 2048;
    NSRange line = textStorage_->lineRangeForRange(
        NSMakeRange(position.position == length ? position.position - 1 : position.position, 0));
    if (position.position == length)
        line = textStorage_->lineRangeForRange(NSMakeRange(length - 1, 0));
    uint32_t start = line.location;
    uint32_t end = NSMaxRange(line);
    if (position.position > start + kWindow)
        start = position.position - kWindow;
    if (end > position.position + kWindow)
        end = position.position + kWindow;
    const QString context = textStorage_->substringWithRange(NSMakeRange(start, end - start));
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, context);
    const qsizetype p = position.position - start;
    qsizetype previous = 0;
    finder.toStart();
    for (qsizetype boundary = finder.toNextBoundary(); boundary != -1;
         boundary = finder.toNextBoundary()) {
        const qsizetype wordStart = previous;
        previous = boundary;
        QTextBoundaryFinder probe(QTextBoundaryFinder::Word, context);
        probe.setPosition(wordStart);
        if (!(probe.boundaryReasons() & QTextBoundaryFinder::StartOfItem))
            continue;
        const bool holds = direction == KTTextStorageDirection::Forward
                               ? (p >= wordStart && p < boundary)
                               : (p > wordStart && p <= boundary);
        if (holds)
            return KTTextRange({start + static_cast<uint32_t>(wordStart)},
                               {start + static_cast<uint32_t>(boundary)});
        if (wordStart > p)
            break;
    }
    return std::nullopt;
}

uint32_t KTTextView::previousCharacterBoundary(uint32_t index) const {
    const uint32_t length = textStorage_->length();
    index = std::min(index, length);
    if (index == 0)
        return 0;
    for (uint32_t window = 32;; window *= 4) {
        const uint32_t start = index > window ? index - window : 0;
        const QString context = textStorage_->substringWithRange(NSMakeRange(start, index - start));
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, context);
        finder.setPosition(context.size());
        const qsizetype boundary = finder.toPreviousBoundary();
        // A boundary at the window's start may be the window's edge, not a real one.
        if ((boundary > 0 || start == 0) && boundary != -1)
            return start + static_cast<uint32_t>(boundary);
        if (start == 0)
            return 0;
    }
}

uint32_t KTTextView::nextCharacterBoundary(uint32_t index) const {
    const uint32_t length = textStorage_->length();
    if (index >= length)
        return length;
    for (uint32_t window = 32;; window *= 4) {
        const uint32_t end = std::min(length, index + window);
        const QString context = textStorage_->substringWithRange(NSMakeRange(index, end - index));
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, context);
        finder.setPosition(0);
        const qsizetype boundary = finder.toNextBoundary();
        if (boundary != -1 && (boundary < context.size() || end == length))
            return index + static_cast<uint32_t>(boundary);
        if (end == length)
            return length;
    }
}

// Marked text

void KTTextView::setMarkedText(const QString& markedText, NSRange selectedRangeInText) {
    const uint32_t length = textStorage_->length();
    NSRange replace;
    if (markedTextRange_) {
        replace = markedTextRange_->range();
    } else {
        replace = selectedRange();
        if (replace.location == NSNotFound)
            replace = NSMakeRange(length, 0);
        replace.location = std::min(replace.location, length);
        replace.length = std::min(replace.length, length - replace.location);
        // Remember what the composition covers so that ending it can make one edit of it.
        compositionRange_ = replace;
        compositionReplacedText_ = textStorage_->substringWithRange(replace);
    }
    if (markedText.isEmpty()) {
        textStorage_->replaceCharactersInRange(replace, QString());
        markedTextRange_.reset();
        if (_markedTextView)
            delete _markedTextView.data();
        setSelectedRange(NSMakeRange(replace.location, 0), 1, true);
        notifyTextChanged();
        return;
    }
    if (typingAttributes_)
        textStorage_->replaceCharactersInRange(replace, markedText, *typingAttributes_);
    else
        textStorage_->replaceCharactersInRange(replace, markedText);
    const auto markedLength = static_cast<uint32_t>(markedText.size());
    markedTextRange_ = KTTextRange::fromRange(NSMakeRange(replace.location, markedLength));
    const uint32_t inside = std::min(selectedRangeInText.location, markedLength);
    const uint32_t insideLength = std::min(selectedRangeInText.length, markedLength - inside);
    setSelectedRange(NSMakeRange(replace.location + inside, insideLength), 1, true);
    // Composed text is part of the document as soon as it shows: the owner must know.
    notifyTextChanged();
}

void KTTextView::commitComposition(const QString& commitString) {
    if (!markedTextRange_) {
        if (!commitString.isEmpty())
            insertText(commitString);
        return;
    }
    // Put back what was there before composing, then make the composed text one edit.
    const NSRange marked = markedTextRange_->range();
    textStorage_->replaceCharactersInRange(marked, compositionReplacedText_);
    markedTextRange_.reset();
    if (_markedTextView)
        delete _markedTextView.data();
    const NSRange original = compositionRange_;
    compositionRange_ = NSMakeRange(NSNotFound, 0);
    compositionReplacedText_.clear();
    selectedRanges_ = {original};
    // Nothing committed is a cancelled composition: the text stays as it was before it.
    const size_t steps = undoManager_.undoCount();
    if (!commitString.isEmpty())
        _replaceRange(KTTextRange::fromRange(original), commitString, false);
    if (undoManager_.undoCount() == steps) {
        // Cancelled or refused: the composed characters went away all the same.
        setSelectedRange(commitString.isEmpty() ? original : NSMakeRange(original.location, 0));
        notifyTextChanged();
    }
}

void KTTextView::unmarkText() {
    if (!markedTextRange_)
        return;
    commitComposition(textStorage_->substringWithRange(markedTextRange_->range()));
}

void KTTextView::setMarkedTextAttributes(const KTTextAttributes&) {
    qDebug("%s - Not yet implemented", Q_FUNC_INFO);
}

void KTTextView::inputMethodUpdate(Qt::InputMethodQueries queries) const {
    if (hasFocus())
        QGuiApplication::inputMethod()->update(queries);
}

void KTTextView::inputMethodEvent(QInputMethodEvent* event) {
    const QString commit = event->commitString();
    const QString preedit = event->preeditString();
    if (!markedTextRange_ && event->replacementLength() > 0) {
        // The input method replaces characters around the caret with the committed text.
        const NSRange selection = selectedRange();
        if (selection.location != NSNotFound) {
            const int64_t from =
                static_cast<int64_t>(selection.location) + event->replacementStart();
            const int64_t to = from + event->replacementLength();
            if (from >= 0 && to <= textStorage_->length())
                selectedRanges_ = {
                    NSMakeRange(static_cast<uint32_t>(from), static_cast<uint32_t>(to - from))};
        }
    }
    if (markedTextRange_ && (preedit.isEmpty() || !commit.isEmpty()))
        commitComposition(commit);
    else if (!commit.isEmpty())
        insertText(commit);
    if (!preedit.isEmpty()) {
        uint32_t cursor = static_cast<uint32_t>(preedit.size());
        for (const QInputMethodEvent::Attribute& attribute : event->attributes()) {
            if (attribute.type == QInputMethodEvent::Cursor)
                cursor = static_cast<uint32_t>(std::clamp<int>(attribute.start, 0, preedit.size()));
        }
        setMarkedText(preedit, NSMakeRange(cursor, 0));
    }
    event->accept();
}

QVariant KTTextView::inputMethodQuery(Qt::InputMethodQuery query) const {
    auto* self = const_cast<KTTextView*>(this);
    const NSRange selection = selectedRange();
    const bool hasSelection = selection.location != NSNotFound;
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImHints: {
        Qt::InputMethodHints hints = Qt::ImhMultiLine;
        if (traits_.autocapitalizationType == 0)
            hints |= Qt::ImhNoAutoUppercase;
        if (traits_.autocorrectionType == 1)
            hints |= Qt::ImhNoPredictiveText;
        if (traits_.secureTextEntry)
            hints |= Qt::ImhHiddenText | Qt::ImhSensitiveData;
        return QVariant::fromValue(hints);
    }
    case Qt::ImFont:
        return textStorage_->font();
    case Qt::ImCursorRectangle:
    case Qt::ImAnchorRectangle: {
        if (!hasSelection)
            return QRectF();
        const uint32_t index =
            query == Qt::ImCursorRectangle ? NSMaxRange(selection) : selection.location;
        const QRectF rect = self->caretRectForPosition({index});
        return rect.translated(-contentOffset() + QPointF(viewport()->pos()));
    }
    case Qt::ImSurroundingText:
    case Qt::ImCursorPosition:
    case Qt::ImAnchorPosition:
    case Qt::ImAbsolutePosition: {
        if (!hasSelection)
            return query == Qt::ImSurroundingText ? QVariant(QString()) : QVariant(0);
        const NSRange line = textStorage_->lineRangeForRange(selection);
        if (query == Qt::ImSurroundingText)
            return textStorage_->substringWithRange(line);
        if (query == Qt::ImAbsolutePosition)
            return static_cast<int>(NSMaxRange(selection));
        const uint32_t index =
            query == Qt::ImCursorPosition ? NSMaxRange(selection) : selection.location;
        return static_cast<int>(index - line.location);
    }
    case Qt::ImCurrentSelection:
        return hasSelection ? textStorage_->substringWithRange(selection) : QString();
    case Qt::ImMaximumTextLength:
        return QVariant();
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

// Edit menu actions

bool KTTextView::canPerformAction(KTEditAction action) {
    const NSRange selection = selectedRange();
    const bool selected = selection.location != NSNotFound && selection.length > 0;
    switch (action) {
    case KTEditAction::Copy:
    case KTEditAction::Cut:
        return selected;
    case KTEditAction::Paste: {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        return data && data->hasText();
    }
    case KTEditAction::Select:
    case KTEditAction::SelectAll:
        return hasText() && selection.length == 0;
    case KTEditAction::Delete:
        return false;
    }
    return false;
}

void KTTextView::performEditAction(KTEditAction action) {
    switch (action) {
    case KTEditAction::Copy:
        copy();
        break;
    case KTEditAction::Cut:
        cut();
        break;
    case KTEditAction::Paste:
        paste();
        break;
    case KTEditAction::Select:
        select();
        break;
    case KTEditAction::SelectAll:
        selectAll();
        break;
    case KTEditAction::Delete:
        deleteAction();
        break;
    }
}

void KTTextView::copy() {
    const NSRange selection = selectedRange();
    if (selection.location == NSNotFound || selection.length == 0)
        return;
    QGuiApplication::clipboard()->setText(textStorage_->substringWithRange(selection));
}

void KTTextView::cut() {
    const NSRange selection = selectedRange();
    if (selection.location == NSNotFound || selection.length == 0)
        return;
    copy();
    _replaceRange(KTTextRange::fromRange(selection), QString(), false);
}

void KTTextView::paste() {
    // Documents hold LF only (CR LF files are shown with LF and written back with CR LF), so a
    // pasted CR LF would come back as CR CR LF.
    QString text = QGuiApplication::clipboard()->text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (!text.isEmpty())
        insertText(text);
}

void KTTextView::select() {
    const NSRange selection = selectedRange();
    if (selection.location == NSNotFound)
        return;
    _highlightWordAtPosition({selection.location});
    menuTimer_->start();
}

void KTTextView::selectAll() {
    setSelectedRange(NSMakeRange(0, textStorage_->length()));
    menuTimer_->start();
}

// Responder

bool KTTextView::canBecomeFirstResponder() {
    return delegate_ ? delegate_->textViewShouldBeginEditing(this) : true;
}

bool KTTextView::becomeFirstResponder() {
    if (firstResponder_)
        return true;
    if (!canBecomeFirstResponder())
        return false;
    firstResponder_ = true;
    if (!hasFocus())
        setFocus(Qt::OtherFocusReason);
    _showMenu();
    if (selectionHandleStart_)
        selectionHandleStart_->show();
    if (selectionHandleEnd_)
        selectionHandleEnd_->show();
    if (caret_)
        caret_->startBlinking();
    if (delegate_)
        delegate_->textViewDidBeginEditing(this);
    return true;
}

bool KTTextView::canResignFirstResponder() {
    return delegate_ ? delegate_->textViewShouldEndEditing(this) : true;
}

bool KTTextView::resignFirstResponder() {
    if (!firstResponder_)
        return true;
    if (!canResignFirstResponder())
        return false;
    unmarkText();
    firstResponder_ = false;
    if (delegate_)
        delegate_->textViewDidEndEditing(this);
    KTLoupeController::sharedLoupeController()->setLoupeVisible(false, true);
    _stopAutoScroll();
    _hideMenu();
    menuTimer_->stop();
    setSelectedRange(NSMakeRange(NSNotFound, 0));
    if (hasFocus())
        clearFocus();
    return true;
}

void KTTextView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    if (!firstResponder_ && !becomeFirstResponder())
        clearFocus();
}

void KTTextView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    // Another window coming to the front, or a popup, leaves the editing as it is.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    if (firstResponder_)
        resignFirstResponder();
}

bool KTTextView::focusNextPrevChild(bool next) {
    // Tab is a character here.
    if (firstResponder_)
        return false;
    return QAbstractScrollArea::focusNextPrevChild(next);
}

// Geometry

QPointF KTTextView::contentOffset() const {
    return QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void KTTextView::setContentOffset(const QPointF& offset, bool animated) {
    if (scrollAnimation_) {
        scrollAnimation_->stop();
        scrollAnimation_->deleteLater();
        scrollAnimation_ = nullptr;
    }
    auto apply = [this](const QPointF& point) {
        horizontalScrollBar()->setValue(static_cast<int>(std::lround(point.x())));
        verticalScrollBar()->setValue(static_cast<int>(std::lround(point.y())));
    };
    if (!animated || !isVisible()) {
        apply(offset);
        return;
    }
    scrollAnimation_ = new QVariantAnimation(this);
    scrollAnimation_->setDuration(kScrollAnimationDuration);
    scrollAnimation_->setStartValue(contentOffset());
    scrollAnimation_->setEndValue(offset);
    scrollAnimation_->setEasingCurve(QEasingCurve::OutCubic);
    connect(scrollAnimation_, &QVariantAnimation::valueChanged, this,
            [apply](const QVariant& value) { apply(value.toPointF()); });
    scrollAnimation_->start();
}

QRectF KTTextView::bounds() const {
    return QRectF(contentOffset(), QSizeF(viewport()->size()));
}

QPointF KTTextView::textContainerOrigin() const {
    const QRectF b = bounds();
    return QPointF(b.x() + textContainerInset_.width(), b.y() + textContainerInset_.height());
}

QPointF KTTextView::convertPointToWindow(const QPointF& point) const {
    const QPointF inViewport = point - contentOffset();
    return QPointF(viewport()->mapTo(window(), QPoint(0, 0))) + inViewport;
}

QPointF KTTextView::convertPointFromWindow(const QPointF& point) const {
    return point - QPointF(viewport()->mapTo(window(), QPoint(0, 0))) + contentOffset();
}

void KTTextView::setContentSize(const QSizeF& size) {
    if (size == contentSize_)
        return;
    contentSize_ = size;
    updateScrollBars();
}

void KTTextView::updateScrollBars() {
    const QSize visible = viewport()->size();
    const qreal height = contentSize_.height() + bottomContentInset_;
    verticalScrollBar()->setPageStep(visible.height());
    verticalScrollBar()->setSingleStep(16);
    verticalScrollBar()->setRange(
        0, std::max(0, static_cast<int>(std::ceil(height)) - visible.height()));
    horizontalScrollBar()->setPageStep(visible.width());
    horizontalScrollBar()->setRange(
        0, std::max(0, static_cast<int>(std::ceil(contentSize_.width())) - visible.width()));
}

void KTTextView::scrollToTop() {
    if (delegate_ && !delegate_->scrollViewShouldScrollToTop(this))
        return;
    setContentOffset(QPointF(contentOffset().x(), 0), false);
    if (delegate_)
        delegate_->scrollViewDidScrollToTop(this);
    if (selectedRange().length > 0)
        _showMenu();
}

QSizeF KTTextView::sizeThatFits(const QSizeF& size) const {
    const QRectF used = layoutManager_->usedRectForTextContainer(textContainer_);
    return used.height() == 0 ? size : used.size();
}

void KTTextView::sizeToFit() {
    if (!verticallyResizable_ && !horizontallyResizable_)
        return;
    QSizeF fitting = sizeThatFits(QSizeF(viewport()->size()));
    if (textContainer_)
        fitting.setWidth(std::min(fitting.width(), textContainer_->containerSize().width()));
    setContentSize(fitting);
}

void KTTextView::setNeedsDisplay() {
    textCacheValid_ = false;
    viewport()->update();
}

void KTTextView::flashScrollIndicators() {}

// Caret and selection views

KTTextOverlayView* KTTextView::makeSelectionView() {
    auto* view = new KTTextOverlayView(viewport());
    view->setFillColor(kSelectionColor);
    return view;
}

void KTTextView::removeSelectionViews() {
    delete _selectionFirstLine.data();
    delete _selectionRange.data();
    delete _selectionLastLine.data();
}

void KTTextView::removeHandles() {
    delete selectionHandleStart_.data();
    delete selectionHandleEnd_.data();
}

void KTTextView::removeCaret() {
    delete caret_.data();
}

void KTTextView::updateInsertionPointStateAndRestartTimer(bool) {
    const NSRange selection = selectedRange();
    const uint32_t length = textStorage_->length();
    if (selection.location == NSNotFound || selection.location > length) {
        removeHandles();
        removeSelectionViews();
        removeCaret();
    } else if (selection.length == 0) {
        removeHandles();
        removeSelectionViews();
        if (!caret_) {
            caret_ = new KTTextCaret(viewport());
            caret_->setObjectName(QStringLiteral("KTTextCaret"));
        }
        caret_->updatePosition(contentOffset());
        caret_->setFrame(caretRectForPosition({selection.location}));
        caret_->startBlinking();
        caret_->show();
    } else {
        removeCaret();
        const QRectF a = caretRectForPosition({selection.location});
        const QRectF b = caretRectForPosition({std::min(NSMaxRange(selection), length)});
        const qreal contentWidth = std::max(contentSize_.width(), qreal(viewport()->width()));
        if (!_selectionFirstLine)
            _selectionFirstLine = makeSelectionView();
        if (std::ceil(a.top()) == std::ceil(b.top())) {
            _selectionFirstLine->setFrame(
                QRectF(a.x() + a.width(), a.y(), b.x() - a.width() - a.x(), a.height()));
            delete _selectionRange.data();
            delete _selectionLastLine.data();
        } else {
            if (!_selectionRange)
                _selectionRange = makeSelectionView();
            if (!_selectionLastLine)
                _selectionLastLine = makeSelectionView();
            const QRectF middle(0, a.bottom(), contentWidth, b.y() - a.bottom());
            _selectionFirstLine->setFrame(
                QRectF(a.x() + a.width(), a.y(), contentWidth - a.x() - a.width(), a.height()));
            _selectionLastLine->setFrame(QRectF(0, b.y(), b.x(), b.height()));
            if (middle.top() == _selectionFirstLine->frame().top() || middle.height() < 2)
                delete _selectionRange.data();
            else
                _selectionRange->setFrame(middle);
        }
        for (KTTextOverlayView* view : {_selectionFirstLine, _selectionRange, _selectionLastLine}) {
            if (view) {
                view->updatePosition(contentOffset());
                view->show();
            }
        }
        if (!selectionHandleStart_)
            selectionHandleStart_ =
                new KTTextSelectionHandle(a, KTTextSelectionHandle::Start, viewport());
        if (!selectionHandleEnd_)
            selectionHandleEnd_ =
                new KTTextSelectionHandle(b, KTTextSelectionHandle::End, viewport());
        selectionHandleStart_->updatePosition(contentOffset());
        selectionHandleEnd_->updatePosition(contentOffset());
        selectionHandleStart_->setCaretRect(a);
        selectionHandleEnd_->setCaretRect(b);
        selectionHandleStart_->show();
        selectionHandleEnd_->show();
        selectionHandleStart_->raise();
        selectionHandleEnd_->raise();
    }

    if (markedTextRange_ && !markedTextRange_->isEmpty() &&
        markedTextRange_->end().position <= length) {
        if (!_markedTextView) {
            _markedTextView = new KTTextOverlayView(viewport());
            _markedTextView->setFillColor(kMarkedTextFill);
            _markedTextView->setBorderColor(kMarkedTextBorder, 1);
        }
        const QRectF start = caretRectForPosition(markedTextRange_->start());
        const QRectF end = caretRectForPosition(markedTextRange_->end());
        _markedTextView->updatePosition(contentOffset());
        _markedTextView->setFrame(start.united(end));
        _markedTextView->show();
    } else if (_markedTextView) {
        delete _markedTextView.data();
    }
}

void KTTextView::updateOverlayPositions() {
    const QPointF offset = contentOffset();
    for (KTTextOverlayView* view :
         {static_cast<KTTextOverlayView*>(caret_.data()), _selectionFirstLine.data(),
          _selectionRange.data(), _selectionLastLine.data(), _markedTextView.data(),
          static_cast<KTTextOverlayView*>(selectionHandleStart_.data()),
          static_cast<KTTextOverlayView*>(selectionHandleEnd_.data())}) {
        if (view)
            view->updatePosition(offset);
    }
}

// Edit menu

void KTTextView::_showMenu() {
    const NSRange selection = selectedRange();
    if (selection.location == NSNotFound)
        return;
    QRectF target;
    if (selection.length > 0) {
        if (!_selectionFirstLine)
            return;
        const QRectF first = _selectionFirstLine->frame();
        const QRectF last = (_selectionLastLine && !_selectionLastLine->frame().isEmpty())
                                ? _selectionLastLine->frame()
                                : first;
        target = first.united(last);
    } else {
        if (!caret_)
            return;
        target = caret_->frame();
    }
    const QRectF visible = bounds();
    target = target.intersected(visible);
    if (target.isEmpty() &&
        !(target.width() == 0 && target.height() > 0 && visible.contains(target.topLeft())))
        return;
    KTEditMenu* menu = KTEditMenu::sharedMenuController();
    KTEditMenu::ArrowDirection direction = KTEditMenu::ArrowDirection::Default;
    constexpr qreal kRoom = 64;
    if (target.top() - visible.top() < kRoom) {
        if (visible.bottom() - target.bottom() >= kRoom) {
            direction = KTEditMenu::ArrowDirection::Up;
        } else {
            const QPointF center = target.center();
            target = QRectF(center.x() - 1, center.y() - 1, 2, 2);
        }
    }
    menu->setResponder(this, this);
    menu->setArrowDirection(direction);
    menu->setTargetRect(target.translated(-contentOffset()), viewport());
    menu->setMenuVisible(true, true);
}

void KTTextView::_hideMenu() {
    KTEditMenu* menu = KTEditMenu::sharedMenuController();
    if (menu->responder() == this || !menu->responder())
        menu->setMenuVisible(false, true);
}

// Touch handling

KTTouch KTTextView::touchAt(const QPointF& viewportPoint) const {
    KTTouch touch;
    touch.locationInView = viewportPoint + contentOffset();
    touch.locationInWindow = QPointF(viewport()->mapTo(window(), QPoint(0, 0))) + viewportPoint;
    touch.tapCount = touch_.tapCount;
    return touch;
}

int KTTextView::tapCountForTouchAt(const QPointF& viewportPoint) {
    const QStyleHints* hints = QGuiApplication::styleHints();
    const bool again = lastTapClock_.isValid() &&
                       lastTapClock_.elapsed() <= hints->mouseDoubleClickInterval() &&
                       QLineF(viewportPoint, lastTapPoint_).length() <=
                           std::max(hints->mouseDoubleClickDistance(), 24);
    return again ? std::min(lastTapCount_ + 1, 2) : 1;
}

void KTTextView::handlePointerPress(const QPointF& viewportPoint, int tapCount) {
    touch_ = TouchState{true, viewportPoint, viewportPoint, tapCount, false, false};
    touchesBegan(touchAt(viewportPoint));
}

void KTTextView::handlePointerMove(const QPointF& viewportPoint) {
    if (!touch_.active)
        return;
    const QPointF previous = touch_.lastInViewport;
    touch_.lastInViewport = viewportPoint;
    // A finger never stays perfectly still: small wobbles are not a move.
    if (!touch_.moved && !_dragCaretSelectionActive && _dragSelectionActive == 0 &&
        QLineF(viewportPoint, touch_.startInViewport).length() <
            QGuiApplication::styleHints()->startDragDistance())
        return;
    touch_.moved = true;
    const bool dragging = _dragCaretSelectionActive || _dragSelectionActive != 0;
    if (!dragging && scrollEnabled_) {
        longPressTimer_->stop();
        if (!touch_.panning) {
            touch_.panning = true;
            _hideMenu();
            if (delegate_)
                delegate_->scrollViewWillBeginDragging(this);
        }
        setContentOffset(contentOffset() - (viewportPoint - previous));
        return;
    }
    touchesMoved(touchAt(viewportPoint));
}

void KTTextView::handlePointerRelease(const QPointF& viewportPoint) {
    if (!touch_.active)
        return;
    touch_.lastInViewport = viewportPoint;
    if (touch_.panning) {
        // A pan is a scroll, not a tap.
        longPressTimer_->stop();
        touch_ = TouchState{};
        scrollEnabled_ = true;
        _dragCaretSelectionActive = false;
        _dragSelectionActive = 0;
        if (delegate_)
            delegate_->scrollViewDidEndDragging(this, false);
        if (selectedRange().length > 0)
            _showMenu();
        return;
    }
    const KTTouch touch = touchAt(viewportPoint);
    lastTapClock_.start();
    lastTapPoint_ = viewportPoint;
    lastTapCount_ = touch_.tapCount;
    touchesEnded(touch);
    touch_ = TouchState{};
}

void KTTextView::handlePointerCancel() {
    if (!touch_.active)
        return;
    const KTTouch touch = touchAt(touch_.lastInViewport);
    touch_ = TouchState{};
    touchesCancelled(touch);
}

bool KTTextView::viewportEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel: {
        auto* touchEvent = static_cast<QTouchEvent*>(event);
        if (event->type() == QEvent::TouchCancel) {
            activeTouchId_ = -1;
            handlePointerCancel();
            return true;
        }
        for (const QEventPoint& point : touchEvent->points()) {
            if (point.state() == QEventPoint::Pressed && activeTouchId_ == -1) {
                activeTouchId_ = point.id();
                handlePointerPress(point.position(), tapCountForTouchAt(point.position()));
            } else if (point.id() == activeTouchId_) {
                if (point.state() == QEventPoint::Released) {
                    activeTouchId_ = -1;
                    handlePointerRelease(point.position());
                } else if (point.state() == QEventPoint::Updated) {
                    handlePointerMove(point.position());
                }
            }
        }
        event->accept();
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->source() != Qt::MouseEventNotSynthesized)
            return true; // the touch itself is handled
        if (event->type() == QEvent::MouseMove) {
            if (mouse->buttons() & Qt::LeftButton)
                handlePointerMove(mouse->position());
        } else if (mouse->button() == Qt::LeftButton) {
            if (event->type() == QEvent::MouseButtonRelease)
                handlePointerRelease(mouse->position());
            else
                handlePointerPress(mouse->position(),
                                   event->type() == QEvent::MouseButtonDblClick ? 2 : 1);
        }
        event->accept();
        return true;
    }
    default:
        break;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void KTTextView::touchesBegan(const KTTouch& touch) {
    if (!firstResponder_)
        becomeFirstResponder();
    const NSRange selection = selectedRange();
    if (touch.tapCount == 1) {
        auto hit = [&](KTTextSelectionHandle* handle) {
            return handle && handle->frame()
                                 .adjusted(-kHandleHitMargin, -kHandleHitMargin, kHandleHitMargin,
                                           kHandleHitMargin)
                                 .contains(touch.locationInView);
        };
        const bool selected = selection.location != NSNotFound && selection.length > 0;
        if (selected && hit(selectionHandleStart_)) {
            scrollEnabled_ = false;
            _dragSelectionActive = 1;
            _startDoubleTapDelayEditingAction(touch);
        } else if (selected && hit(selectionHandleEnd_)) {
            scrollEnabled_ = false;
            _dragSelectionActive = 2;
            _startDoubleTapDelayEditingAction(touch);
        } else {
            longPressTimer_->start();
        }
    } else if (touch.tapCount == 2) {
        longPressTimer_->stop();
        scrollEnabled_ = false;
        _startDoubleTapEditingAction(touch);
    }
}

void KTTextView::touchesMoved(const KTTouch& touch) {
    longPressTimer_->stop();
    if (_dragCaretSelectionActive || _dragSelectionActive != 0)
        _moveEditingAction(touch);
}

void KTTextView::touchesEnded(const KTTouch& touch) {
    longPressTimer_->stop();
    _endEditingAction(touch);
}

void KTTextView::touchesCancelled(const KTTouch& touch) {
    longPressTimer_->stop();
    // A drag cut short must not leave the loupe up or the view unable to scroll.
    if (_dragCaretSelectionActive || _dragSelectionActive != 0) {
        selectionLoupeTimer_->stop();
        _hideCaretLoupe(touch);
        _hideSelectionLoupe(touch);
    }
    scrollEnabled_ = true;
    _dragCaretSelectionActive = false;
    _dragSelectionActive = 0;
}

void KTTextView::_startSingleTapDelayEditingAction(const KTTouch& touch) {
    scrollEnabled_ = false;
    _dragCaretSelectionActive = true;
    _hideMenu();
    _placeSingleTapCaret(touch);
    _showCaretLoupe(touch);
}

void KTTextView::_startDoubleTapEditingAction(const KTTouch& touch) {
    scrollEnabled_ = false;
    _dragSelectionActive = 1;
    _hideMenu();
    _highlightWordAtPosition(closestPositionToPoint(touch.locationInView));
    selectionLoupeTimer_->start();
}

void KTTextView::_startDoubleTapDelayEditingAction(const KTTouch& touch) {
    _showSelectionLoupe(touch);
}

void KTTextView::dragSelectionEndTo(uint32_t p) {
    const NSRange selection = selectedRange();
    if (selection.location == NSNotFound)
        return;
    uint32_t s = selection.location;
    uint32_t e = NSMaxRange(selection);
    if (_dragSelectionActive == 1) {
        if (p < e)
            s = p;
        else if (p > e)
            s = previousCharacterBoundary(e); // one whole character stays selected
        _lastPosition = KTTextPosition{s};
    } else {
        if (p < s)
            e = nextCharacterBoundary(s);
        else if (p > s)
            e = p;
        _lastPosition = KTTextPosition{e};
    }
    setSelectedRange(NSMakeRange(s, e - s), 1, true);
}

void KTTextView::_moveEditingAction(const KTTouch& touch) {
    if (touch.tapCount == 1 && _dragSelectionActive == 0) {
        const uint32_t index = characterIndexForInsertionAtPoint(touch.locationInView);
        setSelectedRange(NSMakeRange(index, 0), 1, true);
        _moveCaretLoupe(touch);
    } else if (touch.tapCount == 1) {
        const uint32_t p = closestPositionToPoint(touch.locationInView).position;
        const NSRange selection = selectedRange();
        const uint32_t dragged =
            _dragSelectionActive == 1 ? selection.location : NSMaxRange(selection);
        dragSelectionEndTo(p);
        if (p != dragged)
            _moveSelectionLoupe(touch);
    } else if (touch.tapCount == 2 && _dragSelectionActive != 0) {
        const uint32_t p = closestPositionToPoint(touch.locationInView).position;
        const KTTextRange word = _selectedWord ? *_selectedWord : *selectedTextRange();
        uint32_t s = word.start().position;
        uint32_t e = word.end().position;
        if (p < s)
            s = p;
        else if (p > e)
            e = p;
        _lastPosition = KTTextPosition{p};
        setSelectedTextRange(KTTextRange({s}, {e}));
        _moveSelectionLoupe(touch);
    }
}

void KTTextView::_endEditingAction(const KTTouch& touch) {
    if (_dragCaretSelectionActive || _dragSelectionActive != 0) {
        selectionLoupeTimer_->stop();
        _hideCaretLoupe(touch);
        _hideSelectionLoupe(touch);
        _showMenu();
    } else {
        _hideMenu();
        _placeSingleTapCaret(touch);
    }
    scrollEnabled_ = true;
    _dragCaretSelectionActive = false;
    _dragSelectionActive = 0;
}

void KTTextView::_placeSingleTapCaret(const KTTouch& touch) {
    const uint32_t index = characterIndexForInsertionAtPoint(touch.locationInView);
    const NSRange selection = selectedRange();
    const bool onCaret = !KTLoupeController::sharedLoupeController()->isLoupeVisible() &&
                         selection.location == index && selection.length == 0;
    setSelectedRange(NSMakeRange(index, 0));
    // A tap on the caret brings up the menu.
    if (onCaret)
        _showMenu();
}

void KTTextView::_highlightWordAtPosition(KTTextPosition position) {
    std::optional<KTTextRange> word =
        rangeEnclosingPosition(position, KTTextStorageDirection::Forward);
    if (!word || word->isEmpty())
        word = rangeEnclosingPosition(position, KTTextStorageDirection::Backward);
    if (word && !word->isEmpty()) {
        setSelectedTextRange(*word);
        _selectedWord = *word;
    }
}

// Loupes

void KTTextView::_showCaretLoupe(const KTTouch& touch) {
    _hideMenu();
    if (caret_)
        caret_->stopBlinking();
    KTLoupeController* loupe = KTLoupeController::sharedLoupeController();
    loupe->setKeyWindow(window());
    loupe->setLoupeStyle(0);
    loupe->setTargetPoint(touch.locationInWindow);
    loupe->setLoupeVisible(true, true);
}

void KTTextView::_moveCaretLoupe(const KTTouch& touch) {
    _hideMenu();
    KTLoupeController::sharedLoupeController()->setTargetPoint(touch.locationInWindow);
    if (caret_)
        caret_->stopBlinking();
    _updateAutoScrollDirectionForPoint(touch.locationInView);
}

void KTTextView::_hideCaretLoupe(const KTTouch&) {
    if (caret_)
        caret_->startBlinking();
    KTLoupeController::sharedLoupeController()->setLoupeVisible(false, true);
    _stopAutoScroll();
}

void KTTextView::_showSelectionLoupe(const KTTouch& touch) {
    _hideMenu();
    KTLoupeController* loupe = KTLoupeController::sharedLoupeController();
    loupe->setKeyWindow(window());
    loupe->setTargetPoint(touch.locationInWindow);
    loupe->setLoupeStyle(1);
    loupe->setLoupeVisible(true, true);
}

QRectF KTTextView::visibleRectInWindow() const {
    return QRectF(convertPointToWindow(bounds().topLeft()), bounds().size());
}

void KTTextView::_moveSelectionLoupe(const KTTouch& touch) {
    if (caret_)
        caret_->stopBlinking();
    KTTextSelectionHandle* handle =
        _dragSelectionActive == 2 ? selectionHandleEnd_.data() : selectionHandleStart_.data();
    KTLoupeController* loupe = KTLoupeController::sharedLoupeController();
    if (handle) {
        const QRectF frame = handle->frame();
        const QPointF target = convertPointToWindow(QPointF(frame.center().x(), frame.top()));
        loupe->setTargetPoint(target);
        loupe->setLoupeVisible(visibleRectInWindow().contains(target), true);
    }
    _updateAutoScrollDirectionForPoint(touch.locationInView);
}

void KTTextView::_hideSelectionLoupe(const KTTouch&) {
    KTLoupeController::sharedLoupeController()->setLoupeVisible(false, true);
    _stopAutoScroll();
}

// Autoscroll

uint32_t KTTextView::_autoScrollDirectionForPoint(const QPointF& point) const {
    const qreal h = _autoScrollHitSize;
    const QPointF o = contentOffset();
    const QSizeF f(viewport()->size());
    // Content narrower or shorter than the view still has its bands along the view's edges.
    const QSizeF c(std::max(contentSize_.width(), f.width()),
                   std::max(contentSize_.height(), f.height()));
    const QRectF top = o.y() <= 0 ? QRectF() : QRectF(o.x(), o.y(), c.width(), h);
    const QRectF bottom = o.y() + f.height() >= c.height()
                              ? QRectF()
                              : QRectF(0, o.y() + f.height() - h, c.width(), h);
    const QRectF right =
        o.x() + f.width() >= c.width() ? QRectF() : QRectF(o.x() + f.width() - h, 0, h, c.height());
    const QRectF left = o.x() <= 0 ? QRectF() : QRectF(o.x(), o.y(), h, c.height());
    uint32_t direction = 0;
    if (top.contains(point))
        direction |= KTAutoScrollUp;
    else if (bottom.contains(point))
        direction |= KTAutoScrollDown;
    if (right.contains(point))
        direction |= KTAutoScrollRight;
    else if (left.contains(point))
        direction |= KTAutoScrollLeft;
    return direction;
}

void KTTextView::_updateAutoScrollDirectionForPoint(const QPointF& point) {
    _autoScrollInDirection(_autoScrollDirectionForPoint(point));
}

bool KTTextView::isAutoScrolling() const {
    return _autoScrollTimer && _autoScrollTimer->isActive();
}

void KTTextView::_autoScrollInDirection(uint32_t direction) {
    KTLoupeController* loupe = KTLoupeController::sharedLoupeController();
    if (direction == 0) {
        _stopAutoScrolling();
        if (loupe->isLoupeVisible())
            loupe->setLoupeActive(true);
        return;
    }
    if (isAutoScrolling()) {
        _currentAutoScrollDirection |= direction;
    } else {
        _currentAutoScrollDirection = direction;
        if (!_autoScrollTimer) {
            _autoScrollTimer = new QTimer(this);
            _autoScrollTimer->setObjectName(QStringLiteral("KTTextViewAutoScrollTimer"));
            _autoScrollTimer->setTimerType(Qt::PreciseTimer);
            _autoScrollTimer->setInterval(1000 / 60);
            connect(_autoScrollTimer, &QTimer::timeout, this, &KTTextView::_autoScroll);
        }
        _autoScrollTimer->start();
    }
    loupe->setLoupeActive(false);
}

void KTTextView::_stopAutoScrolling() {
    if (_autoScrollTimer) {
        _autoScrollTimer->stop();
        _autoScrollTimer->deleteLater();
        _autoScrollTimer = nullptr;
    }
}

void KTTextView::_stopAutoScroll() {
    _stopAutoScrolling();
    _currentAutoScrollDirection = 0;
    scrollEnabled_ = true;
    if (KTLoupeController* loupe = KTLoupeController::sharedLoupeController();
        loupe->isLoupeVisible() || !loupe->isLoupeActive())
        loupe->setLoupeActive(true);
}

void KTTextView::_autoScroll() {
    const QPointF o = contentOffset();
    const QSizeF f(viewport()->size());
    // Offsets are whole points: the last one that does not pass the end.
    const qreal maxX = std::max<qreal>(0, std::floor(contentSize_.width() - f.width()));
    const qreal maxY = std::max<qreal>(0, std::floor(contentSize_.height() - f.height()));
    QPointF next = o;
    const uint32_t direction = _currentAutoScrollDirection;
    if (direction & KTAutoScrollUp) {
        const qreal step = std::max(_minimumScrollSpeed, std::min(_maximumScrollSpeed, o.y() / 2));
        next.setY(o.y() - step < 1 ? 0 : o.y() - step);
    } else if (direction & KTAutoScrollDown) {
        const qreal step =
            std::max(_minimumScrollSpeed, std::min(_maximumScrollSpeed, (maxY - o.y()) / 2));
        next.setY(o.y() + step > maxY - 1 ? maxY : o.y() + step);
    }
    if (direction & KTAutoScrollLeft) {
        const qreal step = std::max(_minimumScrollSpeed, std::min(_maximumScrollSpeed, o.x() / 2));
        next.setX(o.x() - step < 1 ? 0 : o.x() - step);
    } else if (direction & KTAutoScrollRight) {
        const qreal step =
            std::max(_minimumScrollSpeed, std::min(_maximumScrollSpeed, (maxX - o.x()) / 2));
        next.setX(o.x() + step > maxX - 1 ? maxX : o.x() + step);
    }
    setContentOffset(next, false);

    const QPointF target =
        convertPointFromWindow(KTLoupeController::sharedLoupeController()->targetPoint());
    if (_dragSelectionActive != 0) {
        dragSelectionEndTo(closestPositionToPoint(target).position);
    } else {
        const uint32_t index = characterIndexForInsertionAtPoint(target);
        setSelectedRange(NSMakeRange(index, 0), 1, true);
    }
}

// Keyboard

uint32_t KTTextView::selectionAnchor() const {
    const NSRange selection = selectedRange();
    if (keyboardAnchor_ != NSNotFound &&
        (keyboardAnchor_ == selection.location || keyboardAnchor_ == NSMaxRange(selection)))
        return keyboardAnchor_;
    return selection.location;
}

uint32_t KTTextView::selectionActiveEnd() const {
    const NSRange selection = selectedRange();
    const uint32_t anchor = selectionAnchor();
    return anchor == selection.location ? NSMaxRange(selection) : selection.location;
}

void KTTextView::moveCaret(uint32_t position, bool extend) {
    position = std::min(position, textStorage_->length());
    if (extend) {
        const uint32_t anchor = selectionAnchor();
        keyboardAnchor_ = anchor;
        const uint32_t start = std::min(anchor, position);
        setSelectedRange(NSMakeRange(start, std::max(anchor, position) - start));
    } else {
        keyboardAnchor_ = NSNotFound;
        setSelectedRange(NSMakeRange(position, 0));
    }
}

bool KTTextView::handleKeyPress(QKeyEvent* event) {
    if (event->matches(QKeySequence::Undo)) {
        undoManager_.undo();
        return true;
    }
    if (event->matches(QKeySequence::Redo)) {
        undoManager_.redo();
        return true;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        if (hasText()) {
            keyboardAnchor_ = NSNotFound;
            setSelectedRange(NSMakeRange(0, textStorage_->length()));
        }
        return true;
    }
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return true;
    }
    if (event->matches(QKeySequence::Cut)) {
        cut();
        return true;
    }
    if (event->matches(QKeySequence::Paste)) {
        if (canPerformAction(KTEditAction::Paste))
            paste();
        return true;
    }

    NSRange selection = selectedRange();
    if (selection.location == NSNotFound) {
        // Keyboard focus without a caret: start at the first visible character.
        const uint32_t first =
            layoutManager_->glyphRangeForBoundingRect(bounds(), textContainer_).location;
        setSelectedRange(NSMakeRange(std::min(first, textStorage_->length()), 0));
        selection = selectedRange();
    }
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    const uint32_t active = shift ? selectionActiveEnd() : selection.location;
    switch (event->key()) {
    case Qt::Key_Backspace:
        deleteBackward();
        return true;
    case Qt::Key_Delete:
        deleteForward();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        insertText(QStringLiteral("\n"));
        return true;
    case Qt::Key_Tab:
        insertText(QStringLiteral("\t"));
        return true;
    case Qt::Key_Left:
        if (!shift && selection.length > 0)
            moveCaret(selection.location, false);
        else
            moveCaret(previousCharacterBoundary(active), shift);
        return true;
    case Qt::Key_Right:
        if (!shift && selection.length > 0)
            moveCaret(NSMaxRange(selection), false);
        else
            moveCaret(nextCharacterBoundary(shift ? active : NSMaxRange(selection)), shift);
        return true;
    case Qt::Key_Up:
    case Qt::Key_Down: {
        const bool up = event->key() == Qt::Key_Up;
        const uint32_t from = shift ? active : (up ? selection.location : NSMaxRange(selection));
        const std::optional<KTTextPosition> to = positionFromPosition(
            {from}, up ? KTTextLayoutDirection::Up : KTTextLayoutDirection::Down, 1);
        moveCaret(to ? to->position : from, shift);
        return true;
    }
    case Qt::Key_Home:
    case Qt::Key_End: {
        const bool home = event->key() == Qt::Key_Home;
        const uint32_t from = shift ? active : (home ? selection.location : NSMaxRange(selection));
        uint32_t to = home ? 0 : textStorage_->length();
        if (!control) {
            // The whole paragraph laid out, so that its visual lines are known.
            layoutManager_->ensureLayoutForCharacterRange(
                textStorage_->lineRangeForRange(NSMakeRange(from, 0)));
            const QList<KTTextLayoutLine> lines =
                layoutManager_->_linesForRange(NSMakeRange(from, 0));
            if (!lines.isEmpty()) {
                const NSRange line = lines.first().range();
                to = line.location;
                if (!home) {
                    to = NSMaxRange(line);
                    if (to > line.location && to <= textStorage_->length() &&
                        isLineTerminator(textStorage_->characterAtIndex(to - 1)))
                        to = previousCharacterBoundary(to);
                }
            }
        }
        moveCaret(to, shift);
        return true;
    }
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        const bool up = event->key() == Qt::Key_PageUp;
        const qreal page = viewport()->height();
        const QRectF caretRect = caretRectForPosition({active});
        const QPointF point(caretRect.x(), caretRect.center().y() + (up ? -page : page));
        const uint32_t to = up && point.y() < 0 ? 0 : closestPositionToPoint(point).position;
        const QPointF offset = contentOffset();
        setContentOffset(QPointF(offset.x(), std::max<qreal>(0, offset.y() + (up ? -page : page))));
        moveCaret(to, shift);
        return true;
    }
    default:
        break;
    }
    const QString text = event->text();
    if (!text.isEmpty() && !control && !(event->modifiers() & Qt::AltModifier)) {
        bool printable = true;
        for (QChar c : text)
            printable = printable && (c.isPrint() || c == u'\t');
        if (printable) {
            insertText(text);
            return true;
        }
    }
    return false;
}

void KTTextView::keyPressEvent(QKeyEvent* event) {
    if (handleKeyPress(event))
        event->accept();
    else
        QAbstractScrollArea::keyPressEvent(event);
}

// Drawing

void KTTextView::drawRect(const QRectF&, QPainter* painter) {
    layoutManager_->_drawGlyphsForRect(bounds(), painter);
}

void KTTextView::paintEvent(QPaintEvent* event) {
    const qreal ratio = viewport()->devicePixelRatioF();
    const QSize pixels = (QSizeF(viewport()->size()) * ratio).toSize();
    const QPointF offset = contentOffset();
    if (!textCacheValid_ || textCache_.size() != pixels || textCacheOffset_ != offset) {
        // The text is drawn once per change or scroll; caret, selection and handles repaint
        // over the kept picture.
        textCacheValid_ = true;
        textCacheOffset_ = offset;
        textCache_ = QPixmap(pixels);
        textCache_.setDevicePixelRatio(ratio);
        textCache_.fill(backgroundColor_);
        QPainter cachePainter(&textCache_);
        cachePainter.translate(-offset);
        drawRect(bounds(), &cachePainter);
    }
    QPainter painter(viewport());
    const QRect r = event->rect();
    painter.drawPixmap(r, textCache_,
                       QRectF(QPointF(r.topLeft()) * ratio, QSizeF(r.size()) * ratio).toRect());
}

void KTTextView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    if (textContainer_) {
        // Text never runs under the scroll bar: the viewport is what the view shows.
        const QSizeF size = textContainer_->containerSize();
        const qreal width =
            textContainer_->widthTracksTextView() ? viewport()->width() : size.width();
        const qreal height =
            textContainer_->heightTracksTextView() ? viewport()->height() : size.height();
        textContainer_->setContainerSize(QSizeF(width, height));
    }
    if (!horizontallyResizable_)
        maxSize_.setWidth(viewport()->width());
    updateScrollBars();
    textCacheValid_ = false;
}

void KTTextView::scrollContentsBy(int, int) {
    updateOverlayPositions();
    textCacheValid_ = false;
    viewport()->update();
    if (delegate_)
        delegate_->scrollViewDidScroll(this);
}

void KTTextView::showFindIndicatorForRange(NSRange range) {
    KTShowFindIndicatorForRange(this, range, findIndicator_);
}
