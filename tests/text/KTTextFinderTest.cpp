#include "text/KTTextFinder.h"
#include "platform/Animations.h"
#include "support/TestSupport.h"
#include "text/KTFindIndicator.h"
#include "text/KTTextStorage.h"
#include "text/KTTextView.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

static void PrintTo(const NSRange& range, std::ostream* os) {
    *os << '(' << range.location << ", " << range.length << ')';
}

namespace {

constexpr uint32_t kDefaults =
    KTTextFinderMatcher::CaseInsensitiveSearch | KTTextFinderMatcher::LiteralSearch;

// A window with a text view and the shared finder pointed at it, options back to the defaults.
class Finder : public ::testing::Test {
protected:
    void SetUp() override {
        setAnimationsEnabled(false);
        window = std::make_unique<QWidget>();
        window->resize(768, 600);
        view = new KTTextView(window.get());
        view->setGeometry(0, 0, 768, 500);
        window->show();
        finder = KTTextFinder::sharedTextFinder();
        finder->setTextView(nullptr);
        finder->setMode(KTTextFinder::Find);
        finder->findField()->clear();
        finder->replaceField()->clear();
        finder->setCompareOptions(kDefaults);
        finder->setTextView(view);
    }
    void TearDown() override {
        finder->hide();
        finder->setTextView(nullptr);
        finder->setParent(nullptr);
    }
    void search(const QString& text) {
        finder->findField()->setText(text);
        finder->_reset();
    }

