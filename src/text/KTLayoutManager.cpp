#include "text/KTLayoutManager.h"

#include "text/KTTextContainer.h"
#include "text/KTTextStorage.h"
#include "text/KTTextView.h"

#include <QPainter>

#include <algorithm>
#include <limits>

namespace {

// A box shorter than a line would never take a character; retries grow it this many times.
constexpr int kBoxGrowthAttempts = 16;

template <typename T> QList<T*> objectsAs(KTBinaryTreeEnumerator enumerator) {
    QList<T*> result;
    while (KTObject* object = enumerator.nextObject())
        result.append(static_cast<T*>(object));
    return result;
}

} // namespace

// Frames

void KTTextLayoutFrame::drawInContext(QPainter* context) {
    if (!context)
        return;
    CTFrameRef typeset = ctFrame_;
    if (!typeset && layoutManager_)
        typeset = layoutManager_->_createCTFrameForTextLayoutFrame(this); // for this draw only
    if (!typeset)
        return;
    const QRectF path = CTFrameGetPath(typeset);
    context->save();
    CTFrameDraw(typeset, context, QPointF(path.x(), frame_.y()));
    context->restore();
}

// Set-up

KTLayoutManager::KTLayoutManager() = default;

KTLayoutManager::~KTLayoutManager() {
    if (textStorage_)
        textStorage_->removeLayoutManager(this);
}

void KTLayoutManager::addTextContainer(KTTextContainer* textContainer) {
    if (!textContainer)
        return;
    textContainer->setLayoutManager(this);
    textContainers_.append(textContainer);
}

KTTextView* KTLayoutManager::firstTextView() const {
    KTTextContainer* container = firstTextContainer();
    return container ? container->textView() : nullptr;
}

qreal KTLayoutManager::defaultLineHeight() const {
    if (!textStorage_)
        return 0;
    const CTFontRef font = textStorage_->ctFont();
    return font->ascent() + font->descent() + font->leading();
}

// Layout

void KTLayoutManager::ensureLayoutForCharacterRange(NSRange range) {
    _ensureLayoutForCharacterRange(range, std::nullopt);
    _calcUsedSizeUsingCharacterToPixelRatioSampling();
    if (KTTextView* view = firstTextView())
        view->sizeToFit();
}

void KTLayoutManager::ensureLayoutForBoundingRect(const QRectF& bounds, KTTextContainer*) {
    _ensureLayoutForCharacterRange(NSMakeRange(NSNotFound, 0), bounds);
    _calcUsedSizeUsingCharacterToPixelRatioSampling();
    if (KTTextView* view = firstTextView())
        view->sizeToFit();
}

QRectF KTLayoutManager::usedRectForTextContainer(KTTextContainer*) const {
    return QRectF(0, 0, usedSize_.width(), usedSize_.height());
}

