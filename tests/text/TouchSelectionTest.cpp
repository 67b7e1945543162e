// Touch selection, caret, handles, loupe, edit menu and autoscroll of the editing view, driven by
// real touch events (and the mouse as one finger).
#include "platform/ViewController.h"
#include "platform/Window.h"
#include "support/TestSupport.h"
#include "text/KTLayoutManager.h"
#include "text/KTLoupe.h"
#include "text/KTTextView.h"

#include <QApplication>
#include <QClipboard>
#include <QPainter>
#include <QStyleHints>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Counts how often the text itself is drawn.
class CountingTextView : public KTTextView {
public:
    using KTTextView::KTTextView;
    int draws = 0;
    void drawRect(const QRectF& rect, QPainter* painter) override {
        ++draws;
        KTTextView::drawRect(rect, painter);
    }
};

QString numberedLines(int count) {
    QString text;
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("line %1 alpha beta gamma\n").arg(i, 2, 10, QLatin1Char('0'));
    return text;
}

QPointingDevice* touchDevice() {
    static QPointingDevice* device = QTest::createTouchDevice();
    return device;
}

struct TouchFixture {
    QWidget window;
    CountingTextView* view;

    explicit TouchFixture(const QString& text = numberedLines(60), QSize size = QSize(500, 400)) {
        // Taps a quarter second apart are separate taps.
        QGuiApplication::styleHints()->setMouseDoubleClickInterval(150);
        window.resize(size);
        view = new CountingTextView(&window);
        view->setGeometry(QRect(QPoint(0, 0), size));
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setPointSizeF(14);
        view->setFont(font);
        view->setText(text);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        QApplication::processEvents();
        KTLoupeController::sharedLoupeController()->setKeyWindow(&window);
    }
    ~TouchFixture() {
        KTLoupeController::sharedLoupeController()->setLoupeVisible(false);
        KTLoupeController::sharedLoupeController()->setLoupeActive(true);
        KTEditMenu::sharedMenuController()->setMenuVisible(false, false);
    }

    // The middle of the caret at an index, in the viewport's coordinates.
    QPoint at(uint32_t index) const {
        const QRectF caret = view->caretRectForPosition({index});
        return (caret.center() - view->contentOffset()).toPoint();
    }
    QPoint fromContent(const QPointF& point) const {
        return (point - view->contentOffset()).toPoint();
    }
    void press(QPoint point) { QTest::touchEvent(view->viewport(), touchDevice()).press(0, point); }
    void move(QPoint point) { QTest::touchEvent(view->viewport(), touchDevice()).move(0, point); }
    void release(QPoint point) {
        QTest::touchEvent(view->viewport(), touchDevice()).release(0, point);
    }
    void tap(QPoint point) {
        press(point);
        release(point);
    }
    // Waits out the double-tap interval so that the next tap is a first tap again.
    static void pause() { QTest::qWait(250); }
    void save(const QString& name) {
        QApplication::processEvents();
        // The loupe lies in a layer of the window, so it shows in the window's picture.
        const QImage image = window.grab().toImage();
        image.save(QDir(quorvel::test::outputDirectory()).filePath(name));
    }
    QList<KTTextOverlayView*> selectionViews() const {
        QList<KTTextOverlayView*> views;
        for (KTTextOverlayView* v : {view->selectionFirstLineView(), view->selectionRangeView(),
                                     view->selectionLastLineView()}) {
            if (v)
                views.append(v);
        }
        return views;
    }
};

KTLoupeController* loupe() {
    return KTLoupeController::sharedLoupeController();
}

} // namespace

