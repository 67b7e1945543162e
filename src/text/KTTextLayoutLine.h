#pragma once

#include "core/Range.h"
#include "platform/Typesetter.h"

#include <QPointF>
#include <QRectF>

class KTTextLayoutFrame;

// A typeset line, derived from its frame's typeset text whenever it is needed; never stored.
class KTTextLayoutLine {
public:
    static KTTextLayoutLine textLayoutLineWithCTLine(CTLineRef line,
                                                     KTTextLayoutFrame* enclosingTextFrame,
                                                     const QRectF& frame, NSRange range,
                                                     const QPointF& origin, qreal ascent,
                                                     qreal descent, qreal leading, qreal width) {
        KTTextLayoutLine result;
        result.CTLine_ = std::move(line);
        result.enclosingTextFrame_ = enclosingTextFrame;
        result.frame_ = frame;
        result.range_ = range;
        result.origin_ = origin;
        result.ascent_ = ascent;
        result.descent_ = descent;
        result.leading_ = leading;
        result.width_ = width;
        return result;
    }

    const CTLineRef& CTLine() const { return CTLine_; }
    KTTextLayoutFrame* enclosingTextFrame() const { return enclosingTextFrame_; }
    // The line's characters in text-store coordinates, its terminator included.
    NSRange range() const { return range_; }
    // The line's rectangle in content coordinates: the top one ascent and one descent above
    // the baseline, the bottom one descent below it.
    QRectF frame() const { return frame_; }
    // The origin as the typesetter reports it (y upwards from the bottom of the frame's box).
    QPointF origin() const { return origin_; }
    qreal ascent() const { return ascent_; }
    qreal descent() const { return descent_; }
    qreal leading() const { return leading_; }
    qreal width() const { return width_; }

private:
    CTLineRef CTLine_;
    KTTextLayoutFrame* enclosingTextFrame_ = nullptr;
    NSRange range_{};
    QRectF frame_;
    QPointF origin_;
    qreal ascent_ = 0;
    qreal descent_ = 0;
    qreal leading_ = 0;
    qreal width_ = 0;
};