void KTLayoutManager::_ensureLayoutForCharacterRange(NSRange range,
                                                     std::optional<QRectF> boundingRect) {
    KTTextView* view = firstTextView();
    KTTextContainer* container = firstTextContainer();
    if (!textStorage_ || !view || !container)
        return;
    const uint32_t textLength = textStorage_->length();
    auto* last = static_cast<KTTextLayoutFrame*>(layoutCache_.lastObject());

    qreal maximumY = std::numeric_limits<qreal>::infinity();
    if (range.location == NSNotFound) {
        range = NSMakeRange(0, textLength);
        // The last frame may hold fewer lines than its box (it stopped at the end of an
        // asked range); lay it out again when the rectangle reaches below it.
        if (last) {
            const QRectF lastRect = last->frame();
            bool reaches = !boundingRect || ((boundingRect->top() >= lastRect.top() ||
                                              boundingRect->bottom() > lastRect.top()) &&
                                             boundingRect->bottom() > lastRect.bottom());
            // A frame cut short by an earlier range request is incomplete wherever the
            // rectangle meets it, not only below it.
            if (last->endsAtRangeLimit() && boundingRect && boundingRect->bottom() > lastRect.top())
                reaches = true;
            if (reaches) {
                usedSize_.setHeight(usedSize_.height() - lastRect.height());
                uncacheFrame(last);
            }
        }
        if (boundingRect)
            maximumY = boundingRect->bottom();
    } else {
        if (!boundingRect)
            boundingRect = QRectF(view->textContainerOrigin(), container->containerSize());
        if (last && range.location >= last->range().location &&
            NSMaxRange(last->range()) < NSMaxRange(range)) {
            usedSize_.setHeight(usedSize_.height() - last->frame().height());
            uncacheFrame(last);
        }
        maximumY = boundingRect->bottom();
    }

    qreal y0 = 0;
    uint32_t unlaid = _firstUnlaidCharacterIndexWithVerticalOffset(&y0);
    const uint32_t end = std::min(NSMaxRange(range), textLength);
    // Every box is at least one line high, so that a short view still advances.
    const qreal boxHeight = std::max(view->frame().height() / 4, defaultLineHeight());
    const qreal width = container->containerSize().width();
    if (unlaid >= end)
        return;

    CTFramesetterRef framesetter =
        CTFramesetterCreateWithAttributedString(textStorage_, CFRangeMake(unlaid, end - unlaid));
    if (!framesetter)
        return;
    CFRange remaining = CFRangeMake(0, end - unlaid);
    const uint32_t unlaidStart = unlaid;
    qreal y = 0;
    while (unlaid < end && y0 + y < maximumY) {
        CTFrameRef typeset;
        qreal height = boxHeight;
        for (int attempt = 0; attempt < kBoxGrowthAttempts; ++attempt) {
            typeset = CTFramesetterCreateFrame(framesetter, remaining, QRectF(0, y, width, height));
            if (!typeset || CTFrameGetVisibleStringRange(typeset).length > 0)
                break;
            height *= 2; // a line taller than the box: let the box grow until it fits
        }
        if (!typeset)
            break;
        const auto taken = static_cast<uint32_t>(CTFrameGetVisibleStringRange(typeset).length);
        if (taken == 0)
            break; // nothing fits at all: stop rather than loop
        qreal frameWidth = 0;
        const std::vector<CTLineRef>& lines = CTFrameGetLines(typeset);
        for (const CTLineRef& line : lines)
            frameWidth = std::max<qreal>(
                frameWidth, CTLineGetTypographicBounds(line, nullptr, nullptr, nullptr));
        qreal frameHeight = height;
        if (!lines.empty()) {
            QPointF lastOrigin;
            CTFrameGetLineOrigins(typeset, CFRangeMake(static_cast<int64_t>(lines.size()) - 1, 1),
                                  &lastOrigin);
            qreal descent = 0;
            CTLineGetTypographicBounds(lines.back(), nullptr, &descent, nullptr);
            frameHeight = height - lastOrigin.y() + descent;
        }
        auto frame = std::make_shared<KTTextLayoutFrame>(
            this, NSMakeRange(unlaidStart + static_cast<uint32_t>(remaining.location), taken),
            QRectF(0, y0 + y, frameWidth, frameHeight));
        if (unlaid + taken == end && end < textLength)
            frame->setEndsAtRangeLimit(true);
        cacheFrame(std::move(frame));

        y += frameHeight;
        remaining.location += taken;
        remaining.length -= taken;
        unlaid += taken;
        usedSize_.setHeight(usedSize_.height() + frameHeight);
        usedSize_.setWidth(std::max(usedSize_.width(), frameWidth));
    }
}

void KTLayoutManager::_calcUsedSizeUsingCharacterToPixelRatioSampling() {
    qreal laidHeight = 0;
    const uint32_t unlaid = _firstUnlaidCharacterIndexWithVerticalOffset(&laidHeight);
    qreal height = laidHeight;
    const uint32_t textLength = textStorage_ ? textStorage_->length() : 0;
    if (unlaid > 0 && laidHeight > 0 && textLength > unlaid)
        height += (textLength - unlaid) / (unlaid / laidHeight);
    usedSize_.setHeight(height);
}

uint32_t
KTLayoutManager::_firstUnlaidCharacterIndexWithVerticalOffset(qreal* verticalOffset) const {
    auto* last = static_cast<KTTextLayoutFrame*>(layoutCache_.lastObject());
    if (verticalOffset)
        *verticalOffset = last ? last->frame().bottom() : 0;
    return last ? NSMaxRange(last->range()) : 0;
}

