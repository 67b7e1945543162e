#include "support/TestSupport.h"
#include "text/KTLayoutManager.h"
#include "text/KTTextContainer.h"
#include "text/KTTextStorage.h"
#include "text/KTTextView.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <random>

namespace {

QFont courier() {
    QFont font(QStringLiteral("Courier"));
    font.setPointSizeF(14);
    return font;
}

// A view of the given size with monospaced text, shown off-screen so its geometry is real.
struct ViewFixture {
    explicit ViewFixture(QSize size, const QString& text = QString()) {
        view.resize(size);
        view.show();
        view.setFont(courier());
        view.setText(text);
    }
    KTLayoutManager* manager() { return view.layoutManager(); }
    KTTextStorage* storage() { return view.textStorage(); }
    KTTextContainer* container() { return view.textContainer(); }
    KTTextView view;
};

QString numberedLines(int count, int width = 30) {
    QString text;
    for (int i = 0; i < count; ++i)
        text += QString("line %1 ").arg(i).leftJustified(width, QChar(u'.')) + "\n";
    return text;
}

// Three frames covering [0,100), [100,200), [200,300), each 50 points high.
struct CacheFixture : ::testing::Test {
    CacheFixture() : fixture(QSize(400, 700), QString(300, QChar(u'a'))) { resetFrames(); }
    void resetFrames() {
        fixture.manager()->didReceiveMemoryWarning(); // start from an empty cache
        for (uint32_t i = 0; i < 3; ++i)
            fixture.manager()->layoutCache().addObject(std::make_shared<KTTextLayoutFrame>(
                fixture.manager(), NSMakeRange(i * 100, 100), QRectF(0, i * 50.0, 300, 50)));
    }
    std::vector<uint32_t> locations(const QList<KTTextLayoutFrame*>& frames) {
        std::vector<uint32_t> out;
        for (KTTextLayoutFrame* f : frames)
            out.push_back(f->range().location);
        return out;
    }
    ViewFixture fixture;
};

TEST_F(CacheFixture, FramesForRange) {
    struct Case {
        NSRange range;
        std::vector<uint32_t> expected;
    } cases[] = {
        {{150, 10}, {100}},
        {{100, 100}, {0, 100, 200}},
        {{100, 0}, {0, 100}},
        {{0, 0}, {0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(locations(fixture.manager()->_framesForRange(c.range)), c.expected)
            << "range " << c.range.location << "," << c.range.length;
    }
}

TEST_F(CacheFixture, HardInvalidationDropsTheEditedFrameAndEverythingAfter) {
    struct Case {
        uint32_t location;
        std::vector<uint32_t> remaining;
        NSRange actual;
    } cases[] = {
        {150, {0}, {100, 200}},
        {100, {}, {0, 300}}, // at a frame's start the frame before may end differently
    };
    for (const Case& c : cases) {
        resetFrames();
        NSRange actual{};
        fixture.manager()->invalidateLayoutForCharacterRange(NSMakeRange(c.location, 1), &actual);
        std::vector<uint32_t> remaining;
        for (KTObject* o : fixture.manager()->layoutCache())
            remaining.push_back(static_cast<KTTextLayoutFrame*>(o)->range().location);
        EXPECT_EQ(remaining, c.remaining) << "at " << c.location;
        EXPECT_EQ(actual, c.actual) << "at " << c.location;
    }
}

TEST_F(CacheFixture, FrameForPointAndRect) {
    KTLayoutManager* m = fixture.manager();
    ASSERT_NE(m->_frameForPoint(QPointF(5, 50)), nullptr);
    EXPECT_EQ(m->_frameForPoint(QPointF(5, 50))->range().location, 100u) << "y at a frame's top";
    EXPECT_EQ(m->_frameForPoint(QPointF(5, 99))->range().location, 100u);
    EXPECT_EQ(m->_frameForPoint(QPointF(5, -1)), nullptr) << "above the first frame";
    EXPECT_EQ(locations(m->_framesForRect(QRectF(0, 60, 10, 50))),
              (std::vector<uint32_t>{100, 200}));
    EXPECT_EQ(locations(m->_framesForRect(QRectF(0, 50, 10, 50))), (std::vector<uint32_t>{100}));
    qreal offset = 0;
    EXPECT_EQ(m->_firstUnlaidCharacterIndexWithVerticalOffset(&offset), 300u);
    EXPECT_EQ(offset, 150);
}

TEST(LayoutManager, UsedHeightExtrapolatesFromWhatIsLaidOut) {
    ViewFixture f(QSize(400, 700), QString(3000, QChar(u'a')));
    KTLayoutManager* m = f.manager();
    m->didReceiveMemoryWarning();
    m->layoutCache().addObject(
        std::make_shared<KTTextLayoutFrame>(m, NSMakeRange(0, 1000), QRectF(0, 0, 300, 350)));
    m->_calcUsedSizeUsingCharacterToPixelRatioSampling();
    EXPECT_DOUBLE_EQ(m->usedSize().height(), 1050);
}

TEST(LayoutManager, EmptyCacheAndEmptyText) {
    ViewFixture f(QSize(400, 700));
    KTLayoutManager* m = f.manager();
    EXPECT_TRUE(m->_framesForRange(NSMakeRange(0, 0)).isEmpty());
    EXPECT_TRUE(m->_framesForRect(QRectF(0, 0, 100, 100)).isEmpty());
    EXPECT_EQ(m->glyphRangeForBoundingRect(f.view.bounds(), f.container()), NSMakeRange(0, 0));
    uint32_t count = 0;
    const QRectF* rects =
        m->rectArrayForGlyphRange(NSMakeRange(0, 0), NSMakeRange(0, 0), f.container(), &count);
    ASSERT_EQ(count, 1u);
    const CTFontRef font = f.storage()->ctFont();
    EXPECT_EQ(rects[0], QRectF(f.view.textContainerOrigin(),
                               QSizeF(0, font->ascent() + font->descent() + font->leading())));
    EXPECT_EQ(m->usedSize().height(), 0);
}

TEST(LayoutManager, BoxesAreAQuarterOfTheViewAndLayoutStopsAtTheRect) {
    ViewFixture f(QSize(400, 700), numberedLines(400));
    KTLayoutManager* m = f.manager();
    m->ensureLayoutForBoundingRect(QRectF(0, 0, 400, 700), f.container());
    ASSERT_GT(m->layoutCache().count(), 0u);
    qreal bottom = 0;
    for (KTObject* o : m->layoutCache()) {
        auto* frame = static_cast<KTTextLayoutFrame*>(o);
        EXPECT_LE(frame->frame().height(), 175.0);
        EXPECT_DOUBLE_EQ(frame->frame().top(), bottom) << "frames lie one under the other";
        bottom = frame->frame().bottom();
    }
    EXPECT_GE(bottom, 700);
    EXPECT_LT(bottom, 700 + 175) << "layout stops once the rectangle is covered";
    EXPECT_LT(m->_firstUnlaidCharacterIndexWithVerticalOffset(), f.storage()->length());
    // The estimate covers the whole text.
    EXPECT_GT(m->usedSize().height(), bottom * 5);
}

TEST(LayoutManager, ShortAndEmptyViewsStillLayOutAndReturn) {
    for (int height : {30, 0}) {
        ViewFixture f(QSize(400, height), numberedLines(50));
        KTLayoutManager* m = f.manager();
        m->ensureLayoutForCharacterRange(NSMakeRange(0, f.storage()->length()));
        EXPECT_EQ(m->_firstUnlaidCharacterIndexWithVerticalOffset(), f.storage()->length())
            << "view height " << height;
        QImage image(400, 100, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        m->_drawGlyphsForRect(QRectF(0, 0, 400, 100), &painter);
    }
}

TEST(LayoutManager, CaretRectangles) {
    ViewFixture f(QSize(400, 700), QStringLiteral("abc\ndef"));
    KTLayoutManager* m = f.manager();
    const qreal advance = f.storage()->ctFont()->asciiAdvance();
    ASSERT_GT(advance, 0);
    auto caret = [&](uint32_t index) {
        uint32_t count = 0;
        const QRectF* rects = m->rectArrayForGlyphRange(
            NSMakeRange(index, 0), NSMakeRange(NSNotFound, 0), f.container(), &count);
        EXPECT_GE(count, 1u) << "index " << index;
        return count ? rects[0] : QRectF();
    };
    const CTFontRef font = f.storage()->ctFont();
    const QRectF first = caret(0);
    EXPECT_EQ(first.x(), 0);
    EXPECT_EQ(first.width(), 0);
    // The line box reaches one ascent and one descent above the baseline, one descent below.
    EXPECT_DOUBLE_EQ(first.y(), -font->descent());
    EXPECT_DOUBLE_EQ(first.height(), font->ascent() + 2 * font->descent());
    const QRectF afterBreak = caret(4);
    EXPECT_EQ(afterBreak.x(), 0);
    EXPECT_DOUBLE_EQ(afterBreak.y(), first.bottom())
        << "top at the bottom of the line ending in the line feed";
    const QRectF atEnd = caret(7);
    EXPECT_DOUBLE_EQ(atEnd.x(), 3 * advance);
    EXPECT_EQ(atEnd.width(), 0);
    EXPECT_GT(atEnd.y(), first.y());
    const QRectF middle = caret(2);
    EXPECT_DOUBLE_EQ(middle.x(), 2 * advance);
}

TEST(LayoutManager, SelectionRectanglesRunToTheRightEdgeExceptOnTheLastLine) {
    ViewFixture f(QSize(400, 700), QStringLiteral("abcdef\nghijkl\nmnopqr\n"));
    KTLayoutManager* m = f.manager();
    const qreal advance = f.storage()->ctFont()->asciiAdvance();
    const qreal containerWidth = f.container()->containerSize().width();
    const NSRange selection = NSMakeRange(2, 14); // "cdef\nghijkl\nmn"
    uint32_t count = 0;
    const QRectF* rects = m->rectArrayForGlyphRange(selection, selection, f.container(), &count);
    ASSERT_EQ(count, 3u);
    EXPECT_DOUBLE_EQ(rects[0].x(), 2 * advance);
    EXPECT_DOUBLE_EQ(rects[0].right(), containerWidth);
    EXPECT_DOUBLE_EQ(rects[1].x(), 0);
    EXPECT_DOUBLE_EQ(rects[1].right(), containerWidth) << "middle line";
    EXPECT_DOUBLE_EQ(rects[2].x(), 0);
    EXPECT_DOUBLE_EQ(rects[2].right(), 2 * advance) << "the line holding the last character";
}

TEST(LayoutManager, PointsMapToCharacters) {
    ViewFixture f(QSize(400, 700), QStringLiteral("abc\ndefgh"));
    KTLayoutManager* m = f.manager();
    const qreal advance = f.storage()->ctFont()->asciiAdvance();
    uint32_t count = 0;
    const QRectF line0 = m->rectArrayForGlyphRange(NSMakeRange(0, 1), NSMakeRange(NSNotFound, 0),
                                                   f.container(), &count)[0];
    const qreal y0 = line0.center().y();
    const qreal y1 = y0 + line0.height();
    struct Case {
        const char* name;
        QPointF point;
        uint32_t expected;
    } cases[] = {
        {"start", {0, y0}, 0},
        {"between b and c", {2 * advance - 1, y0}, 2},
        {"right of a line ending in a line feed", {300, y0}, 3},
        {"right of the last line", {300, y1}, 9},
        {"above the first frame", {10, -50}, 0},
        {"below all text, right of the end", {300, 5000}, 9},
        {"below all text, in the last line's columns", {2 * advance, 5000}, 6},
    };
    for (const Case& c : cases)
        EXPECT_EQ(m->glyphIndexForPoint(c.point, f.container()), c.expected) << c.name;
    EXPECT_EQ(m->_locationForPoint(QPointF(10, -50)), NSNotFound);
}

TEST(LayoutManager, PointsNeverLandInsideASurrogatePair) {
    // Emoji only: wrapped lines end between two emoji, so a point right of a line lands
    // before the last emoji of that line, never between its two halves.
    QString emoji;
    for (int i = 0; i < 40; ++i)
        emoji += QString::fromUcs4(U"\U0001F600");
    ViewFixture f(QSize(160, 400), emoji);
    KTLayoutManager* m = f.manager();
    m->ensureLayoutForCharacterRange(NSMakeRange(0, f.storage()->length()));
    const QList<KTTextLayoutLine> lines = m->_linesForRange(NSMakeRange(0, f.storage()->length()));
    ASSERT_GT(lines.size(), 1);
    for (const KTTextLayoutLine& line : lines) {
        for (qreal x : {-10.0, 5.0, 50.0, 150.0, 400.0}) {
            const uint32_t index =
                m->glyphIndexForPoint(QPointF(x, line.frame().center().y()), f.container());
            EXPECT_EQ(index % 2, 0u) << "x " << x << " line at " << line.range().location;
            EXPECT_LE(index, f.storage()->length());
        }
    }
}

TEST(LayoutManager, VisibleRangeOfAPulledDownViewStartsAtZero) {
    ViewFixture f(QSize(400, 300), numberedLines(100));
    KTLayoutManager* m = f.manager();
    // Bounds above the text, as when the view is pulled down past its top.
    const NSRange above = m->glyphRangeForBoundingRect(QRectF(0, -120, 400, 300), f.container());
    EXPECT_EQ(above.location, 0u);
    EXPECT_NE(above.length, 0u);
    EXPECT_LT(above.length, f.storage()->length());
    const NSRange below = m->glyphRangeForBoundingRect(QRectF(0, 1e6, 400, 300), f.container());
    EXPECT_NE(below.location, NSNotFound);
    // The last line ends in a line feed: its right side maps before it.
    EXPECT_EQ(NSMaxRange(below), f.storage()->length() - 1);
}

TEST(LayoutManager, EqualContainerSizeKeepsTheLayout) {
    ViewFixture f(QSize(400, 700), numberedLines(100));
    KTLayoutManager* m = f.manager();
    m->ensureLayoutForBoundingRect(QRectF(0, 0, 400, 700), f.container());
    const uint32_t frames = m->layoutCache().count();
    ASSERT_GT(frames, 0u);
    f.container()->setContainerSize(f.container()->containerSize());
    EXPECT_EQ(m->layoutCache().count(), frames);
    f.container()->setContainerSize(QSizeF(200, f.container()->containerSize().height()));
    EXPECT_EQ(m->layoutCache().count(), 0u);
}

TEST(LayoutManager, NullRangeAndRectLayOutToTheEnd) {
    ViewFixture f(QSize(400, 300), numberedLines(200));
    KTLayoutManager* m = f.manager();
    m->ensureLayoutForBoundingRect(QRectF(0, 0, 400, 300), f.container());
    ASSERT_LT(m->_firstUnlaidCharacterIndexWithVerticalOffset(), f.storage()->length());
    uint32_t count = 0;
    m->rectArrayForGlyphRange(NSMakeRange(NSNotFound, 0), NSMakeRange(NSNotFound, 0), f.container(),
                              &count);
    EXPECT_EQ(m->_firstUnlaidCharacterIndexWithVerticalOffset(), f.storage()->length());
}

// Frames as (range, rect) for comparing two layouts.
std::vector<std::pair<NSRange, QRectF>> framesOf(KTLayoutManager* m) {
    std::vector<std::pair<NSRange, QRectF>> out;
    for (KTObject* o : m->layoutCache()) {
        auto* frame = static_cast<KTTextLayoutFrame*>(o);
        out.emplace_back(frame->range(), frame->frame());
    }
    return out;
}

TEST(LayoutManager, IncrementalLayoutAfterEditsMatchesLayoutFromScratch) {
    std::mt19937 random(3);
    ViewFixture f(QSize(300, 400), numberedLines(120, 40) + QString(500, QChar(u'w')) + "\n" +
                                       numberedLines(60, 70));
    KTLayoutManager* m = f.manager();
    const QString insertions[] = {"x", "\n", "a long inserted stretch of words ", "", "\t"};
    for (int step = 0; step < 60; ++step) {
        const uint32_t length = f.storage()->length();
        const uint32_t location = random() % length;
        const uint32_t span = std::min<uint32_t>(length - location, random() % 3);
        f.storage()->replaceCharactersInRange(NSMakeRange(location, span),
                                              insertions[random() % 5]);
        const QRectF visible(0, (random() % 40) * 20.0, 300, 400);
        m->ensureLayoutForBoundingRect(visible, f.container());
        const auto incremental = framesOf(m);

        // Lay out afresh down to where the incremental layout reached.
        m->didReceiveMemoryWarning();
        m->_ensureLayoutForCharacterRange(NSMakeRange(0, NSMaxRange(incremental.back().first)),
                                          std::nullopt);
        const auto scratch = framesOf(m);
        ASSERT_EQ(incremental.size(), scratch.size()) << "step " << step;
        for (size_t i = 0; i < scratch.size(); ++i) {
            ASSERT_EQ(incremental[i].first, scratch[i].first) << "step " << step << " frame " << i;
            ASSERT_EQ(incremental[i].second, scratch[i].second)
                << "step " << step << " frame " << i;
        }
    }
}

TEST(TextView, IsTheFirstTextViewOfItsStoresFirstLayoutManager) {
    ViewFixture f(QSize(300, 200), QStringLiteral("one\ntwo\n"));
    ASSERT_FALSE(f.storage()->layoutManagers().isEmpty());
    EXPECT_EQ(f.storage()->layoutManagers().first()->firstTextView(), &f.view);
    EXPECT_EQ(f.container()->layoutManager(), f.manager());
    EXPECT_EQ(f.container()->textView(), &f.view);
    // Text colour: the attribute over the whole text, read back from the first character.
    f.view.setTextColor(QColor(10, 20, 30));
    EXPECT_EQ(f.view.textColor(), QColor(10, 20, 30));
    EXPECT_EQ(f.storage()->attributesAtIndex(5).foregroundColor, QColor(10, 20, 30));
    f.view.setTextColor(QColor());
    EXPECT_FALSE(f.storage()->attributesAtIndex(5).foregroundColor);
    // The container follows the view's width; the visible rectangle moves with scrolling.
    EXPECT_EQ(f.container()->containerSize().width(), f.view.viewport()->width());
    EXPECT_EQ(f.view.bounds().topLeft(), QPointF(0, 0));
    // The used height covers the laid-out text once the view has drawn.
    QImage image(f.view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    f.view.viewport()->render(&image);
    EXPECT_GT(f.view.contentSize().height(), 0);
}

TEST(TextView, RendersTextToAnImage) {
    ViewFixture f(QSize(520, 360));
    const QString sample = QStringLiteral(
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n\t<title>Quorvel</title>\n</head>\n"
        "<script>\nfunction greet(name) {\n\treturn `Hello, ${name}!`; // a comment that is long "
        "enough to wrap at the edge of this narrow view\n}\n</script>\n"
        "Caf\u00e9 e\u0301t\u00e9 \u6f22\u5b57\u304b\u306a \U0001F600\U0001F680 "
        "\u05e9\u05dc\u05d5\u05dd "
        "\u0645\u0631\u062d\u0628\u0627\n");
    f.view.setText(sample);
    f.view.setTextColor(QColor(40, 40, 40));
    KTTextAttributes keyword;
    keyword.foregroundColor = QColor(170, 13, 145);
    const NSRange functionWord = NSMakeRange(static_cast<uint32_t>(sample.indexOf("function")), 8);
    f.storage()->addAttributes(keyword, functionWord);
    KTTextAttributes comment;
    comment.foregroundColor = QColor(0, 116, 0);
    const auto commentStart = static_cast<uint32_t>(sample.indexOf("//"));
    f.storage()->addAttributes(
        comment,
        NSMakeRange(commentStart,
                    static_cast<uint32_t>(sample.indexOf('\n', commentStart)) - commentStart));
    f.view.setBackgroundColor(QColor(250, 250, 245));

    QImage image(f.view.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    f.view.viewport()->render(&image);
    const QString path = quorvel::test::outputDirectory() + "/text_view.png";
    ASSERT_TRUE(image.save(path));
    // Something other than the background was drawn in the first line's band.
    bool ink = false;
    for (int x = 0; x < 100 && !ink; ++x)
        ink = image.pixelColor(x, 10) != QColor(250, 250, 245);
    EXPECT_TRUE(ink);
}

} // namespace
