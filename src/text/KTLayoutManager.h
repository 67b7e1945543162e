#pragma once

#include "core/Range.h"
#include "platform/Typesetter.h"
#include "text/KTTextLayoutCache.h"
#include "text/KTTextLayoutFrame.h"
#include "text/KTTextLayoutLine.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <map>
#include <memory>
#include <optional>
#include <vector>

class KTTextContainer;
class KTTextStorage;
class KTTextView;
class QPainter;

// Turns the text store into laid-out frames lazily: only from the end of what is laid out down
// to the bottom of the rectangle about to be drawn (or the end of the range asked about), in
// boxes a quarter of the view's height; the height of the rest is estimated from the
// characters-per-point ratio of what is laid out. Edits discard the layout from the edited
// frame onwards. Glyph indices equal character indices.
class KTLayoutManager {
public:
    KTLayoutManager();
    KTLayoutManager(const KTLayoutManager&) = delete;
    KTLayoutManager& operator=(const KTLayoutManager&) = delete;
    virtual ~KTLayoutManager();

    // Set-up (the store calls setTextStorage when the manager is added to it).
    KTTextStorage* textStorage() const { return textStorage_; }
    void setTextStorage(KTTextStorage* textStorage) { textStorage_ = textStorage; }
    void addTextContainer(KTTextContainer* textContainer);
    QList<KTTextContainer*> textContainers() const { return textContainers_; }
    KTTextView* firstTextView() const;

    // Layout.
    void ensureLayoutForCharacterRange(NSRange range);
    void ensureLayoutForBoundingRect(const QRectF& bounds, KTTextContainer* textContainer);
    QRectF usedRectForTextContainer(KTTextContainer* textContainer) const;
    QSizeF usedSize() const { return usedSize_; }

    // The store's notice of a processed edit.
    virtual void textStorageEdited(KTTextStorage* textStorage, uint32_t editedMask, NSRange range,
                                   int32_t changeInLength, NSRange invalidatedRange);
    void textContainerChangedGeometry(KTTextContainer* textContainer);

    // Geometry. The returned buffer belongs to the manager and is replaced by the next query.
    const QRectF* rectArrayForCharacterRange(NSRange range, NSRange selectedRange,
                                             KTTextContainer* textContainer, uint32_t* rectCount);
    const QRectF* rectArrayForGlyphRange(NSRange glyphRange, NSRange selectedGlyphRange,
                                         KTTextContainer* textContainer, uint32_t* rectCount);
    std::optional<QRectF> boundingRectForGlyphRange(NSRange glyphRange,
                                                    KTTextContainer* textContainer);
    NSRange glyphRangeForBoundingRect(const QRectF& bounds, KTTextContainer* textContainer);
    NSRange glyphRangeForBoundingRectWithoutAdditionalLayout(const QRectF& bounds,
                                                             KTTextContainer* textContainer);
    uint32_t glyphIndexForPoint(const QPointF& point, KTTextContainer* textContainer,
                                qreal* fractionOfDistanceThroughGlyph = nullptr);
    uint32_t characterIndexForGlyphAtIndex(uint32_t glyphIndex) const { return glyphIndex; }

    // Drawing: lays out what the rectangle needs, then draws the frames it touches.
    void _drawGlyphsForRect(const QRectF& rect, QPainter* context);

    // Lookups over the frame cache.
    QList<KTTextLayoutFrame*> _framesForRange(NSRange range) const;
    QList<KTTextLayoutFrame*> _framesForRect(const QRectF& rect) const;
    KTTextLayoutFrame* _frameForPoint(const QPointF& point) const;
    CTFrameRef _createCTFrameForTextLayoutFrame(KTTextLayoutFrame* frame) const;
    QList<KTTextLayoutLine> _textLayoutLinesForTextLayoutFrame(KTTextLayoutFrame* frame) const;
    QList<KTTextLayoutLine> _linesForRange(NSRange range) const;
    std::optional<KTTextLayoutLine> _lineForPoint(const QPointF& point) const;
    uint32_t _locationForPoint(const QPointF& point) const;
    uint32_t _firstUnlaidCharacterIndexWithVerticalOffset(qreal* verticalOffset = nullptr) const;

    // Invalidation.
    void invalidateLayoutForCharacterRange(NSRange range, bool isSoft,
                                           NSRange* actualCharacterRange);
    void invalidateLayoutForCharacterRange(NSRange range, NSRange* actualCharacterRange) {
        invalidateLayoutForCharacterRange(range, false, actualCharacterRange);
    }
    void invalidateDisplayForCharacterRange(NSRange range);
    // Drops every frame (the used size stays; the next layout starts again from the top).
    void didReceiveMemoryWarning();

    // The frame cache (the lookups above are the way to search it).
    KTTextLayoutCache& layoutCache() { return layoutCache_; }
    const KTTextLayoutCache& layoutCache() const { return layoutCache_; }

    // The one layout routine: lays out with a range (its location may be NSNotFound) and a
    // rectangle (may be absent, the null rectangle).
    void _ensureLayoutForCharacterRange(NSRange range, std::optional<QRectF> boundingRect);
    void _calcUsedSizeUsingCharacterToPixelRatioSampling();

private:
    KTTextContainer* firstTextContainer() const {
        return textContainers_.isEmpty() ? nullptr : textContainers_.first();
    }
    qreal defaultLineHeight() const;
    uint32_t indexForPointOutsideText(const QPointF& point) const;
    void removeFrames(const QList<KTTextLayoutFrame*>& frames);
    void cacheFrame(std::shared_ptr<KTTextLayoutFrame> frame);
    void uncacheFrame(KTTextLayoutFrame* frame);

    KTTextStorage* textStorage_ = nullptr;
    QList<KTTextContainer*> textContainers_;
    KTTextLayoutCache layoutCache_;
    QSizeF usedSize_{0, 0};
    std::vector<QRectF> rectArray_;
    // Widths of the cached frames, so the widest remaining one is known without a walk.
    std::map<qreal, uint32_t> frameWidths_;
};