// Edits and invalidation

void KTLayoutManager::textStorageEdited(KTTextStorage*, uint32_t editedMask, NSRange range, int32_t,
                                        NSRange invalidatedRange) {
    if (editedMask & KTTextStorageEditedCharacters)
        invalidateLayoutForCharacterRange(range, false, nullptr);
    invalidateDisplayForCharacterRange(invalidatedRange);
}

void KTLayoutManager::textContainerChangedGeometry(KTTextContainer*) {
    const NSRange all = NSMakeRange(0, textStorage_ ? textStorage_->length() : 0);
    invalidateLayoutForCharacterRange(all, false, nullptr);
    invalidateDisplayForCharacterRange(all);
    if (KTTextView* view = firstTextView()) {
        view->updateInsertionPointStateAndRestartTimer(false);
        view->flashScrollIndicators();
    }
}

void KTLayoutManager::cacheFrame(std::shared_ptr<KTTextLayoutFrame> frame) {
    ++frameWidths_[frame->frame().width()];
    layoutCache_.addObject(std::move(frame));
}

void KTLayoutManager::uncacheFrame(KTTextLayoutFrame* frame) {
    auto width = frameWidths_.find(frame->frame().width());
    if (width != frameWidths_.end() && --width->second == 0)
        frameWidths_.erase(width);
    layoutCache_.removeObject(frame); // may release the frame
}

void KTLayoutManager::removeFrames(const QList<KTTextLayoutFrame*>& frames) {
    for (KTTextLayoutFrame* frame : frames) {
        usedSize_.setHeight(usedSize_.height() - frame->frame().height());
        uncacheFrame(frame);
    }
    // The used width is the widest frame that remains.
    usedSize_.setWidth(frameWidths_.empty() ? 0 : frameWidths_.rbegin()->first);
}

void KTLayoutManager::invalidateLayoutForCharacterRange(NSRange range, bool isSoft,
                                                        NSRange* actualCharacterRange) {
    NSRange actual = range;
    if (!isSoft) {
        if (auto* last = static_cast<KTTextLayoutFrame*>(layoutCache_.lastObject()))
            range.length = NSMaxRange(last->range()) - range.location; // wraps as unsigned
    }
    const QList<KTTextLayoutFrame*> frames = _framesForRange(range);
    if (!frames.isEmpty()) {
        const uint32_t textLength = textStorage_ ? textStorage_->length() : 0;
        const uint32_t location = frames.first()->range().location;
        actual = NSMakeRange(location, textLength > location ? textLength - location : 0);
    }
    removeFrames(frames);
    if (actualCharacterRange)
        *actualCharacterRange = actual;
}

void KTLayoutManager::invalidateDisplayForCharacterRange(NSRange range) {
    for (KTTextLayoutFrame* frame : _framesForRange(range))
        frame->setCTFrame(nullptr);
    if (KTTextView* view = firstTextView())
        view->setNeedsDisplay();
}

void KTLayoutManager::didReceiveMemoryWarning() {
    layoutCache_.removeAllObjects();
    frameWidths_.clear();
}

// Lookups

QList<KTTextLayoutFrame*> KTLayoutManager::_framesForRange(NSRange range) const {
    if (layoutCache_.count() == 0)
        return {};
    const KTTextLayoutProbe probe(range);
    return objectsAs<KTTextLayoutFrame>(layoutCache_.objectEnumeratorWithEnclosingObject(
        &probe, KTTextLayoutCache::rangeComparatorFunction));
}

QList<KTTextLayoutFrame*> KTLayoutManager::_framesForRect(const QRectF& rect) const {
    if (layoutCache_.count() == 0)
        return {};
    const KTTextLayoutProbe probe(rect);
    return objectsAs<KTTextLayoutFrame>(layoutCache_.objectEnumeratorWithEnclosingObject(
        &probe, KTTextLayoutCache::rectComparatorFunction));
}

