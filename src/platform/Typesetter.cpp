#include "platform/Typesetter.h"

#include <QGlyphRun>
#include <QPainter>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

namespace {

bool isLineTerminator(char16_t u) {
    return u == u'\n' || u == u'\r' || u == 0x85 || u == 0x2028 || u == 0x2029;
}

// Line widths beyond this are "never wrap" (QTextLayout measures in 26.6 fixed point).
constexpr qreal kNoWrapWidth = 1.0e6;
// Below this many lines' worth of characters a paragraph is typeset whole.
constexpr int64_t kMinimumWindow = 2048;

const CTFontRef& fallbackFont() {
    static const CTFontRef font = CTFontCreateWithName(QStringLiteral("Helvetica"), 12);
    return font;
}

} // namespace

// Fonts

CTFont::CTFont(const QString& name, qreal pointSize)
    : name_(name), pointSize_(pointSize), font_(name), metrics_(font_) {
    font_.setPointSizeF(pointSize);
    metrics_ = QFontMetricsF(font_);
    rawFont_ = QRawFont::fromFont(font_);
    ascent_ = metrics_.ascent();
    descent_ = metrics_.descent();
    leading_ = metrics_.leading();

    QString ascii;
    for (char16_t c = 0x20; c <= 0x7e; ++c)
        ascii.append(QChar(c));
    const qreal advance = metrics_.horizontalAdvance(QChar(u'M'));
    bool uniform = advance > 0 && rawFont_.isValid();
    for (QChar c : ascii) {
        if (!uniform)
            break;
        uniform = metrics_.horizontalAdvance(c) == advance;
    }
    if (uniform) {
        const QList<quint32> glyphs = rawFont_.glyphIndexesForString(ascii);
        uniform = glyphs.size() == ascii.size();
        for (int i = 0; uniform && i < glyphs.size(); ++i) {
            asciiGlyphs_[static_cast<size_t>(i)] = glyphs[i];
            uniform = glyphs[i] != 0;
        }
    }
    if (uniform) {
        // Only when shaping gives exactly the arithmetic sum (no kerning or ligatures).
        QTextLayout layout(ascii + ascii, font_);
        QTextOption option;
        option.setWrapMode(QTextOption::NoWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        layout.endLayout();
        uniform = line.isValid() && line.horizontalAdvance() == advance * 2 * ascii.size();
    }
    asciiAdvance_ = uniform ? advance : 0;
}

CTFontRef CTFontCreateWithName(const QString& name, qreal pointSize) {
    static std::map<std::pair<QString, qreal>, CTFontRef> fonts;
    CTFontRef& font = fonts[{name, pointSize}];
    if (!font)
        font = std::make_shared<const CTFont>(name, pointSize);
    return font;
}

// Framesetter

CTFramesetterRef CTFramesetterCreateWithAttributedString(const AttributedText* text,
                                                         CFRange range) {
    if (!text || range.location < 0 || range.length < 0 ||
        range.location + range.length > text->length())
        return nullptr;
    return std::make_shared<CTFramesetter>(text, static_cast<uint32_t>(range.location),
                                           static_cast<uint32_t>(range.length));
}

namespace {
uint64_t framesTypeset = 0;
}

uint64_t CTFramesetterFrameCount() {
    return framesTypeset;
}

CTFrameRef CTFramesetterCreateFrame(const CTFramesetterRef& framesetter, CFRange stringRange,
                                    const QRectF& path) {
    if (!framesetter)
        return nullptr;
    ++framesTypeset;
    return framesetter->createFrame(stringRange, path);
}

QString CTFramesetter::characters(int64_t start, int64_t end) const {
    QString result(static_cast<qsizetype>(end - start), Qt::Uninitialized);
    text_->getCharacters(result.data(), location_ + static_cast<uint32_t>(start),
                         static_cast<uint32_t>(end - start));
    return result;
}

CTFrameRef CTFramesetter::createFrame(CFRange stringRange, const QRectF& path) const {
    const int64_t start = std::clamp<int64_t>(stringRange.location, 0, length_);
    const int64_t end =
        stringRange.length > 0 ? std::min<int64_t>(start + stringRange.length, length_) : length_;
    auto frame = std::make_shared<CTFrame>();
    frame->stringRange = CFRangeMake(start, end - start);
    frame->path = path;
    const qreal height = path.height();
    const qreal width = path.width();

    int64_t position = start;
    int64_t paragraphEnd = -1;
    qreal y = 0;
    bool full = false;
    std::vector<CTLineRef> lines;
    while (position < end && !full) {
        if (paragraphEnd <= position) {
            // Scan for the terminator a piece at a time rather than a character per call.
            paragraphEnd = position;
            QChar piece[256];
            bool found = false;
            while (!found && paragraphEnd < end) {
                const auto count =
                    static_cast<uint32_t>(std::min<int64_t>(256, end - paragraphEnd));
                text_->getCharacters(piece, location_ + static_cast<uint32_t>(paragraphEnd), count);
                uint32_t i = 0;
                while (i < count && !isLineTerminator(piece[i].unicode()))
                    ++i;
                paragraphEnd += i;
                found = i < count;
            }
            if (paragraphEnd < end) {
                const bool crlf = text_->characterAtIndex(location_ + paragraphEnd) == u'\r' &&
                                  paragraphEnd + 1 < end &&
                                  text_->characterAtIndex(location_ + paragraphEnd + 1) == u'\n';
                paragraphEnd += crlf ? 2 : 1;
            }
        }
        // Enough lines to fill what is left of the box at the paragraph's first font.
        const TextAttributes& first = text_->runAttributesAtIndex(
            location_ + static_cast<uint32_t>(position), nullptr, nullptr);
        const CTFont& font = first.font ? *first.font : *fallbackFont();
        const qreal lineHeight =
            std::max<qreal>(1, font.ascent() + font.descent() + font.leading());
        const size_t maxLines =
            static_cast<size_t>(std::max<qreal>(0, height - y) / lineHeight) + 1;

        lines.clear();
        typesetParagraph(position, paragraphEnd, width, maxLines, lines);
        if (lines.empty())
            break;
        for (const CTLineRef& line : lines) {
            if (y + line->ascent + line->descent > height + 1e-3) {
                full = true;
                break;
            }
            frame->origins.emplace_back(0, height - (y + line->ascent));
            frame->lines.push_back(line);
            y += line->ascent + line->descent + line->leading;
            position = line->stringRange.location + line->stringRange.length;
        }
    }
    frame->visibleStringRange = CFRangeMake(start, position - start);
    return frame;
}

void CTFramesetter::typesetParagraph(int64_t start, int64_t paragraphEnd, qreal width,
                                     size_t maxLines, std::vector<CTLineRef>& lines) const {
    const size_t before = lines.size();
    if (!typesetArithmetically(start, paragraphEnd, width, maxLines, lines)) {
        lines.resize(before); // drop what the arithmetic attempt made before it gave up
        typesetShaped(start, paragraphEnd, width, maxLines, lines);
    }
}

bool CTFramesetter::typesetArithmetically(int64_t start, int64_t paragraphEnd, qreal width,
                                          size_t maxLines, std::vector<CTLineRef>& lines) const {
    // The characters before the terminator.
    int64_t contentEnd = paragraphEnd;
    while (contentEnd > start &&
           isLineTerminator(text_->characterAtIndex(location_ + contentEnd - 1).unicode()))
        --contentEnd;

    // One font for the whole stretch, measured arithmetically.
    uint32_t runStart = 0;
    uint32_t runEnd = 0;
    const TextAttributes& attributes =
        text_->runAttributesAtIndex(location_ + static_cast<uint32_t>(start), &runStart, &runEnd);
    const CTFontRef font = attributes.font ? attributes.font : fallbackFont();
    const qreal advance = font->asciiAdvance();
    if (advance <= 0)
        return false;
    const bool noWrap = width >= kNoWrapWidth;
    const int64_t charactersPerLine = noWrap ? 0 : static_cast<int64_t>(width / advance);
    int64_t windowEnd = contentEnd;
    if (!noWrap) {
        const int64_t window = std::max<int64_t>(kMinimumWindow, static_cast<int64_t>(maxLines) *
                                                                     (charactersPerLine + 1) * 2);
        windowEnd = std::min(contentEnd, start + window);
    }
    std::vector<std::pair<int64_t, QColor>> colors;
    for (int64_t index = start; index < windowEnd;) {
        const TextAttributes& run = text_->runAttributesAtIndex(
            location_ + static_cast<uint32_t>(index), &runStart, &runEnd);
        const CTFontRef& runFont = run.font ? run.font : fallbackFont();
        if (runFont != font)
            return false;
        colors.emplace_back(index, run.foregroundColor.value_or(QColor()));
        index = std::min<int64_t>(windowEnd, runEnd - location_);
    }
    const QString s = characters(start, windowEnd);
    for (QChar c : s) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7e)
            return false;
    }

    const int64_t n = s.size();
    auto makeLine = [&](int64_t from, int64_t to, qreal lineWidth, bool last) {
        auto line = std::make_shared<CTLine>();
        const int64_t rangeEnd = last && windowEnd == contentEnd ? paragraphEnd : start + to;
        line->stringRange = CFRangeMake(start + from, rangeEnd - (start + from));
        line->width = lineWidth;
        line->ascent = font->ascent();
        line->descent = font->descent();
        line->leading = font->leading();
        line->text = s; // shared, not copied
        line->textOffset = from;
        line->textLength = to - from;
        line->font = font;
        for (size_t i = 0; i < colors.size(); ++i) {
            const int64_t colorEnd = i + 1 < colors.size() ? colors[i + 1].first : windowEnd;
            if (colorEnd > start + from && colors[i].first < start + to)
                line->colors.emplace_back(std::max(colors[i].first, start + from),
                                          colors[i].second);
        }
        lines.push_back(std::move(line));
    };

    if (noWrap || n * advance <= width) {
        makeLine(0, n, n * advance, true);
        return true;
    }

    auto visibleEnd = [&](int64_t from, int64_t to) {
        while (to > from && s[to - 1] == u' ')
            --to;
        return to;
    };
    auto fits = [&](int64_t from, int64_t to) {
        return (visibleEnd(from, to) - from) * advance <= width;
    };
    // ASCII letters and digits never allow a break between any two of them. (Punctuation
    // such as "." or "_" can, depending on what surrounds it, so it is left to the finder.)
    auto isWordCharacter = [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9');
    };
    // The most characters that fit, exactly as the comparison above decides.
    int64_t maxCharacters = std::max<int64_t>(0, charactersPerLine);
    while ((maxCharacters + 1) * advance <= width)
        ++maxCharacters;
    while (maxCharacters > 0 && maxCharacters * advance > width)
        --maxCharacters;
    maxCharacters = std::max<int64_t>(1, maxCharacters);

    // Break opportunities as the shaper finds them: the Unicode line-break boundaries, plus
    // the end of every run of spaces. Found only for paragraphs where the two common cases
    // below do not settle a line, since finding them costs more than the rest together.
    std::vector<char> breakable;
    auto findBreaks = [&] {
        if (!breakable.empty())
            return;
        breakable.assign(static_cast<size_t>(n + 1), 0);
        QTextBoundaryFinder finder(QTextBoundaryFinder::Line, s);
        for (qsizetype p = finder.toNextBoundary(); p != -1; p = finder.toNextBoundary()) {
            if (p < n)
                breakable[static_cast<size_t>(p)] = 1;
        }
        for (int64_t i = 1; i < n; ++i) {
            if (s[i - 1] == u' ' && s[i] != u' ')
                breakable[static_cast<size_t>(i)] = 1;
        }
    };

    int64_t lineStart = 0;
    while (lineStart < n && lines.size() < maxLines + 1) {
        int64_t best = -1;
        if (fits(lineStart, n)) {
            best = n;
        } else {
            // `overflow` is the first character that does not fit.
            const int64_t overflow = lineStart + maxCharacters;
            int64_t spacesEnd = overflow;
            while (spacesEnd < n && s[spacesEnd] == u' ')
                ++spacesEnd;
            int64_t wordStart = overflow;
            while (wordStart > lineStart && isWordCharacter(s[wordStart - 1]))
                --wordStart;
            if (spacesEnd > overflow) {
                // Spaces at the edge hang; the line breaks after them.
                best = spacesEnd;
            } else if (isWordCharacter(s[overflow]) && wordStart > lineStart &&
                       s[wordStart - 1] == u' ') {
                // A plain word runs over the edge: no break inside it, so before it.
                best = wordStart;
            } else {
                findBreaks();
                for (int64_t candidate = lineStart + 1; candidate < n; ++candidate) {
                    if (!breakable[static_cast<size_t>(candidate)])
                        continue;
                    if (!fits(lineStart, candidate))
                        break;
                    best = candidate;
                }
            }
        }
        // A word wider than the line is broken where it overflows, as the shaper does. A line
        // that would start with spaces before such a word, or hold spaces only, is left to
        // the shaper: its fallback measures those differently.
        if (best == -1 && s[lineStart] != u' ')
            best = std::min(n, lineStart + maxCharacters);
        if (best == -1 || visibleEnd(lineStart, best) == lineStart)
            return false;
        const bool last = best == n;
        const qreal full = (best - lineStart) * advance;
        const qreal lineWidth =
            last && full <= width ? full : (visibleEnd(lineStart, best) - lineStart) * advance;
        makeLine(lineStart, best, lineWidth, last);
        lineStart = best;
    }
    // A window that stops short of the paragraph may have cut its last line.
    if (windowEnd < contentEnd && lines.size() > 1)
        lines.pop_back();
    return true;
}