TEST(TouchSelection, ShortTapPlacesCaretAndTapOnCaretShowsMenu) {
    QGuiApplication::clipboard()->clear();
    TouchFixture f;
    const QPoint point = f.at(30);
    f.press(point);
    EXPECT_FALSE(f.view->caret());
    f.release(point);
    EXPECT_EQ(f.view->selectedRange(), NSMakeRange(30, 0));
    EXPECT_TRUE(f.view->isFirstResponder());
    EXPECT_FALSE(loupe()->isLoupeVisible());
    ASSERT_TRUE(f.view->caret());
    EXPECT_FALSE(KTEditMenu::sharedMenuController()->isMenuVisible());

    TouchFixture::pause();
    f.tap(point);
    KTEditMenu* menu = KTEditMenu::sharedMenuController();
    EXPECT_TRUE(menu->isMenuVisible());
    EXPECT_EQ(menu->visibleTitles(), QStringList({"Select", "Select All"}));
    f.save(QStringLiteral("textview-caret-menu.png"));

    // Tapping "Select" in the menu selects the word under the caret.
    QTest::mouseClick(menu, Qt::LeftButton, {}, QPoint(20, menu->height() / 2));
    EXPECT_FALSE(menu->isMenuVisible());
    EXPECT_EQ(f.view->selectedRange(), NSMakeRange(30, 2)); // "01" of "line 01 alpha"
}

TEST(TouchSelection, LongPressShowsLoupeAndDragsCaret) {
    TouchFixture f;
    const QPoint start = f.at(210);
    f.press(start);
    QTest::qWait(600);
    EXPECT_TRUE(loupe()->isLoupeVisible());
    EXPECT_EQ(loupe()->loupeStyle(), 0);
    EXPECT_TRUE(f.view->isDragCaretSelectionActive());
    EXPECT_EQ(f.view->selectedRange(), NSMakeRange(210, 0));
    f.save(QStringLiteral("loupe-circular.png"));

    const QPoint target = f.at(260);
    f.move(target);
    EXPECT_EQ(f.view->selectedRange(), NSMakeRange(260, 0));
    EXPECT_EQ(loupe()->targetPoint(), QPointF(f.view->viewport()->mapTo(&f.window, target)));
    f.release(target);
    EXPECT_FALSE(loupe()->isLoupeVisible());
    EXPECT_FALSE(f.view->isDragCaretSelectionActive());
    EXPECT_TRUE(f.view->isScrollEnabled());
    EXPECT_TRUE(KTEditMenu::sharedMenuController()->isMenuVisible());
    EXPECT_EQ(f.view->selectedRange(), NSMakeRange(260, 0));
}

namespace {
struct ScrollDelegate : KTTextViewDelegate {
    QStringList log;
    void scrollViewDidScroll(KTTextView*) override {
        if (log.isEmpty() || log.last() != "didScroll")
            log << "didScroll";
    }
    void scrollViewWillBeginDragging(KTTextView*) override { log << "willBeginDragging"; }
    void scrollViewDidEndDragging(KTTextView*, bool decelerate) override {
        log << (decelerate ? "didEndDragging decelerating" : "didEndDragging");
    }
};
} // namespace

TEST(TouchSelection, MoveBeforeLongPressScrollsInsteadOfSelecting) {
    TouchFixture f;
    ScrollDelegate delegate;
    f.view->setDelegate(&delegate);
    f.press(QPoint(200, 300));
    f.move(QPoint(200, 250));
    f.move(QPoint(200, 100));
    QTest::qWait(600);
    EXPECT_FALSE(loupe()->isLoupeVisible());
    f.release(QPoint(200, 100));
    EXPECT_EQ(f.view->contentOffset().y(), 200);
    EXPECT_EQ(f.view->selectedRange().location, NSNotFound);
    EXPECT_EQ(delegate.log, QStringList({"willBeginDragging", "didScroll", "didEndDragging"}));
    f.view->setDelegate(nullptr);
}