KTTextLayoutFrame* KTLayoutManager::_frameForPoint(const QPointF& point) const {
    const KTTextLayoutProbe probe(QRectF(point.x(), point.y(), 1, 1));
    return static_cast<KTTextLayoutFrame*>(layoutCache_.objectClosestToObject(
        &probe, KTTextLayoutCache::rectComparatorFunction, false));
}

CTFrameRef KTLayoutManager::_createCTFrameForTextLayoutFrame(KTTextLayoutFrame* frame) const {
    if (!frame || !textStorage_)
        return nullptr;
    const NSRange range = frame->range();
    if (NSMaxRange(range) > textStorage_->length())
        return nullptr;
    CTFramesetterRef framesetter = CTFramesetterCreateWithAttributedString(
        textStorage_, CFRangeMake(range.location, range.length));
    if (!framesetter)
        return nullptr;
    // Typeset to the container's width, as at layout, so the lines break exactly as they did.
    KTTextContainer* container = firstTextContainer();
    const qreal width = container ? container->containerSize().width() : frame->frame().width();
    return CTFramesetterCreateFrame(framesetter, CFRangeMake(0, 0),
                                    QRectF(frame->frame().x(), 0, width, frame->frame().height()));
}

QList<KTTextLayoutLine>
KTLayoutManager::_textLayoutLinesForTextLayoutFrame(KTTextLayoutFrame* frame) const {
    if (!frame)
        return {};
    if (!frame->CTFrame())
        frame->setCTFrame(_createCTFrameForTextLayoutFrame(frame));
    const CTFrameRef& typeset = frame->CTFrame();
    if (!typeset)
        return {};
    const std::vector<CTLineRef>& lines = CTFrameGetLines(typeset);
    std::vector<QPointF> origins(lines.size());
    CTFrameGetLineOrigins(typeset, CFRangeMake(0, 0), origins.data());
    const CFRange typesetRange = CTFrameGetStringRange(typeset);
    const qreal pathHeight = CTFrameGetPath(typeset).height();
    const QRectF frameRect = frame->frame();
    QList<KTTextLayoutLine> result;
    result.reserve(static_cast<qsizetype>(lines.size()));
    for (size_t i = 0; i < lines.size(); ++i) {
        qreal ascent = 0;
        qreal descent = 0;
        qreal leading = 0;
        const qreal width = CTLineGetTypographicBounds(lines[i], &ascent, &descent, &leading);
        const CFRange lineRange = CTLineGetStringRange(lines[i]);
        const QPointF& origin = origins[i];
        const QRectF rect(origin.x(), frameRect.y() + pathHeight - origin.y() - (ascent + descent),
                          width, ascent + 2 * descent);
        const NSRange range =
            NSMakeRange(frame->range().location +
                            static_cast<uint32_t>(lineRange.location - typesetRange.location),
                        static_cast<uint32_t>(lineRange.length));
        result.append(KTTextLayoutLine::textLayoutLineWithCTLine(
            lines[i], frame, rect, range, origin, ascent, descent, leading, width));
    }
    return result;
}

QList<KTTextLayoutLine> KTLayoutManager::_linesForRange(NSRange range) const {
    QList<KTTextLayoutLine> result;
    for (KTTextLayoutFrame* frame : _framesForRange(range)) {
        // A frame that starts after the range's location continues a range that began in an
        // earlier frame: its lines are taken while they share characters with the range.
        bool found = frame->range().location > range.location;
        for (const KTTextLayoutLine& line : _textLayoutLinesForTextLayoutFrame(frame)) {
            const NSRange lineRange = line.range();
            if (!found) {
                const bool inside =
                    range.location >= lineRange.location && range.location < NSMaxRange(lineRange);
                const bool endsAtCaret =
                    range.length == 0 && NSMaxRange(lineRange) == range.location;
                if (inside || endsAtCaret) {
                    result.append(line);
                    found = true;
                }
            } else if (NSIntersectionRange(lineRange, range).length > 0) {
                result.append(line);
            } else {
                break;
            }
        }
    }
    return result;
}

std::optional<KTTextLayoutLine> KTLayoutManager::_lineForPoint(const QPointF& point) const {
    KTTextLayoutFrame* frame = _frameForPoint(point);
    if (!frame)
        return std::nullopt;
    std::optional<KTTextLayoutLine> found;
    for (const KTTextLayoutLine& line : _textLayoutLinesForTextLayoutFrame(frame)) {
        if (line.frame().top() > point.y())
            break;
        found = line;
    }
    return found;
}