    std::unique_ptr<QWidget> window;
    KTTextView* view = nullptr;
    KTTextFinder* finder = nullptr;
};

TEST_F(Finder, StepsThroughTwoOccurrencesStartingWithTheSecond) {
    view->setText(QStringLiteral("alpha beta alpha gamma"));
    search(QStringLiteral("alpha"));
    ASSERT_EQ(finder->matches(), (QList<NSRange>{NSMakeRange(0, 5), NSMakeRange(11, 5)}));
    EXPECT_EQ(finder->shownMatch(), NSMakeRange(11, 5));
    EXPECT_TRUE(finder->nextButton()->isEnabled());
    QTest::mouseClick(finder->nextButton(), Qt::LeftButton);
    EXPECT_EQ(finder->shownMatch(), NSMakeRange(0, 5));
    QTest::mouseClick(finder->previousButton(), Qt::LeftButton);
    EXPECT_EQ(finder->shownMatch(), NSMakeRange(11, 5));
    // The selection is not the finder's business.
    ASSERT_NE(finder->findIndicator(), nullptr);
    EXPECT_EQ(finder->findIndicator()->textLayers().first().string, QStringLiteral("alpha"));
}

TEST_F(Finder, OneMatchIsShownAtOnceAndArrowsKeepShowingIt) {
    view->setText(QStringLiteral("one two three"));
    search(QStringLiteral("two"));
    EXPECT_EQ(finder->shownMatch(), NSMakeRange(4, 3));
    finder->_findInDirection(1);
    EXPECT_EQ(finder->shownMatch(), NSMakeRange(4, 3));
    finder->_findInDirection(0);
    EXPECT_EQ(finder->shownMatch(), NSMakeRange(4, 3));
}

struct OptionCase {
    const char* label;
    QString text;
    QString find;
    uint32_t options;
    QList<NSRange> matches;
    bool marked = false;
};

class FinderOptions : public Finder, public ::testing::WithParamInterface<OptionCase> {};

TEST_P(FinderOptions, CollectsMatchesForTheOptions) {
    const OptionCase& c = GetParam();
    view->setText(c.text);
    finder->findField()->setText(c.find);
    finder->setCompareOptions(c.options); // collects again
    EXPECT_EQ(finder->matches(), c.matches);
    EXPECT_EQ(finder->previousButton()->isEnabled(), !c.matches.isEmpty());
    EXPECT_EQ(finder->isFindFieldMarked(), c.marked);
    EXPECT_EQ(finder->statusText().isEmpty(), !c.marked);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FinderOptions,
    ::testing::Values(
        OptionCase{"CaseInsensitiveByDefault",
                   "Word word WORD",
                   "word",
                   kDefaults,
                   {NSMakeRange(0, 4), NSMakeRange(5, 4), NSMakeRange(10, 4)}},
        OptionCase{"MatchCase",
                   "Word word WORD",
                   "word",
                   KTTextFinderMatcher::LiteralSearch,
                   {NSMakeRange(5, 4)}},
        OptionCase{"RegexClass",
                   "a1b22c3",
                   "[0-9]",
                   kDefaults | KTTextFinderMatcher::RegularExpressionSearch,
                   {NSMakeRange(1, 1), NSMakeRange(3, 1), NSMakeRange(4, 1), NSMakeRange(6, 1)}},
        OptionCase{"PlainBracketIsLiteral", "a[0-9]", "[0-9]", kDefaults, {NSMakeRange(1, 5)}},
        OptionCase{"InvalidPatternMarksTheField",
                   "abc",
                   "(ab",
                   kDefaults | KTTextFinderMatcher::RegularExpressionSearch,
                   {},
                   true},
        OptionCase{"RunawayPatternIsStopped",
                   QString(40, QLatin1Char('a')) + "b",
                   "(a+)+$",
                   kDefaults | KTTextFinderMatcher::RegularExpressionSearch,
                   {},
                   true},
        OptionCase{"EmptyFindText", "abc", "", kDefaults, {}},
        OptionCase{"NoOccurrence", "abc", "x", kDefaults, {}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(Finder, MatchesAreCollectedAgainWhenShownOrGivenAnotherView) {
    view->setText(QStringLiteral("xx yy xx"));
    search(QStringLiteral("xx"));
    ASSERT_EQ(finder->matches().size(), 2);
    // The end of the text goes away under the stored matches.
    view->textStorage()->replaceCharactersInRange(NSMakeRange(2, 6), QString());
    finder->_findInDirection(1); // a stale range past the end is passed over, not shown
    EXPECT_EQ(finder->shownMatch(), NSMakeRange(0, 2));
    finder->show();
    EXPECT_EQ(finder->matches(), (QList<NSRange>{NSMakeRange(0, 2)}));

    KTTextView other(window.get());
    other.setText(QStringLiteral("no match here"));
    finder->setTextView(&other);
    EXPECT_TRUE(finder->matches().isEmpty());
    EXPECT_FALSE(finder->nextButton()->isEnabled());
    finder->_findInDirection(1);
    EXPECT_EQ(finder->shownMatch().location, NSNotFound);
    finder->setTextView(view);
}

TEST_F(Finder, TypingSearchesAgainAfterThePause) {
    view->setText(QStringLiteral("cat dog cat"));
    finder->show();
    QTest::keyClicks(finder->findField(), QStringLiteral("cat"));
    EXPECT_TRUE(finder->matches().isEmpty()); // not before the pause
    QTRY_COMPARE(finder->matches().size(), 2);
    EXPECT_EQ(finder->shownMatch(), NSMakeRange(8, 3));
}

TEST_F(Finder, ModeShowsAndHidesTheReplaceField) {
    finder->show();
    finder->setMode(KTTextFinder::FindAndReplace);
    EXPECT_TRUE(finder->replaceField()->isVisible());
    EXPECT_TRUE(finder->replaceButton()->isVisible());
    EXPECT_LT(finder->findField()->width(), finder->findField()->parentWidget()->width() / 2 + 1);
    finder->setMode(KTTextFinder::Find);
    EXPECT_FALSE(finder->replaceField()->isVisible());
    EXPECT_EQ(finder->findField()->width(), finder->findField()->parentWidget()->width());
}

TEST_F(Finder, ScreenshotOfTheBar) {
    view->setText(QStringLiteral("<p>find me, then find me again</p>"));
    finder->show();
    finder->setMode(KTTextFinder::FindAndReplace);
    finder->findField()->setText(QStringLiteral("find"));
    finder->replaceField()->setText(QStringLiteral("seek"));
    finder->_reset();
    QTest::qWait(100); // the indicator at the top of its pulse
    window->grab().save(quorvel::test::outputDirectory() + "/find-bar.png");
}

struct ReplaceCase {
    const char* label;
    QString text;
    QString find;
    QString replace;
    uint32_t options;
    QString afterOne;   // after "Replace" of the match shown first
    NSRange shownAfter; // the match shown after that replacement
    QString afterAll;   // after "Replace All" on the original text
    int count;
};

class Replacing : public Finder, public ::testing::WithParamInterface<ReplaceCase> {};

TEST_P(Replacing, ReplaceStepsOnAndReplaceAllIsOneUndoStep) {
    const ReplaceCase& c = GetParam();
    view->setText(c.text);
    finder->setMode(KTTextFinder::FindAndReplace);
    finder->replaceField()->setText(c.replace);
    finder->findField()->setText(c.find);
    finder->setCompareOptions(c.options);

    finder->_replace();
    EXPECT_EQ(view->text(), c.afterOne);
    EXPECT_EQ(finder->shownMatch(), c.shownAfter);
    ASSERT_TRUE(view->undoManager()->canUndo());
    view->undoManager()->undo();
    EXPECT_EQ(view->text(), c.text);

    finder->_reset();
    EXPECT_EQ(finder->_replaceAll(), c.count);
    EXPECT_EQ(view->text(), c.afterAll);
    EXPECT_TRUE(finder->statusText().contains(QString::number(c.count)));
    EXPECT_TRUE(finder->matches().isEmpty());
    view->undoManager()->undo(); // every replacement at once
    EXPECT_EQ(view->text(), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Replacing,
    ::testing::Values(
        // The second "cat" is shown first; after replacing it the walk wraps to the first.
        ReplaceCase{"Plain", "cat dog cat", "cat", "bird", kDefaults, "cat dog bird",
                    NSMakeRange(0, 3), "bird dog bird", 2},
        ReplaceCase{"StepsToTheNextMatch", "a1 a2 a3", "a", "bb", kDefaults, "a1 bb2 a3",
                    NSMakeRange(7, 1), "bb1 bb2 bb3", 3},
        ReplaceCase{"RegexGroups", "x=1, y=22", "(\\w)=(\\d+)", "$2:$1",
                    kDefaults | KTTextFinderMatcher::RegularExpressionSearch, "x=1, 22:y",
                    NSMakeRange(0, 3), "1:x, 22:y", 2},
        ReplaceCase{"ReplacementContainsTheFindText", "ab ab", "ab", "abab", kDefaults, "ab abab",
                    NSMakeRange(0, 2), "abab abab", 2}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(Finder, HoldingReplaceOffersReplaceAll) {
    view->setText(QStringLiteral("a-a-a"));
    finder->show();
    finder->setMode(KTTextFinder::FindAndReplace);
    finder->replaceField()->setText(QStringLiteral("b"));
    search(QStringLiteral("a"));
    QTest::mousePress(finder->replaceButton(), Qt::LeftButton);
    QTRY_VERIFY(finder->replaceMenu() && finder->replaceMenu()->isVisible());
    QTest::mouseRelease(finder->replaceButton(), Qt::LeftButton);
    EXPECT_EQ(view->text(), QStringLiteral("a-a-a")); // the hold did not also replace once
    ASSERT_EQ(finder->replaceMenu()->numberOfButtons(), 1);
    EXPECT_EQ(finder->replaceMenu()->buttonTitleAtIndex(0), QStringLiteral("Replace All"));
    finder->replaceMenu()->clickButtonAtIndex(0);
    EXPECT_EQ(view->text(), QStringLiteral("b-b-b"));

    // A tap replaces the match shown.
    view->setText(QStringLiteral("a-a"));
    search(QStringLiteral("a"));
    QTest::mouseClick(finder->replaceButton(), Qt::LeftButton);
    EXPECT_EQ(view->text(), QStringLiteral("a-b"));
}

TEST_F(Finder, ReplaceAfterTheTextChangedUnderTheMatchSearchesAgain) {
    view->setText(QStringLiteral("one two one"));
    finder->replaceField()->setText(QStringLiteral("three"));
    search(QStringLiteral("one"));
    ASSERT_EQ(finder->shownMatch(), NSMakeRange(8, 3));
    view->setText(QStringLiteral("one two"));
    finder->_replace(); // the shown range no longer holds "one": nothing is replaced blindly
    EXPECT_EQ(view->text(), QStringLiteral("one two"));
    EXPECT_EQ(finder->matches(), (QList<NSRange>{NSMakeRange(0, 3)}));
}

TEST_F(Finder, SettingsPopoverSwitchesModeAndOptions) {
    view->setText(QStringLiteral("Aa aa 12"));
    finder->show();
    search(QStringLiteral("aa"));
    ASSERT_EQ(finder->matches().size(), 2);
    finder->_showSettingsMenu();
    QWidget* settings = nullptr;
    QTRY_VERIFY((settings = window->findChild<QWidget*>(QStringLiteral("KTTextFinderSettings"))));
    window->grab().save(quorvel::test::outputDirectory() + "/find-settings.png");
    auto click = [&](const char* name) {
        auto* row = settings->findChild<QPushButton*>(QString::fromLatin1(name));
        ASSERT_NE(row, nullptr) << name;
        QTest::mouseClick(row, Qt::LeftButton);
    };
    click("matchCase");
    EXPECT_EQ(finder->compareOptions(), uint32_t(KTTextFinderMatcher::LiteralSearch));
    EXPECT_EQ(finder->matches(), (QList<NSRange>{NSMakeRange(3, 2)}));
    click("regularExpressions");
    EXPECT_TRUE(finder->compareOptions() & KTTextFinderMatcher::RegularExpressionSearch);
    click("mode1");
    EXPECT_EQ(finder->mode(), KTTextFinder::FindAndReplace);
    click("mode0");
    EXPECT_EQ(finder->mode(), KTTextFinder::Find);
}

TEST(FindIndicator, GrowsOverAddedRectanglesAndFadesAfterThePulse) {
    QWidget parent;
    parent.resize(300, 200);
    KTFindIndicator indicator(QRectF(10.5, 20.25, 30, 16), &parent);
    QFont font;
    font.setPointSizeF(14);
    indicator.setFont(font);
    indicator.addAttributedString(QStringLiteral("abc"), QRectF(10.5, 20.25, 30, 16));
    indicator.addAttributedString(QStringLiteral("de"), QRectF(5.2, 40.0, 20, 16));
    // Whole points around both rectangles.
    EXPECT_EQ(indicator.indicatorFrame(), QRectF(QPointF(5, 20), QPointF(41, 56)));
    ASSERT_EQ(indicator.textLayers().size(), 2);
    EXPECT_EQ(indicator.textLayers()[1].rect.topLeft(), QPointF(0, 20 + (16 - 14)));
    indicator.pulse();
    EXPECT_EQ(indicator.runningAnimation(), QStringLiteral("KTFindIndicatorPulseUpAnimation"));
    QTRY_COMPARE(indicator.runningAnimation(), QString());
    EXPECT_EQ(indicator.alpha(), 0.0);
    EXPECT_EQ(indicator.scale(), 1.0);
}

TEST(FindIndicator, EmptyOrOutOfTextRangesShowNothing) {
    KTTextView view;
    view.resize(300, 200);
    view.setText(QStringLiteral("abc"));
    QPointer<KTFindIndicator> indicator;
    KTShowFindIndicatorForRange(&view, NSMakeRange(1, 0), indicator);
    EXPECT_EQ(indicator, nullptr);
    KTShowFindIndicatorForRange(&view, NSMakeRange(2, 5), indicator);
    EXPECT_EQ(indicator, nullptr);
    KTShowFindIndicatorForRange(&view, NSMakeRange(1, 1), indicator);
    ASSERT_NE(indicator, nullptr);
    EXPECT_EQ(indicator->textLayers().first().string, QStringLiteral("b"));
}

} // namespace