TEST(TouchSelection, DoubleTapSelectsWordAndDragExtendsIt) {
    TouchFixture f;
    // "line 00 alpha beta gamma\n": 25 characters a line; "beta" of line 2 at 50 + 14.
    const QPoint word = f.at(50 + 15);
    f.tap(word);
    f.press(word);
    EXPECT_EQ(f.view->selectedRange(), NSMakeRange(64, 4));
    ASSERT_TRUE(f.view->selectedWord());
    EXPECT_EQ(f.view->dragSelectionActive(), 1u);
    QTest::qWait(300);
    EXPECT_TRUE(loupe()->isLoupeVisible());
    EXPECT_EQ(loupe()->loupeStyle(), 1);
    // Dragging forward keeps the word's start and moves the end.
    f.move(f.at(75 + 20));
    EXPECT_EQ(f.view->selectedRange(), NSMakeRange(64, 31));
    // Dragging back before the word keeps the word's end.
    f.move(f.at(50 + 2));
    EXPECT_EQ(f.view->selectedRange(), NSMakeRange(52, 16));
    f.release(f.at(50 + 2));
    EXPECT_FALSE(loupe()->isLoupeVisible());
    EXPECT_TRUE(KTEditMenu::sharedMenuController()->isMenuVisible());
    const QStringList titles = KTEditMenu::sharedMenuController()->visibleTitles();
    EXPECT_EQ(titles.mid(0, 2), QStringList({"Cut", "Copy"}));
    EXPECT_FALSE(titles.contains(QStringLiteral("Select All")));
}

TEST(TouchSelection, HandleDragsKeepOneCharacter) {
    struct Case {
        const char* name;
        bool startHandle;
        uint32_t dragTo;
        NSRange expected;
    };
    // The selection runs from 60
    // to 70.
    const Case cases[] = {
        {"start handle past the "
         "end",
         true, 120, NSMakeRange(69, 1)},
        {"start handle onto the "
         "end",
         true, 70, NSMakeRange(60, 10)},
        {"start handle inside", true, 65, NSMakeRange(65, 5)},
        {"start handle earlier", true, 30, NSMakeRange(30, 40)},
        {"end handle before the "
         "start",
         false, 10, NSMakeRange(60, 1)},
        {"end handle onto the "
         "start",
         false, 60, NSMakeRange(60, 10)},
        {"end handle further", false, 100, NSMakeRange(60, 40)},
    };
    for (const Case& c : cases) {
        TouchFixture f;
        ASSERT_TRUE(f.view->becomeFirstResponder());
        f.view->setSelectedRange(NSMakeRange(60, 10));
        KTTextSelectionHandle* handle =
            c.startHandle ? f.view->selectionHandleStart() : f.view->selectionHandleEnd();
        ASSERT_TRUE(handle) << c.name;
        const QPoint grab = f.fromContent(handle->frame().center());
        f.press(grab);
        EXPECT_EQ(f.view->dragSelectionActive(), c.startHandle ? 1u : 2u) << c.name;
        EXPECT_TRUE(loupe()->isLoupeVisible()) << c.name;
        EXPECT_FALSE(f.view->isScrollEnabled()) << c.name;
        const QPoint target = f.at(c.dragTo);
        f.move(target);
        EXPECT_EQ(f.view->selectedRange(), c.expected) << c.name;
        f.release(target);
        EXPECT_EQ(f.view->selectedRange(), c.expected) << c.name;
        EXPECT_EQ(f.view->dragSelectionActive(), 0u) << c.name;
        EXPECT_FALSE(loupe()->isLoupeVisible()) << c.name;
    }
}

TEST(TouchSelection, HandleDragNeverSplitsACharacter) {
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    TouchFixture f(QStringLiteral("ab") + emoji + QStringLiteral("cd\nsecond line\n"));
    ASSERT_TRUE(f.view->becomeFirstResponder());
    f.view->setSelectedRange(NSMakeRange(0, 4)); // "ab" and the
                                                 // emoji
    f.press(f.fromContent(f.view->selectionHandleStart()->frame().center()));
    f.move(f.at(10));
    EXPECT_EQ(f.view->selectedRange(), NSMakeRange(2, 2));
    f.release(f.at(10));
}

TEST(TouchSelection, MouseActsAsOneFinger) {
    TouchFixture f;
    QTest::mouseClick(f.view->viewport(), Qt::LeftButton, {}, f.at(40));
    EXPECT_EQ(f.view->selectedRange(), NSMakeRange(40, 0));
    TouchFixture::pause();
    QTest::mouseDClick(f.view->viewport(), Qt::LeftButton, {}, f.at(40));
    EXPECT_EQ(f.view->selectedRange(), NSMakeRange(39, 4)); // "beta" of
                                                            // line 1
}