void CTFramesetter::typesetShaped(int64_t start, int64_t paragraphEnd, qreal width, size_t maxLines,
                                  std::vector<CTLineRef>& lines) const {
    int64_t contentEnd = paragraphEnd;
    while (contentEnd > start &&
           isLineTerminator(text_->characterAtIndex(location_ + contentEnd - 1).unicode()))
        --contentEnd;
    const bool noWrap = width >= kNoWrapWidth;
    int64_t window = noWrap
                         ? contentEnd - start
                         : std::max<int64_t>(kMinimumWindow, static_cast<int64_t>(maxLines) * 512);

    while (true) {
        const int64_t windowEnd = std::min(contentEnd, start + window);
        auto layout = std::make_shared<QTextLayout>(characters(start, windowEnd));
        QList<QTextLayout::FormatRange> formats;
        CTFontRef firstFont;
        for (int64_t index = start; index < windowEnd;) {
            uint32_t runStart = 0;
            uint32_t runEnd = 0;
            const TextAttributes& run = text_->runAttributesAtIndex(
                location_ + static_cast<uint32_t>(index), &runStart, &runEnd);
            const CTFontRef& font = run.font ? run.font : fallbackFont();
            if (!firstFont)
                firstFont = font;
            const int64_t end = std::min<int64_t>(windowEnd, runEnd - location_);
            QTextLayout::FormatRange range;
            range.start = static_cast<int>(index - start);
            range.length = static_cast<int>(end - index);
            range.format.setFont(font->font());
            if (run.foregroundColor)
                range.format.setForeground(*run.foregroundColor);
            formats.append(range);
            index = end;
        }
        if (!firstFont)
            firstFont = fallbackFont();
        layout->setFont(firstFont->font());
        layout->setFormats(formats);
        QTextOption option;
        option.setWrapMode(noWrap ? QTextOption::NoWrap
                                  : QTextOption::WrapAtWordBoundaryOrAnywhere);
        option.setTabStopDistance(4 * firstFont->metrics().horizontalAdvance(QChar(u' ')));
        layout->setTextOption(option);
        layout->setCacheEnabled(true);

        std::vector<CTLineRef> made;
        bool stoppedEarly = false;
        layout->beginLayout();
        while (true) {
            QTextLine textLine = layout->createLine();
            if (!textLine.isValid())
                break;
            textLine.setLineWidth(noWrap ? kNoWrapWidth : width);
            auto line = std::make_shared<CTLine>();
            line->layout = layout;
            line->lineNumber = textLine.lineNumber();
            line->layoutStart = start;
            line->width = textLine.horizontalAdvance();
            line->ascent = textLine.ascent();
            line->descent = textLine.descent();
            line->leading = textLine.leading();
            const int64_t lineStart = start + textLine.textStart();
            const int64_t lineEnd = lineStart + textLine.textLength();
            line->stringRange = CFRangeMake(lineStart, lineEnd - lineStart);
            made.push_back(std::move(line));
            if (made.size() > maxLines && lineEnd < contentEnd) {
                stoppedEarly = true;
                break;
            }
        }
        layout->endLayout();
        if (made.empty()) {
            // An empty paragraph: one empty line in the paragraph's font.
            auto line = std::make_shared<CTLine>();
            line->font = firstFont;
            line->ascent = firstFont->ascent();
            line->descent = firstFont->descent();
            line->leading = firstFont->leading();
            line->stringRange = CFRangeMake(start, 0);
            made.push_back(std::move(line));
        }
        if (windowEnd < contentEnd) {
            // The line that reaches the window's end may have been cut by it.
            const CFRange last = made.back()->stringRange;
            if (last.location + last.length >= windowEnd)
                made.pop_back();
            if (made.empty()) {
                window *= 4;
                continue;
            }
        } else if (!stoppedEarly) {
            // The terminator belongs to the paragraph's last line.
            CTLine& last = *made.back();
            last.stringRange.length = paragraphEnd - last.stringRange.location;
        }
        lines.insert(lines.end(), made.begin(), made.end());
        return;
    }
}