uint32_t KTLayoutManager::_locationForPoint(const QPointF& point) const {
    const std::optional<KTTextLayoutLine> line = _lineForPoint(point);
    if (!line)
        return NSNotFound;
    const QPointF relative(point.x() - line->frame().x(), point.y() - line->frame().y());
    const int64_t index = CTLineGetStringIndexForPosition(line->CTLine(), relative);
    uint32_t location;
    if (index == kCFNotFound) {
        location = line->range().location;
    } else {
        const KTTextLayoutFrame* frame = line->enclosingTextFrame();
        const CFRange typesetRange = CTFrameGetStringRange(frame->CTFrame());
        location = frame->range().location + static_cast<uint32_t>(index - typesetRange.location);
    }
    const uint32_t textLength = textStorage_ ? textStorage_->length() : 0;
    const NSRange lineRange = line->range();
    if (location < textLength && lineRange.length > 0 && location > NSMaxRange(lineRange) - 1) {
        // Past the end of a line: land before its last character (its line break), and never
        // between the two halves of a surrogate pair.
        --location;
        if (location > lineRange.location &&
            textStorage_->characterAtIndex(location).isLowSurrogate() &&
            textStorage_->characterAtIndex(location - 1).isHighSurrogate())
            --location;
    }
    return location;
}

uint32_t KTLayoutManager::indexForPointOutsideText(const QPointF& point) const {
    auto* first = static_cast<KTTextLayoutFrame*>(layoutCache_.firstObject());
    if (first && point.y() < first->frame().top())
        return 0;
    return textStorage_ ? textStorage_->length() : 0;
}

// Geometry queries

const QRectF* KTLayoutManager::rectArrayForCharacterRange(NSRange range, NSRange selectedRange,
                                                          KTTextContainer* textContainer,
                                                          uint32_t* rectCount) {
    return rectArrayForGlyphRange(range, selectedRange, textContainer, rectCount);
}

const QRectF* KTLayoutManager::rectArrayForGlyphRange(NSRange glyphRange,
                                                      NSRange selectedGlyphRange,
                                                      KTTextContainer* textContainer,
                                                      uint32_t* rectCount) {
    std::vector<QRectF> rects;
    const uint32_t textLength = textStorage_ ? textStorage_->length() : 0;
    uint32_t location = glyphRange.location;
    uint32_t length = glyphRange.length;
    const bool empty = length == 0;
    const bool afterBreak = location > 0 && location - 1 < textLength &&
                            textStorage_->characterAtIndex(location - 1) == u'\n';
    const bool atStart = location == 0;
    const bool atEnd = location + length == textLength;
    if (empty && atStart && !atEnd)
        length = 1;
    ensureLayoutForCharacterRange(NSMakeRange(location, length));

    KTTextView* view = firstTextView();
    KTTextContainer* container = textContainer ? textContainer : firstTextContainer();
    if (empty && atStart && atEnd) {
        const QPointF origin = view ? view->textContainerOrigin() : QPointF();
        rects.emplace_back(origin.x(), origin.y(), 0, defaultLineHeight());
    } else {
        const qreal containerWidth = container ? container->containerSize().width() : 0;
        for (const KTTextLayoutLine& line : _linesForRange(NSMakeRange(location, length))) {
            QRectF r = line.frame();
            const NSRange lineRange = line.range();
            const KTTextLayoutFrame* frame = line.enclosingTextFrame();
            const int64_t typesetLocation = CTFrameGetStringRange(frame->CTFrame()).location;
            auto offsetFor = [&](uint32_t index) {
                return CTLineGetOffsetForStringIndex(line.CTLine(), static_cast<int64_t>(index) -
                                                                        frame->range().location +
                                                                        typesetLocation);
            };
            if ((location >= lineRange.location && location < NSMaxRange(lineRange)) ||
                location == NSMaxRange(lineRange)) {
                const qreal x = offsetFor(location);
                r.setX(x); // moves the left edge: the width shrinks by x
            }
            const uint32_t end = location + length;
            if (end >= lineRange.location && end < NSMaxRange(lineRange))
                r.setWidth(r.width() - (line.frame().width() - offsetFor(end)));
            if (selectedGlyphRange.location != NSNotFound) {
                const uint32_t lastSelected =
                    selectedGlyphRange.location + selectedGlyphRange.length - 1;
                if (!(lastSelected >= lineRange.location && lastSelected < NSMaxRange(lineRange)))
                    r.setWidth(containerWidth - r.x());
            }
            if (empty) {
                if (afterBreak) {
                    const qreal bottom = r.bottom();
                    r.moveTo(0, bottom);
                } else if (!atStart && atEnd) {
                    r.moveLeft(r.right());
                }
                r.setWidth(0);
            }
            rects.push_back(r);
        }
    }
    rectArray_ = std::move(rects);
    if (rectCount)
        *rectCount = static_cast<uint32_t>(rectArray_.size());
    return rectArray_.data();
}