TEST(TouchSelection, SelectionViews) {
    struct Case {
        const char* name;
        NSRange selection;
        int views;
    };
    const Case cases[] = {
        {"within one line", NSMakeRange(3, 5), 1},
        {"over three lines", NSMakeRange(3, 55), 3},
        {"over two lines", NSMakeRange(3, 30), 2},
        {"caret", NSMakeRange(3, 0), 0},
    };
    for (const Case& c : cases) {
        TouchFixture f;
        ASSERT_TRUE(f.view->becomeFirstResponder());
        f.view->setSelectedRange(c.selection);
        EXPECT_EQ(f.selectionViews().size(), c.views) << c.name;
        EXPECT_EQ(f.view->caret() != nullptr, c.selection.length == 0) << c.name;
        EXPECT_EQ(f.view->selectionHandleStart() != nullptr, c.selection.length > 0) << c.name;
    }
    TouchFixture f;
    ASSERT_TRUE(f.view->becomeFirstResponder());
    f.view->setSelectedRange(NSMakeRange(3, 55));
    // The first line's view starts
    // after the start handle and
    // the last ends at the end
    // handle.
    const QRectF a = f.view->caretRectForPosition({3});
    const QRectF b = f.view->caretRectForPosition({58});
    EXPECT_EQ(f.view->selectionFirstLineView()->frame().left(), a.right());
    EXPECT_EQ(f.view->selectionLastLineView()->frame().right(), b.left());
    EXPECT_EQ(f.view->selectionRangeView()->frame().top(), a.bottom());
    EXPECT_EQ(f.view->selectionRangeView()->frame().bottom(), b.top());
    EXPECT_EQ(f.view->selectionHandleStart()->frame(), a);
    EXPECT_EQ(f.view->selectionHandleEnd()->frame(), b);
    f.save(QStringLiteral("textview-selection.png"));
}

TEST(TouchSelection, MovingCaretOrSelectionNeitherLaysOutNorRedraws) {
    TouchFixture f;
    ASSERT_TRUE(f.view->becomeFirstResponder());
    f.view->setSelectedRange(NSMakeRange(5, 0));
    QTest::qWait(50);
    const uint32_t frames = f.view->layoutManager()->layoutCache().count();
    ASSERT_GT(frames, 0u);
    auto moves = [&] {
        for (uint32_t index : {5u, 40u, 80u, 130u, 26u})
            f.view->setSelectedRange(NSMakeRange(index, 0));
        f.view->setSelectedRange(NSMakeRange(12, 3));
        f.view->setSelectedRange(NSMakeRange(12, 90));
        f.view->setSelectedRange(NSMakeRange(40, 90));
        // A handle drag with the
        // loupe, which renders the
        // window.
        f.press(f.fromContent(f.view->selectionHandleEnd()->frame().center()));
        f.move(f.at(150));
        f.move(f.at(60));
        f.release(f.at(60));
        f.view->setSelectedRange(NSMakeRange(7, 0));
        QTest::qWait(30); // let every
                          // repaint happen
    };
    f.view->draws = 0;
    moves();
    EXPECT_EQ(f.view->draws, 0);
    EXPECT_EQ(f.view->layoutManager()->layoutCache().count(), frames);
    // Once the lines of those
    // frames are known, the same
    // moves typeset nothing.
    const uint64_t typeset = CTFramesetterFrameCount();
    moves();
    EXPECT_EQ(CTFramesetterFrameCount(), typeset);
    EXPECT_EQ(f.view->draws, 0);
    // An edit does draw again.
    f.view->insertText(QStringLiteral("x"));
    QTest::qWait(30);
    EXPECT_GT(f.view->draws, 0);
}

