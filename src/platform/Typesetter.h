#pragma once

// The text-layout engine: a framesetter over an attributed text, frames that take as many whole
// lines as fit a rectangle, lines with string ranges, origins and typographic bounds, and
// drawing into a QPainter. Built on QTextLayout; a paragraph of printable ASCII in one font
// whose ASCII characters all advance alike is measured and broken arithmetically, with the
// same result as shaping (same break opportunities, same widths), because that is most of a
// code editor's text and shaping it line by line is what makes long documents slow.

#include "platform/AttributedText.h"

#include <QPointF>
#include <QRectF>
#include <QTextLayout>

#include <memory>
#include <vector>

class QPainter;

inline constexpr int64_t kCFNotFound = -1;

class CTFramesetter;
class CTFrame;
class CTLine;
using CTFramesetterRef = std::shared_ptr<CTFramesetter>;
using CTFrameRef = std::shared_ptr<CTFrame>;
using CTLineRef = std::shared_ptr<CTLine>;

// One typeset line. Ranges are in the framesetter's string (the attributed substring it was
// made over) and include the line's terminator, if any.
class CTLine {
public:
    CFRange stringRange;
    qreal width = 0; // typographic advance, without the spaces that hang past a wrap
    qreal ascent = 0;
    qreal descent = 0;
    qreal leading = 0;

    // Measured arithmetically: the characters (a stretch of a text shared by the paragraph's
    // lines) and their one font.
    QString text;
    int64_t textOffset = 0;
    int64_t textLength = 0;
    CTFontRef font;
    // Shaped: the paragraph's layout, shared by its lines, and this line in it. `layoutStart`
    // is the string index of the layout's first character.
    std::shared_ptr<QTextLayout> layout;
    int lineNumber = -1;
    int64_t layoutStart = 0;
    // Colour runs of the line (string index where each starts), for arithmetic lines.
    std::vector<std::pair<int64_t, QColor>> colors;
};

class CTFrame {
public:
    CFRange stringRange;        // offered
    CFRange visibleStringRange; // fitted
    QRectF path;
    std::vector<CTLineRef> lines;
    std::vector<QPointF> origins; // baseline origins, y upwards from the path's bottom
};

class CTFramesetter {
public:
    CTFramesetter(const AttributedText* text, uint32_t location, uint32_t length)
        : text_(text), location_(location), length_(length) {}

    const AttributedText* text() const { return text_; }
    uint32_t location() const { return location_; }
    uint32_t length() const { return length_; }

    CTFrameRef createFrame(CFRange stringRange, const QRectF& path) const;

private:
    // Lays out the paragraph that starts at `start` (string index) into lines, stopping once
    // `maxLines` lines are made or the paragraph ends at `paragraphEnd`.
    void typesetParagraph(int64_t start, int64_t paragraphEnd, qreal width, size_t maxLines,
                          std::vector<CTLineRef>& lines) const;
    bool typesetArithmetically(int64_t start, int64_t paragraphEnd, qreal width, size_t maxLines,
                               std::vector<CTLineRef>& lines) const;
    void typesetShaped(int64_t start, int64_t paragraphEnd, qreal width, size_t maxLines,
                       std::vector<CTLineRef>& lines) const;
    QString characters(int64_t start, int64_t end) const;

    const AttributedText* text_;
    uint32_t location_;
    uint32_t length_;
};

// A framesetter over the characters [range.location, range.location + range.length) of the
// text. It reads the text piecewise while typesetting; nothing else of it is copied.
CTFramesetterRef CTFramesetterCreateWithAttributedString(const AttributedText* text, CFRange range);
// Typesets a range of the framesetter's string (a length of 0 means to its end) into the
// rectangle: as many whole lines as fit, top down. Null for a framesetter that is null.
// How many frames have been typeset since the program started (cheap to read; lets tests show
// that an operation typesets nothing).
uint64_t CTFramesetterFrameCount();
CTFrameRef CTFramesetterCreateFrame(const CTFramesetterRef& framesetter, CFRange stringRange,
                                    const QRectF& path);

CFRange CTFrameGetStringRange(const CTFrameRef& frame);
CFRange CTFrameGetVisibleStringRange(const CTFrameRef& frame);
const std::vector<CTLineRef>& CTFrameGetLines(const CTFrameRef& frame);
// Copies the origins of the lines in `range` (a length of 0 means all) into `origins`.
void CTFrameGetLineOrigins(const CTFrameRef& frame, CFRange range, QPointF* origins);
// The rectangle the frame was typeset into (the path's bounding box).
QRectF CTFrameGetPath(const CTFrameRef& frame);
// Draws the lines so that the path's top-left corner lies at `pathTopLeft` in the painter's
// coordinates (y downwards). Text without a colour is drawn in black.
void CTFrameDraw(const CTFrameRef& frame, QPainter* painter, const QPointF& pathTopLeft);

double CTLineGetTypographicBounds(const CTLineRef& line, qreal* ascent, qreal* descent,
                                  qreal* leading);
CFRange CTLineGetStringRange(const CTLineRef& line);
// The string index of the caret position nearest `position` (x from the line origin); it never
// falls inside a surrogate pair or grapheme cluster. kCFNotFound for a null line.
int64_t CTLineGetStringIndexForPosition(const CTLineRef& line, const QPointF& position);
// The horizontal offset of a string index within the line.
qreal CTLineGetOffsetForStringIndex(const CTLineRef& line, int64_t index,
                                    qreal* secondaryOffset = nullptr);
// Draws one line with its origin (baseline start) at `origin`.
void CTLineDraw(const CTLineRef& line, QPainter* painter, const QPointF& origin);