std::optional<QRectF> KTLayoutManager::boundingRectForGlyphRange(NSRange glyphRange,
                                                                 KTTextContainer* textContainer) {
    uint32_t count = 0;
    const QRectF* rects =
        rectArrayForGlyphRange(glyphRange, NSMakeRange(NSNotFound, 0), textContainer, &count);
    if (count == 0)
        return std::nullopt;
    QRectF united = rects[0];
    for (uint32_t i = 1; i < count; ++i) {
        // A zero-width caret rectangle still counts: unite by edges, not by QRectF::united.
        united.setLeft(std::min(united.left(), rects[i].left()));
        united.setTop(std::min(united.top(), rects[i].top()));
        united.setRight(std::max(united.right(), rects[i].right()));
        united.setBottom(std::max(united.bottom(), rects[i].bottom()));
    }
    return united;
}

NSRange KTLayoutManager::glyphRangeForBoundingRect(const QRectF& bounds,
                                                   KTTextContainer* textContainer) {
    ensureLayoutForBoundingRect(bounds, textContainer);
    return glyphRangeForBoundingRectWithoutAdditionalLayout(bounds, textContainer);
}

NSRange KTLayoutManager::glyphRangeForBoundingRectWithoutAdditionalLayout(const QRectF& bounds,
                                                                          KTTextContainer*) {
    if (!textStorage_ || textStorage_->length() == 0)
        return NSMakeRange(0, 0);
    const QRectF shrunk = bounds.adjusted(1, 2, -1, -2);
    // Corners outside the laid-out text map as a point lookup does: 0 above, the end below.
    uint32_t start = _locationForPoint(shrunk.topLeft());
    if (start == NSNotFound)
        start = indexForPointOutsideText(shrunk.topLeft());
    uint32_t end = _locationForPoint(shrunk.bottomRight());
    if (end == NSNotFound)
        end = indexForPointOutsideText(shrunk.bottomRight());
    return NSMakeRange(start, end > start ? end - start : 0);
}

uint32_t KTLayoutManager::glyphIndexForPoint(const QPointF& point, KTTextContainer* textContainer,
                                             qreal* fractionOfDistanceThroughGlyph) {
    ensureLayoutForBoundingRect(QRectF(point.x(), point.y(), 1, 1), textContainer);
    uint32_t index = _locationForPoint(point);
    if (index == NSNotFound)
        index = indexForPointOutsideText(point);
    if (fractionOfDistanceThroughGlyph)
        *fractionOfDistanceThroughGlyph = 1.0;
    return index;
}

// Drawing

void KTLayoutManager::_drawGlyphsForRect(const QRectF& rect, QPainter* context) {
    ensureLayoutForBoundingRect(rect, firstTextContainer());
    if (!context)
        return;
    context->save();
    context->setClipRect(rect, Qt::IntersectClip);
    for (KTTextLayoutFrame* frame : _framesForRect(rect)) {
        if (frame->frame().intersects(rect) ||
            (frame->frame().width() == 0 && frame->frame().top() < rect.bottom() &&
             frame->frame().bottom() > rect.top()))
            frame->drawInContext(context);
    }
    context->restore();
}