// Frames

CFRange CTFrameGetStringRange(const CTFrameRef& frame) {
    return frame ? frame->stringRange : CFRange{};
}

CFRange CTFrameGetVisibleStringRange(const CTFrameRef& frame) {
    return frame ? frame->visibleStringRange : CFRange{};
}

const std::vector<CTLineRef>& CTFrameGetLines(const CTFrameRef& frame) {
    static const std::vector<CTLineRef> none;
    return frame ? frame->lines : none;
}

void CTFrameGetLineOrigins(const CTFrameRef& frame, CFRange range, QPointF* origins) {
    if (!frame || !origins)
        return;
    const int64_t count = static_cast<int64_t>(frame->origins.size());
    const int64_t start = std::clamp<int64_t>(range.location, 0, count);
    const int64_t end = range.length > 0 ? std::min(count, start + range.length) : count;
    for (int64_t i = start; i < end; ++i)
        origins[i - start] = frame->origins[static_cast<size_t>(i)];
}

QRectF CTFrameGetPath(const CTFrameRef& frame) {
    return frame ? frame->path : QRectF();
}

void CTFrameDraw(const CTFrameRef& frame, QPainter* painter, const QPointF& pathTopLeft) {
    if (!frame || !painter)
        return;
    const qreal height = frame->path.height();
    // Lines wholly outside the painter's clip are skipped rather than rasterised and clipped.
    const std::optional<QRectF> clip =
        painter->hasClipping() ? std::optional<QRectF>(painter->clipBoundingRect()) : std::nullopt;
    for (size_t i = 0; i < frame->lines.size(); ++i) {
        const QPointF& origin = frame->origins[i];
        const CTLine& line = *frame->lines[i];
        const qreal baseline = pathTopLeft.y() + height - origin.y();
        if (clip &&
            (baseline + line.descent < clip->top() || baseline - line.ascent > clip->bottom()))
            continue;
        CTLineDraw(frame->lines[i], painter, QPointF(pathTopLeft.x() + origin.x(), baseline));
    }
}