TEST(TouchSelection, AutoscrollBands) {
    TouchFixture f;
    const qreal height = f.view->viewport()->height();
    struct Case {
        const char* name;
        qreal offset;
        qreal y; // in the viewport
        uint32_t direction;
    };
    const Case cases[] = {
        {"top band at the top", 0, 5, 0},
        {"bottom band at the top", 0, height - 5, KTAutoScrollDown},
        {"middle", 0, height / 2, 0},
        {"top band further down", 200, 5, KTAutoScrollUp},
        {"just above the bottom "
         "band",
         200, height - 33, 0},
    };
    for (const Case& c : cases) {
        f.view->setContentOffset(QPointF(0, c.offset));
        const QPointF point = QPointF(100, c.y) + f.view->contentOffset();
        EXPECT_EQ(f.view->_autoScrollDirectionForPoint(point), c.direction) << c.name;
    }
}

TEST(TouchSelection, DragIntoBottomBandScrollsToTheEnd) {
    TouchFixture f;
    const QPoint start = f.at(30);
    f.press(start);
    QTest::qWait(600);
    ASSERT_TRUE(f.view->isDragCaretSelectionActive());
    // Into the top band at the
    // top: nothing scrolls.
    f.move(QPoint(100, 4));
    EXPECT_FALSE(f.view->isAutoScrolling());
    EXPECT_EQ(f.view->contentOffset().y(), 0);

    const int height = f.view->viewport()->height();
    f.move(QPoint(100, height - 8));
    ASSERT_TRUE(f.view->isAutoScrolling());
    EXPECT_EQ(f.view->currentAutoScrollDirection(), KTAutoScrollDown);
    EXPECT_FALSE(loupe()->isLoupeActive()); // the lens shows white while the text runs by

    qreal previous = f.view->contentOffset().y();
    uint32_t caret = f.view->selectedRange().location;
    bool ended = false;
    for (int tick = 0; tick < 1000 && !ended; ++tick) {
        f.view->_autoScroll();
        const qreal offset = f.view->contentOffset().y();
        const qreal end = std::max<qreal>(0, std::floor(f.view->contentSize().height() - height));
        const qreal step = offset - previous;
        EXPECT_LE(step, 64) << "tick " << tick;
        EXPECT_LE(offset, end) << "tick " << tick;
        if (offset < end) {
            EXPECT_GE(step, 16) << "tick " << tick;
        }
        ended = offset == previous && offset == end;
        EXPECT_GE(f.view->selectedRange().location, caret) << "the caret follows";
        caret = f.view->selectedRange().location;
        previous = offset;
    }
    EXPECT_TRUE(ended);
    EXPECT_GT(caret, 1000u);

    // Back out of the band:
    // scrolling stops and the lens
    // shows the text again.
    f.move(QPoint(100, height / 2));
    EXPECT_FALSE(f.view->isAutoScrolling());
    EXPECT_TRUE(loupe()->isLoupeActive());
    f.release(QPoint(100, height / 2));
    EXPECT_FALSE(loupe()->isLoupeVisible());
}

TEST(TouchSelection, AutoscrollTimerRunsByItself) {
    TouchFixture f;
    f.press(f.at(30));
    QTest::qWait(600);
    const int height = f.view->viewport()->height();
    f.move(QPoint(100, height - 8));
    QTRY_VERIFY(f.view->contentOffset().y() > 100);
    f.release(QPoint(100, height - 8));
    EXPECT_FALSE(f.view->isAutoScrolling());
    const qreal stopped = f.view->contentOffset().y();
    QTest::qWait(100);
    EXPECT_EQ(f.view->contentOffset().y(), stopped);
}

