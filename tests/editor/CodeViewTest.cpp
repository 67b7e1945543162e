#include "editor/KTCodeInputAccessoryView.h"
#include "editor/KTCodeView.h"
#include "editor/KTMarginView.h"
#include "editor/KTNumberPadKeyboard.h"
#include "editor/LineNumberMenuController.h"
#include "platform/Animations.h"
#include "syntax/KTSyntaxEngine.h"
#include "syntax/KTSyntaxTheme.h"
#include "text/KTLayoutManager.h"
#include "text/KTTextContainer.h"

#include "support/TestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
static void PrintTo(const NSRange& range, std::ostream* os) {
    *os << '(' << range.location << ", " << range.length << ')';
}

namespace {

class CodeView : public ::testing::Test {
protected:
    void SetUp() override {
        setAnimationsEnabled(false);
        window = std::make_unique<QWidget>();
        window->resize(768, 600);
        view = new KTCodeView(window.get());
        view->setGeometry(0, 0, 768, 500);
        QFont font(QStringLiteral("Courier"));
        font.setPointSizeF(14);
        view->setFont(font);
        window->show();
    }
    void type(const QString& text, uint32_t caret) {
        view->setSelectedRange(NSMakeRange(caret, 0));
        view->insertText(text);
    }

    std::unique_ptr<QWidget> window;
    KTCodeView* view = nullptr;
};

struct ReturnCase {
    const char* label;
    QString text;
    uint32_t caret;
    QString expected;
};

class Return : public CodeView, public ::testing::WithParamInterface<ReturnCase> {};

TEST_P(Return, CopiesTheIndentationOfTheLineBeforeTheCaret) {
    const ReturnCase& c = GetParam();
    view->setText(c.text);
    type(QStringLiteral("\n"), c.caret);
    EXPECT_EQ(view->text(), c.expected);
    // The caret follows what was inserted.
    EXPECT_EQ(view->selectedRange().location,
              c.caret + uint32_t(c.expected.size() - c.text.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Table, Return,
    ::testing::Values(ReturnCase{"AfterTwoTabs", "\t\tfoo", 5, "\t\tfoo\n\t\t"},
                      ReturnCase{"AfterNoIndentation", "foo", 3, "foo\n"},
                      ReturnCase{"AtIndexZero", "\tfoo", 0, "\n\tfoo"},
                      ReturnCase{"MixedSpacesAndTabs", "  \t x", 5, "  \t x\n  \t "},
                      ReturnCase{"AtStartOfLineCopiesTheLineAbove", "\tfoo\nbar", 5,
                                 "\tfoo\n\n\tbar"},
                      ReturnCase{"InTheMiddleOfALine", "    ab", 5, "    a\n    b"},
                      ReturnCase{"AfterAWhiteSpaceOnlyLine", "\t\t", 2, "\t\t\n\t\t"}),
    [](const auto& info) { return std::string(info.param.label); });

struct BracketCase {
    const char* label;
    QString text;
    QString typed;
    uint32_t flashed; // NSNotFound: no opener, the alert sounds
};

class Brackets : public CodeView, public ::testing::WithParamInterface<BracketCase> {};

TEST_P(Brackets, FlashTheMatchingOpenerOrSoundTheAlert) {
    const BracketCase& c = GetParam();
    view->setText(c.text);
    const int alertsBefore = view->alertSoundCount();
    type(c.typed, uint32_t(c.text.size()));
    EXPECT_EQ(view->text(), c.text + c.typed); // inserted either way
    if (c.flashed == NSNotFound) {
        EXPECT_EQ(view->alertSoundCount(), alertsBefore + 1);
        EXPECT_EQ(view->findIndicator(), nullptr);
    } else {
        EXPECT_EQ(view->alertSoundCount(), alertsBefore);
        ASSERT_NE(view->findIndicator(), nullptr);
        ASSERT_FALSE(view->findIndicator()->textLayers().isEmpty());
        EXPECT_EQ(view->findIndicator()->textLayers().first().string, c.text.mid(c.flashed, 1));
        // The indicator covers the opener's place.
        uint32_t count = 0;
        const QRectF* rects = view->layoutManager()->rectArrayForCharacterRange(
            NSMakeRange(c.flashed, 1), NSMakeRange(NSNotFound, 0), view->textContainer(), &count);
        ASSERT_GT(count, 0u);
        EXPECT_NEAR(view->findIndicator()->indicatorFrame().center().x(),
                    (rects[0].translated(-view->contentOffset())).center().x(), 1.0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, Brackets,
    ::testing::Values(BracketCase{"MatchedParenthesis", "(a(b)c", ")", 0},
                      BracketCase{"InnermostOpenParenthesis", "f(a, g(b", ")", 6},
                      BracketCase{"UnmatchedSquareBracket", "abc", "]", NSNotFound},
                      BracketCase{"OtherKindsDoNotCount", "(a]", "]", NSNotFound},
                      BracketCase{"Brace", "{ x { y } ", "}", 0},
                      BracketCase{"AngleBracket", "<p", ">", 0}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(CodeView, EditsAndScrollsLeadToOneParseHalfASecondAfterTheLast) {
    view->setText(QStringLiteral("a\nb\nc\n"));
    QSignalSpy parses(view, &KTCodeView::parseRequested);
    type(QStringLiteral("x"), 0);
    type(QStringLiteral("y"), 1);
    view->setContentOffset(QPointF(0, 0));
    type(QStringLiteral("z"), 2);
    EXPECT_TRUE(view->isParsePending());
    QTRY_VERIFY(!view->isParsePending());
    EXPECT_EQ(parses.count(), 1);
}

TEST_F(CodeView, SharedEngineColoursTheViewByItsFileTypeAndLetsGoWhenTheViewCloses) {
    KTSyntaxEngine* engine = KTSyntaxEngine::sharedSyntaxEngine();
    engine->setSyntaxTheme(KTSyntaxTheme::syntaxThemeWithTitle(QStringLiteral("Monokai")));
    view->syntaxDescriptor().fileType = QStringLiteral("html");
    view->setText(QStringLiteral("<p class=\"x\">hi</p>\n"));
    view->setSyntaxEngine(engine);
    EXPECT_EQ(engine->textStorage(), view->textStorage());
    ASSERT_TRUE(engine->syntaxDefinition());
    type(QStringLiteral(" "), 18);
    QTRY_VERIFY(!view->isParsePending());
    const auto tag = view->textStorage()->attributesAtIndex(1).foregroundColor;
    const auto value = view->textStorage()->attributesAtIndex(10).foregroundColor;
    const auto text = view->textStorage()->attributesAtIndex(15).foregroundColor;
    ASSERT_TRUE(tag && value && text);
    EXPECT_NE(*tag, *text);
    EXPECT_NE(*value, *text);
    // The band under the caret is drawn from the theme's background.
    EXPECT_EQ(view->backgroundColor(), engine->syntaxTheme()->backgroundColor());

    delete view;
    view = nullptr;
    EXPECT_EQ(engine->textStorage(), nullptr);
}

TEST_F(CodeView, HardLinesAreNumberedFromTheStartOfTheText) {
    view->setText(QStringLiteral("one\ntwo\r\nthree\rfour"));
    QList<std::pair<NSRange, uint32_t>> all;
    view->enumerateHardLinesWithBlock([&](NSRange line, const QRectF& rect, uint32_t n, bool*) {
        EXPECT_FALSE(rect.isNull());
        all.append({line, n});
    });
    const QList<std::pair<NSRange, uint32_t>> expected = {{NSMakeRange(0, 4), 1},
                                                          {NSMakeRange(4, 5), 2},
                                                          {NSMakeRange(9, 6), 3},
                                                          {NSMakeRange(15, 4), 4}};
    EXPECT_EQ(all, expected);

    // A range from inside line 2 to inside line 3 gets the lines starting in it, numbered as
    // in the whole text; the stop flag ends the walk.
    QList<uint32_t> numbers;
    view->enumerateHardLinesInRange(NSMakeRange(6, 12),
                                    [&](NSRange, const QRectF&, uint32_t n, bool* stop) {
                                        numbers.append(n);
                                        *stop = n == 3;
                                    });
    EXPECT_EQ(numbers, (QList<uint32_t>{3}));
}

TEST_F(CodeView, LineNumbersStayRightAcrossWalksAndEdits) {
    QString text;
    for (int i = 1; i <= 50; ++i)
        text += QStringLiteral("line %1\n").arg(i, 2, 10, QLatin1Char('0'));
    view->setText(text);
    auto firstNumberFrom = [&](uint32_t location) {
        uint32_t first = 0;
        NSRange firstLine{NSNotFound, 0};
        view->enumerateHardLinesInRange(NSMakeRange(location, 8),
                                        [&](NSRange line, const QRectF&, uint32_t n, bool* stop) {
                                            first = n;
                                            firstLine = line;
                                            *stop = true;
                                        });
        // The number agrees with the text of the line.
        if (firstLine.location != NSNotFound) {
            EXPECT_EQ(view->textStorage()->substringWithRange(firstLine).mid(5, 2).toUInt() +
                          (view->text().startsWith(QLatin1Char('\n')) ? 1u : 0u),
                      first);
        }
        return first;
    };
    EXPECT_EQ(firstNumberFrom(8 * 40), 41u);
    EXPECT_EQ(firstNumberFrom(8 * 45), 46u); // onwards from the last walk
    EXPECT_EQ(firstNumberFrom(8 * 10), 11u); // back before it
    EXPECT_EQ(firstNumberFrom(8 * 40), 41u);
    type(QStringLiteral("x"), 8 * 45 + 2); // after the walked-to line: numbers unchanged
    EXPECT_EQ(firstNumberFrom(8 * 40), 41u);
    view->setSelectedRange(NSMakeRange(0, 0));
    view->insertText(QStringLiteral("\n")); // a new first line: every number moves on
    EXPECT_EQ(firstNumberFrom(8 * 40 + 1), 42u);
}

TEST_F(CodeView, JumpToLineScrollsAndPutsTheCaretAtTheLineStartLater) {
    QString text;
    for (int i = 1; i <= 200; ++i)
        text += QStringLiteral("line %1\n").arg(i);
    view->setText(text);
    view->setContentOffset(QPointF(0, 1000));
    view->setSelectedRange(NSMakeRange(50, 0));

    EXPECT_TRUE(view->scrollToLineNumber(1, false));
    EXPECT_EQ(view->contentOffset().y(), 0);
    EXPECT_EQ(view->selectedRange(), NSMakeRange(50, 0)); // not yet
    QTRY_COMPARE(view->selectedRange(), NSMakeRange(0, 0));

    EXPECT_TRUE(view->scrollToLineNumber(150, false));
    const uint32_t start = uint32_t(text.indexOf(QStringLiteral("line 150\n")));
    QTRY_COMPARE(view->selectedRange(), NSMakeRange(start, 0));
    const auto rect = view->layoutManager()->boundingRectForGlyphRange(NSMakeRange(start, 9),
                                                                       view->textContainer());
    ASSERT_TRUE(rect);
    // Centred: the line's middle is near the middle of what is visible.
    EXPECT_NEAR(rect->center().y() - view->contentOffset().y(), view->viewport()->height() / 2.0,
                rect->height());

    const QPointF before = view->contentOffset();
    EXPECT_FALSE(view->scrollToLineNumber(201, false));
    EXPECT_FALSE(view->scrollToLineNumber(0, false));
    EXPECT_EQ(view->contentOffset(), before);
}

TEST_F(CodeView, WrappingOnAndOff) {
    const QString longLine = QString(300, QLatin1Char('w'));
    view->setText(longLine + QStringLiteral("\nshort\n"));
    view->setSoftWrappingEnabled(true);
    view->layoutManager()->ensureLayoutForCharacterRange(NSMakeRange(0, 307));
    view->sizeToFit();
    EXPECT_LE(view->contentSize().width(), view->viewport()->width());
    EXPECT_EQ(view->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_TRUE(view->textContainer()->widthTracksTextView());
    auto wrapped = view->layoutManager()->boundingRectForGlyphRange(NSMakeRange(0, 300),
                                                                    view->textContainer());
    ASSERT_TRUE(wrapped);
    EXPECT_GT(wrapped->height(), 2 * QFontMetricsF(view->font()).height());

    view->setSoftWrappingEnabled(false);
    view->layoutManager()->ensureLayoutForCharacterRange(NSMakeRange(0, 307));
    view->sizeToFit();
    EXPECT_GT(view->contentSize().width(), view->viewport()->width());
    EXPECT_EQ(view->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    EXPECT_FALSE(view->textContainer()->widthTracksTextView());
    EXPECT_EQ(view->textContainer()->containerSize().width(), KTTextContainerUnlimited);
    auto single = view->layoutManager()->boundingRectForGlyphRange(NSMakeRange(0, 300),
                                                                   view->textContainer());
    ASSERT_TRUE(single);
    EXPECT_LT(single->height(), 2 * QFontMetricsF(view->font()).height());
    EXPECT_GT(single->width(), view->viewport()->width());

    view->setSoftWrappingEnabled(true);
    view->layoutManager()->ensureLayoutForCharacterRange(NSMakeRange(0, 307));
    view->sizeToFit();
    EXPECT_LE(view->contentSize().width(), view->viewport()->width());
}

struct LineColourCase {
    const char* label;
    QColor background;
    QColor expected;
};

class CurrentLineColour : public ::testing::TestWithParam<LineColourCase> {};

TEST_P(CurrentLineColour, LightensDarkAndDarkensLightBackgrounds) {
    const LineColourCase& c = GetParam();
    const QColor colour = KTCodeView::currentLineColorForBackground(c.background);
    EXPECT_NEAR(colour.redF(), c.expected.redF(), 0.01);
    EXPECT_NEAR(colour.greenF(), c.expected.greenF(), 0.01);
    EXPECT_NEAR(colour.blueF(), c.expected.blueF(), 0.01);
    EXPECT_NEAR(colour.alphaF(), c.background.alphaF(), 0.01);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CurrentLineColour,
    ::testing::Values(LineColourCase{"White", QColor::fromRgbF(1, 1, 1),
                                     QColor::fromRgbF(0.9f, 0.9f, 0.9f)},
                      LineColourCase{"Dark", QColor::fromRgbF(0.2f, 0.1f, 0.3f),
                                     QColor::fromRgbF(0.3f, 0.15f, 0.45f)},
                      LineColourCase{"DarkClamped", QColor::fromRgbF(0.9f, 0.1f, 0.1f),
                                     QColor::fromRgbF(1.0f, 0.15f, 0.15f)},
                      LineColourCase{"Translucent", QColor::fromRgbF(0.5f, 0.6f, 0.5f, 0.5f),
                                     QColor::fromRgbF(0.45f, 0.54f, 0.45f, 0.5f)}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(CodeView, CurrentLineBandOnlyForACaret) {
    view->setText(QStringLiteral("first\nsecond\n"));
    view->setSelectedRange(NSMakeRange(8, 0));
    const auto band = view->currentLineRect();
    ASSERT_TRUE(band);
    EXPECT_EQ(band->x(), 0);
    EXPECT_GE(band->width(), view->viewport()->width());
    EXPECT_GT(band->top(), 0); // second line
    view->setSelectedRange(NSMakeRange(0, 3));
    EXPECT_FALSE(view->currentLineRect());
}

TEST_F(CodeView, QuickKeysDockAtTheBottomWhileEditingAndTypeTheirTitles) {
    view->setText(QStringLiteral("x"));
    view->setFocus();
    QTRY_VERIFY(view->codeInputAccessoryView() != nullptr);
    KTCodeInputAccessoryView* bar = view->codeInputAccessoryView();
    EXPECT_EQ(bar->geometry(), QRect(0, window->height() - 44, window->width(), 44));
    EXPECT_EQ(view->inputAccessoryView(), bar);
    ASSERT_EQ(bar->items().size(), 14);
    QStringList titles;
    for (QPushButton* item : bar->items())
        titles.append(item->text());
    EXPECT_EQ(titles, KTCodeInputAccessoryView::quickKeyTitles());
    window->resize(1024, 700);
    EXPECT_EQ(bar->geometry(), QRect(0, 700 - 44, 1024, 44));

    view->setSelectedRange(NSMakeRange(1, 0));
    QTest::mouseClick(bar->items().at(0), Qt::LeftButton); // TAB
    QTest::mouseClick(bar->items().at(4), Qt::LeftButton); // (
    QTest::mouseClick(bar->items().at(5), Qt::LeftButton); // ) matches the (
    EXPECT_EQ(view->text(), QStringLiteral("x\t()"));
    EXPECT_TRUE(view->hasFocus()); // the keys never take the focus

    view->clearFocus();
    QTRY_VERIFY(view->codeInputAccessoryView() == nullptr);
}

TEST(NumberPad, KeysSitInTheirGridAndReportToTheDelegate) {
    struct Recorder : KTNumberPadKeyboardDelegate {
        QStringList events;
        void numberPadKeyboardWantsInsertText(KTNumberPadKeyboard*, const QString& t) override {
            events.append(t);
        }
        void numberPadKeyboardWantsDeleteBackward(KTNumberPadKeyboard*) override {
            events.append(QStringLiteral("delete"));
        }
        void numberPadKeyboardWantsResign(KTNumberPadKeyboard*) override {
            events.append(QStringLiteral("resign"));
        }
    } recorder;
    KTNumberPadKeyboard pad(QPointF(0, 100));
    EXPECT_EQ(pad.geometry(), QRect(0, 100, 320, 216));
    pad.setDelegate(&recorder);
    const struct {
        const char* title;
        QRect frame;
    } keys[] = {{"1", QRect(0, 1, 106, 53)},         {"3", QRect(214, 1, 106, 53)},
                {"5", QRect(107, 55, 106, 53)},      {"9", QRect(214, 109, 106, 53)},
                {"DONE", QRect(1, 163, 106, 53)},    {"0", QRect(108, 163, 106, 53)},
                {"\u232B", QRect(215, 163, 106, 53)}};
    for (const auto& key : keys) {
        KTNumberPadKey* button = pad.keyWithTitle(QString::fromUtf8(key.title));
        ASSERT_NE(button, nullptr) << key.title;
        EXPECT_EQ(button->geometry(), key.frame) << key.title;
    }
    EXPECT_EQ(pad.accessoryButton()->numberPadKeyType(), KTNumberPadKey::Resign);
    QTest::mouseClick(pad.keyWithTitle(QStringLiteral("4")), Qt::LeftButton);
    QTest::mouseClick(pad.keyWithTitle(QStringLiteral("0")), Qt::LeftButton);
    QTest::mouseClick(pad.keyWithTitle(QStringLiteral("\u232B")), Qt::LeftButton);
    QTest::mouseClick(pad.accessoryButton(), Qt::LeftButton);
    EXPECT_EQ(recorder.events, (QStringList{"4", "0", "delete", "resign"}));
}

TEST_F(CodeView, JumpToLineMenuTypesANumberAndJumps) {
    QString text;
    for (int i = 1; i <= 100; ++i)
        text += QStringLiteral("row %1\n").arg(i);
    view->setText(text);
    LineNumberMenuController menu;
    menu.setCodeView(view);
    menu.view();
    KTNumberPadKeyboard* pad = menu.keyboard();
    for (const char* key : {"4", "2", "7"})
        QTest::mouseClick(pad->keyWithTitle(QString::fromLatin1(key)), Qt::LeftButton);
    QTest::mouseClick(pad->keyWithTitle(QStringLiteral("\u232B")), Qt::LeftButton);
    EXPECT_EQ(menu.lineNumberLabel()->text(), QStringLiteral("42"));
    QTest::mouseClick(pad->accessoryButton(), Qt::LeftButton);
    const uint32_t start = uint32_t(text.indexOf(QStringLiteral("row 42\n")));
    QTRY_COMPARE(view->selectedRange(), NSMakeRange(start, 0));
}

class Owner : public KTMarginViewOwner {
public:
    KTCodeView* view = nullptr;
    KTCodeView* editorView() const override { return view; }
};

TEST_F(CodeView, MarginNumbersTheVisibleLinesAndFollowsTheScroll) {
    QString text;
    for (int i = 1; i <= 300; ++i)
        text += QStringLiteral("x\n");
    view->setGeometry(50, 0, 718, 500);
    view->setText(text);
    Owner owner;
    owner.view = view;
    KTMarginView margin(window.get());
    margin.setOwner(&owner);
    margin.setGeometry(0, 0, 50, 500);
    margin.show();
    margin.grab();
    ASSERT_FALSE(margin.drawnNumbers().isEmpty());
    EXPECT_EQ(margin.drawnNumbers().first().number, 1u);
    const qreal firstBaseline = margin.drawnNumbers().first().baseline;
    // Consecutive numbers, one per line, all inside the margin.
    for (qsizetype i = 1; i < margin.drawnNumbers().size(); ++i)
        EXPECT_EQ(margin.drawnNumbers()[i].number, margin.drawnNumbers()[i - 1].number + 1);
    EXPECT_LE(margin.drawnNumbers().last().baseline, 500 + QFontMetricsF(view->font()).height());

    const qreal lineHeight = margin.drawnNumbers()[1].baseline - margin.drawnNumbers()[0].baseline;
    view->setContentOffset(QPointF(0, lineHeight * 100));
    margin.grab();
    ASSERT_FALSE(margin.drawnNumbers().isEmpty());
    EXPECT_EQ(margin.drawnNumbers().first().number, 101u);
    EXPECT_NEAR(margin.drawnNumbers().first().baseline, firstBaseline, 1.0);
}

} // namespace

namespace {

TEST_F(CodeView, TappingTheMarginOpensJumpToLine) {
    QString text;
    for (int i = 1; i <= 80; ++i)
        text += QStringLiteral("<li>item %1</li>\n").arg(i);
    view->setGeometry(50, 0, 718, 600);
    view->setText(text);
    Owner owner;
    owner.view = view;
    KTMarginView margin(window.get());
    margin.setOwner(&owner);
    margin.setGeometry(0, 0, 50, 600);
    margin.setBackgroundColor(QColor::fromRgbF(0.945f, 0.945f, 0.945f));
    margin.setForegroundColor(QColor::fromRgbF(0.573f, 0.573f, 0.573f));
    margin.show();
    QTest::mouseClick(&margin, Qt::LeftButton, {}, QPoint(25, 200));
    ASSERT_NE(margin.lineNumberPopover(), nullptr);
    EXPECT_TRUE(margin.lineNumberPopover()->isPopoverVisible());
    EXPECT_EQ(margin.lineNumberPopover()->popoverArrowDirection(), PopoverArrowDirectionLeft);
    KTNumberPadKeyboard* pad = nullptr;
    for (QWidget* w : QApplication::allWidgets())
        if ((pad = qobject_cast<KTNumberPadKeyboard*>(w)) && pad->isVisible())
            break;
    ASSERT_NE(pad, nullptr);
    QTest::mouseClick(pad->keyWithTitle(QStringLiteral("6")), Qt::LeftButton);
    QTest::mouseClick(pad->keyWithTitle(QStringLiteral("0")), Qt::LeftButton);
    window->grab().save(quorvel::test::outputDirectory() + "/jump-to-line.png");
    QTest::mouseClick(pad->accessoryButton(), Qt::LeftButton);
    const uint32_t start = uint32_t(text.indexOf(QStringLiteral("<li>item 60<")));
    QTRY_COMPARE(view->selectedRange(), NSMakeRange(start, 0));
    EXPECT_TRUE(!margin.lineNumberPopover() || !margin.lineNumberPopover()->isPopoverVisible());
}

} // namespace