// Lines

double CTLineGetTypographicBounds(const CTLineRef& line, qreal* ascent, qreal* descent,
                                  qreal* leading) {
    if (!line)
        return 0;
    if (ascent)
        *ascent = line->ascent;
    if (descent)
        *descent = line->descent;
    if (leading)
        *leading = line->leading;
    return line->width;
}

CFRange CTLineGetStringRange(const CTLineRef& line) {
    return line ? line->stringRange : CFRange{};
}

int64_t CTLineGetStringIndexForPosition(const CTLineRef& line, const QPointF& position) {
    if (!line)
        return kCFNotFound;
    if (line->layout) {
        const QTextLine textLine = line->layout->lineAt(line->lineNumber);
        const int64_t index =
            line->layoutStart +
            textLine.xToCursor(position.x() + textLine.x(), QTextLine::CursorBetweenCharacters);
        // Right-to-left runs can answer the visual edge's logical neighbour: keep to the line.
        const int64_t lineEnd = line->layoutStart + textLine.textStart() + textLine.textLength();
        return std::clamp<int64_t>(index, line->stringRange.location, lineEnd);
    }
    if (!line->font || line->font->asciiAdvance() <= 0)
        return line->stringRange.location;
    const qreal advance = line->font->asciiAdvance();
    const int64_t k = static_cast<int64_t>(std::floor(position.x() / advance + 0.5));
    return line->stringRange.location + std::clamp<int64_t>(k, 0, line->textLength);
}