TEST(TouchSelection, MenuPlacement) {
    struct Case {
        const char* name;
        int viewHeight;
        NSRange selection;
        bool below;
        bool shrunk;
    };
    const Case cases[] = {
        {"room above", 400, NSMakeRange(25 * 6 + 5, 4), false, false},
        {"near the top, room "
         "below",
         400, NSMakeRange(5, 4), true, false},
        {"near the top, no room "
         "below",
         70, NSMakeRange(5, 4), false, true},
    };
    for (const Case& c : cases) {
        TouchFixture f(numberedLines(60), QSize(500, c.viewHeight));
        ASSERT_TRUE(f.view->becomeFirstResponder());
        f.view->setSelectedRange(c.selection);
        f.view->_showMenu();
        KTEditMenu* menu = KTEditMenu::sharedMenuController();
        ASSERT_TRUE(menu->isMenuVisible()) << c.name;
        EXPECT_EQ(menu->arrowDirection() == KTEditMenu::ArrowDirection::Up, c.below) << c.name;
        // The selection's visible part, in the viewport.
        const QRectF selected = f.view->selectionFirstLineView()
                                    ->frame()
                                    .intersected(f.view->bounds())
                                    .translated(-f.view->contentOffset());
        if (c.shrunk) {
            EXPECT_EQ(menu->targetRect().size(), QSizeF(2, 2)) << c.name;
            EXPECT_EQ(menu->targetRect().center(), selected.center()) << c.name;
        } else {
            EXPECT_EQ(menu->targetRect(), selected) << c.name;
        }
        if (c.below) {
            EXPECT_GE(menu->geometry().top(), selected.bottom() - 1) << c.name;
        } else if (!c.shrunk) {
            EXPECT_LE(menu->geometry().bottom(), selected.top() + 1) << c.name;
        }
    }
}

TEST(Loupe, FollowsTargetAndMagnifiesTheWindow) {
    // A window of one colour with
    // a black square: the lens
    // shows what lies around the
    // target.
    QWidget window;
    window.resize(300, 300);
    window.setAutoFillBackground(true);
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, QColor(20, 60, 200));
    window.setPalette(palette);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    KTLoupeController* controller = loupe();
    controller->setKeyWindow(&window);
    for (int style : {0, 1}) {
        controller->setLoupeStyle(style);
        controller->setTargetPoint(QPointF(150, 200));
        controller->setLoupeVisible(true);
        KTLoupe* lens = controller->loupe();
        ASSERT_TRUE(lens);
        EXPECT_EQ(lens->style(), style);
        // The bottom centre sits
        // on the target, wherever
        // it moves.
        for (QPointF target : {QPointF(150, 200), QPointF(90, 140), QPointF(220, 260)}) {
            controller->setTargetPoint(target);
            const QRect g = lens->geometry();
            EXPECT_NEAR(g.center().x() + 0.5, target.x(), 1) << style;
            EXPECT_NEAR(g.bottom() + 1, target.y(), 1) << style;
        }
        const QPointF middle = lens->clippingBounds().center() + QPointF(0, 12);
        QImage active = lens->grab().toImage();
        const QColor shown = active.pixelColor(middle.toPoint());
        EXPECT_EQ(shown.rgb(), QColor(20, 60, 200).rgb()) << style;

        controller->setLoupeActive(false);
        const QImage inactive = lens->grab().toImage();
        const QColor white = inactive.pixelColor(middle.toPoint());
        EXPECT_NEAR(white.alpha(), 128, 12) << style;
        EXPECT_GE(white.red(), 240) << style;
        EXPECT_GE(white.blue(), 240) << style;
        inactive.save(QDir(quorvel::test::outputDirectory())
                          .filePath(QStringLiteral("loupe-"
                                                   "inactive-"
                                                   "%1.png")
                                        .arg(style)));
        controller->setLoupeActive(true);
        controller->setLoupeVisible(false);
        EXPECT_FALSE(controller->loupe());
    }
}

TEST(Loupe, TurningTheInterfaceHidesIt) {
    QWidget window;
    window.resize(200, 200);
    window.show();
    KTLoupeController* controller = loupe();
    controller->setKeyWindow(&window);
    controller->setLoupeVisible(true);
    ASSERT_TRUE(controller->isLoupeVisible());
    const InterfaceOrientation before = DeviceOrientation::instance()->orientation();
    DeviceOrientation::instance()->setOrientation(before == InterfaceOrientation::Portrait
                                                      ? InterfaceOrientation::Landscape
                                                      : InterfaceOrientation::Portrait);
    EXPECT_FALSE(controller->isLoupeVisible());
    DeviceOrientation::instance()->setOrientation(before);
}

