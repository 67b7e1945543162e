#pragma once

#include "core/Range.h"
#include "platform/Typesetter.h"
#include "text/KTAATreeNode.h"

#include <QRectF>

#include <optional>

class KTLayoutManager;
class QPainter;

// What the two orderings of the layout cache read from an element: its character range and
// its rectangle (the null rectangle for a probe that has none).
class KTTextLayoutValue {
public:
    virtual ~KTTextLayoutValue() = default;
    virtual NSRange rangeValue() const = 0;
    virtual std::optional<QRectF> CGRectValue() const = 0;
};

// One contiguous stretch of characters typeset into one box of the text view. Stored in the
// layout cache as its own tree node. Its typeset frame is kept only while its lines are
// wanted and dropped whenever the stretch must be typeset again.
class KTTextLayoutFrame : public KTAATreeNode, public KTTextLayoutValue {
public:
    KTTextLayoutFrame(KTLayoutManager* layoutManager, NSRange range, const QRectF& frame)
        : range_(range), frame_(frame), layoutManager_(layoutManager) {}

    const CTFrameRef& CTFrame() const { return ctFrame_; }
    void setCTFrame(CTFrameRef frame) { ctFrame_ = std::move(frame); }

    NSRange range() const { return range_; }
    void setRange(NSRange range) { range_ = range; }
    QRectF frame() const { return frame_; }
    void setFrame(const QRectF& frame) { frame_ = frame; }
    KTLayoutManager* layoutManager() const { return layoutManager_; }
    void setLayoutManager(KTLayoutManager* layoutManager) { layoutManager_ = layoutManager; }

    NSRange rangeValue() const override { return range_; }
    std::optional<QRectF> CGRectValue() const override { return frame_; }

    // Set when layout stopped at the end of an asked character range inside this frame's box,
    // so the frame may lack lines (or hold a line cut short) that the text goes on with.
    bool endsAtRangeLimit() const { return endsAtRangeLimit_; }
    void setEndsAtRangeLimit(bool ends) { endsAtRangeLimit_ = ends; }

    // Draws the typeset text inside the frame's rectangle (content coordinates).
    void drawInContext(QPainter* context);

private:
    CTFrameRef ctFrame_;
    NSRange range_;
    QRectF frame_;
    KTLayoutManager* layoutManager_;
    bool endsAtRangeLimit_ = false;
};

// A search probe: a plain range, or a rectangle (a range probe has the null rectangle). It is
// a frame that is never stored, so the orderings read every element the same cheap way.
class KTTextLayoutProbe : public KTTextLayoutFrame {
public:
    explicit KTTextLayoutProbe(NSRange range) : KTTextLayoutFrame(nullptr, range, QRectF()) {}
    explicit KTTextLayoutProbe(const QRectF& rect)
        : KTTextLayoutFrame(nullptr, NSRange{}, rect), hasRect_(true) {}
    std::optional<QRectF> CGRectValue() const override {
        return hasRect_ ? std::optional<QRectF>(frame()) : std::nullopt;
    }

private:
    bool hasRect_ = false;
};