qreal CTLineGetOffsetForStringIndex(const CTLineRef& line, int64_t index, qreal* secondaryOffset) {
    qreal offset = 0;
    if (line && line->layout) {
        const QTextLine textLine = line->layout->lineAt(line->lineNumber);
        offset = textLine.cursorToX(static_cast<int>(index - line->layoutStart)) - textLine.x();
    } else if (line && line->font) {
        const int64_t k =
            std::clamp<int64_t>(index - line->stringRange.location, 0, line->textLength);
        offset = k * line->font->asciiAdvance();
    }
    if (secondaryOffset)
        *secondaryOffset = offset;
    return offset;
}

void CTLineDraw(const CTLineRef& line, QPainter* painter, const QPointF& origin) {
    if (!line || !painter)
        return;
    if (line->layout) {
        const QTextLine textLine = line->layout->lineAt(line->lineNumber);
        painter->setPen(Qt::black);
        textLine.draw(painter, QPointF(origin.x() - textLine.x(),
                                       origin.y() - textLine.y() - textLine.ascent()));
        return;
    }
    if (line->textLength == 0 || !line->font)
        return;
    const CTFont& font = *line->font;
    const qreal advance = font.asciiAdvance();
    const int64_t lineStart = line->stringRange.location;
    const int64_t lineEnd = lineStart + line->textLength;
    QList<quint32> glyphs;
    QList<QPointF> positions;
    for (size_t i = 0; i < line->colors.size(); ++i) {
        const int64_t from = line->colors[i].first;
        const int64_t to = i + 1 < line->colors.size() ? line->colors[i + 1].first : lineEnd;
        glyphs.clear();
        positions.clear();
        for (int64_t k = from; k < to; ++k) {
            const char16_t c = line->text[line->textOffset + k - lineStart].unicode();
            if (c == u' ')
                continue;
            glyphs.append(font.asciiGlyph(c));
            positions.append(QPointF((k - from) * advance, 0));
        }
        if (glyphs.isEmpty())
            continue;
        QGlyphRun run;
        run.setRawFont(font.rawFont());
        run.setGlyphIndexes(glyphs);
        run.setPositions(positions);
        const QColor& color = line->colors[i].second;
        painter->setPen(color.isValid() ? color : QColor(Qt::black));
        painter->drawGlyphRun(QPointF(origin.x() + (from - lineStart) * advance, origin.y()), run);
    }
}