TEST(TouchSelection, SelectionLoupeFollowsDraggedHandle) {
    TouchFixture f;
    ASSERT_TRUE(f.view->becomeFirstResponder());
    f.view->setSelectedRange(NSMakeRange(30, 60));
    f.press(f.fromContent(f.view->selectionHandleEnd()->frame().center()));
    f.move(f.at(140));
    ASSERT_TRUE(loupe()->isLoupeVisible());
    EXPECT_EQ(loupe()->loupeStyle(), 1);
    const QRectF handle = f.view->selectionHandleEnd()->frame();
    EXPECT_EQ(loupe()->targetPoint(),
              f.view->convertPointToWindow(QPointF(handle.center().x(), handle.top())));
    f.save(QStringLiteral("loupe-rectangular.png"));
    f.release(f.at(140));
}

TEST(TouchSelection, ScrollingMovesTheCaretWithTheText) {
    TouchFixture f;
    ASSERT_TRUE(f.view->becomeFirstResponder());
    f.view->setSelectedRange(NSMakeRange(25 * 10, 0));
    ASSERT_TRUE(f.view->caret());
    const QPoint before = f.view->caret()->geometry().topLeft();
    f.view->setContentOffset(QPointF(0, 40));
    EXPECT_EQ(f.view->caret()->geometry().topLeft(), before - QPoint(0, 40));
}

TEST(TouchSelection, CaretBlinksAndStopsBlinkingOpaque) {
    TouchFixture f;
    ASSERT_TRUE(f.view->becomeFirstResponder());
    f.view->setSelectedRange(NSMakeRange(3, 0));
    KTTextCaret* caret = f.view->caret();
    ASSERT_TRUE(caret);
    ASSERT_TRUE(caret->animation());
    EXPECT_EQ(caret->animation()->objectName(), QStringLiteral("KTTextCaretBlinkAnimation"));
    EXPECT_TRUE(caret->isBlinking());
    // After the pause the caret fades.
    QTRY_VERIFY(caret->alpha() < 0.5);
    caret->stopBlinking();
    EXPECT_FALSE(caret->isBlinking());
    QTRY_COMPARE(caret->alpha(), 1.0);
    QTest::qWait(1000);
    EXPECT_EQ(caret->alpha(), 1.0);
}

TEST(TouchSelection, CancelledTouchEndsTheDrag) {
    TouchFixture f;
    f.press(f.at(210));
    QTest::qWait(600);
    ASSERT_TRUE(loupe()->isLoupeVisible());
    const int height = f.view->viewport()->height();
    f.move(QPoint(100, height - 8));
    ASSERT_TRUE(f.view->isAutoScrolling());
    QTouchEvent cancel(QEvent::TouchCancel, touchDevice());
    QCoreApplication::sendEvent(f.view->viewport(), &cancel);
    // Nothing is left running or switched off.
    EXPECT_FALSE(loupe()->isLoupeVisible());
    EXPECT_FALSE(f.view->isAutoScrolling());
    EXPECT_FALSE(f.view->isDragCaretSelectionActive());
    EXPECT_TRUE(f.view->isScrollEnabled());
    // The next touch is an ordinary tap.
    TouchFixture::pause();
    f.tap(f.at(40));
    EXPECT_EQ(f.view->selectedRange(), NSMakeRange(40, 0));
}

TEST(TouchSelection, TapOutsideTheHandlesCollapsesTheSelection) {
    TouchFixture f;
    ASSERT_TRUE(f.view->becomeFirstResponder());
    f.view->setSelectedRange(NSMakeRange(30, 60));
    f.tap(f.at(160));
    EXPECT_EQ(f.view->selectedRange(), NSMakeRange(160, 0));
    EXPECT_FALSE(f.view->selectionHandleStart());
    EXPECT_TRUE(f.view->caret());
}
