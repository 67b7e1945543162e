// The editing view's one edit routine, undo, text input, marked text and keyboard.
#include "text/KTLayoutManager.h"
#include "text/KTTextView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Everything the view tells its owner, in order.
struct RecordingDelegate : KTTextViewDelegate {
    QStringList log;
    bool allowChange = true;
    bool allowBegin = true;
    bool textViewShouldBeginEditing(KTTextView*) override { return allowBegin; }
    bool textViewShouldChangeTextInRange(KTTextView*, NSRange, const QString&) override {
        log << "shouldChange";
        return allowChange;
    }
    void textViewDidChange(KTTextView*) override { log << "didChange"; }
    void textViewDidChangeSelection(KTTextView*) override { log << "didChangeSelection"; }
    void textViewDidBeginEditing(KTTextView*) override { log << "didBeginEditing"; }
    void textViewDidEndEditing(KTTextView*) override { log << "didEndEditing"; }
};

class RecordingTextView : public KTTextView {
public:
    explicit RecordingTextView(RecordingDelegate* delegate) : delegate_(delegate) {}
    void didChangeText() override { delegate_->log << "didChangeText"; }

private:
    RecordingDelegate* delegate_;
};

struct Fixture {
    RecordingDelegate delegate;
    RecordingTextView view{&delegate};

    explicit Fixture(const QString& text = QStringLiteral("Hello world")) {
        view.resize(400, 300);
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setPointSizeF(14);
        view.setFont(font);
        view.setText(text);
        view.setDelegate(&delegate);
    }
    int count(const QString& entry) const { return delegate.log.count(entry); }
};

void sendKey(KTTextView& view, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
             const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    view.handleKeyPress(&press);
}

} // namespace

TEST(TextViewEditing, TypingAtFiveThenUndoAndRedo) {
    Fixture f;
    f.view.setSelectedRange(NSMakeRange(5, 0));
    f.delegate.log.clear();
    f.view.insertText(QStringLiteral("X"));
    EXPECT_EQ(f.view.text(), QStringLiteral("HelloX world"));
    EXPECT_EQ(f.view.selectedRange(), NSMakeRange(6, 0));
    // The owner hears of the change before the view's own hook runs.
    EXPECT_EQ(f.delegate.log,
              QStringList({"shouldChange", "didChangeSelection", "didChange", "didChangeText"}));
    EXPECT_EQ(f.view.undoManager()->undoCount(), 1u);

    f.view.undoManager()->undo();
    EXPECT_EQ(f.view.text(), QStringLiteral("Hello world"));
    EXPECT_EQ(f.view.selectedRange(), NSMakeRange(5, 0));
    // Redo leaves a caret after the text it puts back.
    f.view.undoManager()->redo();
    EXPECT_EQ(f.view.text(), QStringLiteral("HelloX world"));
    EXPECT_EQ(f.view.selectedRange(), NSMakeRange(6, 0));
    f.view.undoManager()->undo();
    EXPECT_EQ(f.view.text(), QStringLiteral("Hello world"));
}

TEST(TextViewEditing, UndoRestoresAndSelectsReplacedText) {
    struct Case {
        const char* name;
        NSRange selection;
        QStringList keystrokes;
        QString afterTyping;
    };
    const Case cases[] = {
        {"three keystrokes over two characters",
         NSMakeRange(5, 2),
         {"a", "b", "c"},
         "Helloabcorld"},
        {"one insertion over two characters", NSMakeRange(5, 2), {"abc"}, "Helloabcorld"},
        {"deleting the selection", NSMakeRange(5, 2), {""}, "Helloorld"},
    };
    for (const Case& c : cases) {
        Fixture f;
        f.view.setSelectedRange(c.selection);
        for (const QString& keystroke : c.keystrokes) {
            if (keystroke.isEmpty())
                f.view.deleteBackward();
            else
                f.view.insertText(keystroke);
        }
        EXPECT_EQ(f.view.text(), c.afterTyping) << c.name;
        for (qsizetype i = 0; i < c.keystrokes.size(); ++i)
            f.view.undoManager()->undo();
        EXPECT_EQ(f.view.text(), QStringLiteral("Hello world")) << c.name;
        EXPECT_EQ(f.view.selectedRange(), c.selection) << c.name;
        EXPECT_FALSE(f.view.undoManager()->canUndo()) << c.name;
    }
}

TEST(TextViewEditing, EditsThatChangeNothing) {
    {
        Fixture f;
        f.view.setSelectedRange(NSMakeRange(0, 0));
        f.delegate.log.clear();
        f.view.deleteBackward();
        EXPECT_EQ(f.view.text(), QStringLiteral("Hello world")) << "backspace at 0";
        EXPECT_EQ(f.view.undoManager()->undoCount(), 0u);
        EXPECT_TRUE(f.delegate.log.isEmpty());
    }
    {
        Fixture f;
        f.view.setSelectedRange(NSMakeRange(3, 0));
        f.delegate.allowChange = false;
        f.delegate.log.clear();
        f.view.insertText(QStringLiteral("zz"));
        EXPECT_EQ(f.view.text(), QStringLiteral("Hello world")) << "refused by the delegate";
        EXPECT_EQ(f.view.selectedRange(), NSMakeRange(3, 0));
        EXPECT_EQ(f.view.undoManager()->undoCount(), 0u);
        EXPECT_EQ(f.delegate.log, QStringList({"shouldChange"}));
    }
    {
        Fixture f;
        f.view.setSelectedRange(NSMakeRange(3, 0));
        f.delegate.allowBegin = false;
        f.view.insertText(QStringLiteral("zz"));
        EXPECT_EQ(f.view.text(), QStringLiteral("Hello world")) << "editing not allowed";
    }
    {
        Fixture f;
        f.view.setSelectedRange(NSMakeRange(NSNotFound, 0));
        f.view.insertText(QStringLiteral("zz"));
        f.view.deleteBackward();
        EXPECT_EQ(f.view.text(), QStringLiteral("Hello world")) << "no selection";
    }
}

TEST(TextViewEditing, InsertionAtStartTakesTypingAttributes) {
    Fixture f;
    const KTTextAttributes original = f.view.textStorage()->attributesAtIndex(0);
    KTTextAttributes typing = original;
    typing.foregroundColor = QColor(Qt::red);
    f.view.setTypingAttributes(typing);
    f.view.setSelectedRange(NSMakeRange(0, 0));
    f.view.insertText(QStringLiteral("ab"));
    EXPECT_EQ(f.view.text(), QStringLiteral("abHello world"));
    EXPECT_EQ(f.view.textStorage()->attributesAtIndex(0).foregroundColor, QColor(Qt::red));
    EXPECT_EQ(f.view.textStorage()->attributesAtIndex(1).foregroundColor, QColor(Qt::red));
    EXPECT_EQ(f.view.textStorage()->attributesAtIndex(2), original);
}

TEST(TextViewEditing, SetTextIsNotAnEdit) {
    Fixture f;
    f.delegate.log.clear();
    f.view.setText(QStringLiteral("replaced"));
    EXPECT_EQ(f.view.text(), QStringLiteral("replaced"));
    EXPECT_EQ(f.view.undoManager()->undoCount(), 0u);
    EXPECT_EQ(f.count("didChange"), 0);
    EXPECT_EQ(f.count("didChangeText"), 0);
}

TEST(TextViewEditing, SetTextKeepsSelectionInsideShorterText) {
    Fixture f;
    f.view.setSelectedRange(NSMakeRange(8, 3));
    f.view.setText(QStringLiteral("abc"));
    EXPECT_LE(NSMaxRange(f.view.selectedRange()), 3u);
    f.view.insertText(QStringLiteral("!"));
    EXPECT_EQ(f.view.text(), QStringLiteral("abc!"));
}

TEST(TextViewInput, PositionsFromPositions) {
    Fixture f(QStringLiteral("abcdef"));
    struct Case {
        uint32_t from;
        KTTextLayoutDirection direction;
        int32_t offset;
        std::optional<uint32_t> expected;
    };
    const Case cases[] = {
        {2, KTTextLayoutDirection::Right, 3, 5u},
        {2, KTTextLayoutDirection::Right, 4, 6u},
        {2, KTTextLayoutDirection::Right, 5, std::nullopt},
        {2, KTTextLayoutDirection::Left, 2, 0u},
        {2, KTTextLayoutDirection::Left, 3, std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<KTTextPosition> result =
            f.view.positionFromPosition({c.from}, c.direction, c.offset);
        ASSERT_EQ(result.has_value(), c.expected.has_value())
            << c.from << " " << int(c.direction) << " " << c.offset;
        if (result) {
            EXPECT_EQ(result->position, *c.expected);
        }
    }
    EXPECT_EQ(f.view.textRangeFromPosition({5}, {2}).range(), NSMakeRange(2, 3));
    EXPECT_EQ(f.view.offsetFromPosition({5}, {2}), -3);
    EXPECT_EQ(f.view.comparePosition({1}, {4}), -1);
    EXPECT_EQ(f.view.textInRange(KTTextRange({1}, {4})), QStringLiteral("bcd"));
}

TEST(TextViewInput, UpAndDownWalkVisualLines) {
    Fixture f(QStringLiteral("first line\nsecond line\nthird line\nend"));
    // From column 3 of the second line.
    const uint32_t start = 11 + 3;
    const std::optional<KTTextPosition> down =
        f.view.positionFromPosition({start}, KTTextLayoutDirection::Down, 1);
    ASSERT_TRUE(down);
    EXPECT_EQ(down->position, 23u + 3);
    const std::optional<KTTextPosition> up =
        f.view.positionFromPosition({start}, KTTextLayoutDirection::Up, 1);
    ASSERT_TRUE(up);
    EXPECT_EQ(up->position, 3u);
    const std::optional<KTTextPosition> twoDown =
        f.view.positionFromPosition({3}, KTTextLayoutDirection::Down, 2);
    ASSERT_TRUE(twoDown);
    EXPECT_EQ(twoDown->position, 23u + 3);
}

TEST(TextViewInput, WrappedLinesAreVisualLines) {
    Fixture f(QString(120, u'x'));
    // 400 points at 11.4 points a character: about 34 characters a line.
    const QRectF first = f.view.caretRectForPosition({5});
    const std::optional<KTTextPosition> down =
        f.view.positionFromPosition({5}, KTTextLayoutDirection::Down, 1);
    ASSERT_TRUE(down);
    EXPECT_GT(down->position, 30u);
    EXPECT_LT(down->position, 80u);
    EXPECT_GT(f.view.caretRectForPosition(*down).top(), first.top());
}

TEST(TextViewInput, TextStylingAtPosition) {
    Fixture f(QStringLiteral("abc"));
    KTTextAttributes last = f.view.textStorage()->attributesAtIndex(2);
    last.foregroundColor = QColor(Qt::blue);
    f.view.textStorage()->setAttributes(last, NSMakeRange(2, 1));
    EXPECT_EQ(f.view.textStylingAtPosition({3}, KTTextStorageDirection::Backward), last);
    EXPECT_EQ(f.view.textStylingAtPosition({3}, KTTextStorageDirection::Forward), last);
    EXPECT_NE(f.view.textStylingAtPosition({0}, KTTextStorageDirection::Backward), last);

    Fixture empty(QString{});
    EXPECT_TRUE(empty.view.textStylingAtPosition({0}, KTTextStorageDirection::Forward).isEmpty());
}

TEST(TextViewInput, CaretRectangles) {
    Fixture f(QStringLiteral("ab\ncd"));
    const QRectF atStart = f.view.caretRectForPosition({0});
    EXPECT_EQ(atStart.width(), 2);
    EXPECT_EQ(atStart.x(), 0);
    const QRectF afterBreak = f.view.caretRectForPosition({3});
    EXPECT_EQ(afterBreak.x(), 0);
    EXPECT_GE(afterBreak.top(), atStart.bottom() - 1);
    EXPECT_GT(f.view.caretRectForPosition({5}).x(), 0);
    // Past the end: the end's rectangle, never a crash.
    EXPECT_EQ(f.view.caretRectForPosition({99}), f.view.caretRectForPosition({5}));
    EXPECT_FALSE(f.view.firstRectForRange(KTTextRange({2}, {99})));
}

TEST(TextViewInput, WordsFromBoundaries) {
    Fixture f(QStringLiteral("int foo_bar = 42;\n  next"));
    struct Case {
        uint32_t position;
        KTTextStorageDirection direction;
        std::optional<NSRange> word;
    };
    const Case cases[] = {
        {5, KTTextStorageDirection::Forward, NSMakeRange(4, 7)},
        {4, KTTextStorageDirection::Forward, NSMakeRange(4, 7)},
        {11, KTTextStorageDirection::Forward, std::nullopt},
        {11, KTTextStorageDirection::Backward, NSMakeRange(4, 7)},
        {14, KTTextStorageDirection::Forward, NSMakeRange(14, 2)},
        {20, KTTextStorageDirection::Forward, NSMakeRange(20, 4)},
        {24, KTTextStorageDirection::Backward, NSMakeRange(20, 4)},
    };
    for (const Case& c : cases) {
        const std::optional<KTTextRange> word =
            f.view.rangeEnclosingPosition({c.position}, c.direction);
        ASSERT_EQ(word.has_value(), c.word.has_value()) << c.position;
        if (word) {
            EXPECT_EQ(word->range(), *c.word) << c.position;
        }
    }
}

TEST(TextViewInput, WholeCharacters) {
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // 2 units
    const QString family = QString::fromUtf8("\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"); // 5
    const QString accent = QStringLiteral("e\u0301");                                         // 2
    struct Case {
        const char* name;
        QString text;
        uint32_t caret;
        int key;
        QString expectedText;
        NSRange expectedSelection;
    };
    const Case cases[] = {
        {"backspace after an emoji", "a" + emoji, 3, Qt::Key_Backspace, "a", NSMakeRange(1, 0)},
        {"backspace after a joined family", "a" + family, 6, Qt::Key_Backspace, "a",
         NSMakeRange(1, 0)},
        {"backspace after a combining accent", "x" + accent, 3, Qt::Key_Backspace, "x",
         NSMakeRange(1, 0)},
        {"delete before an emoji", emoji + "b", 0, Qt::Key_Delete, "b", NSMakeRange(0, 0)},
        {"left over an emoji", "a" + emoji, 3, Qt::Key_Left, "a" + emoji, NSMakeRange(1, 0)},
        {"right over a family", family + "b", 0, Qt::Key_Right, family + "b", NSMakeRange(5, 0)},
        {"right over an accent", accent + "b", 0, Qt::Key_Right, accent + "b", NSMakeRange(2, 0)},
    };
    for (const Case& c : cases) {
        Fixture f(c.text);
        f.view.setSelectedRange(NSMakeRange(c.caret, 0));
        sendKey(f.view, c.key);
        EXPECT_EQ(f.view.text(), c.expectedText) << c.name;
        EXPECT_EQ(f.view.selectedRange(), c.expectedSelection) << c.name;
    }
    // Shift+Left selects the whole emoji, too.
    Fixture f("a" + emoji);
    f.view.setSelectedRange(NSMakeRange(3, 0));
    sendKey(f.view, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(f.view.selectedRange(), NSMakeRange(1, 2));
}

TEST(TextViewInput, ComposedTextIsAnEdit) {
    Fixture f(QStringLiteral("ab"));
    f.view.setSelectedRange(NSMakeRange(1, 0));
    f.delegate.log.clear();
    {
        QInputMethodEvent event(QStringLiteral("n"), {});
        QCoreApplication::sendEvent(&f.view, &event);
    }
    {
        QInputMethodEvent event(QStringLiteral("ni"),
                                {QInputMethodEvent::Attribute(QInputMethodEvent::Cursor, 2, 1)});
        QCoreApplication::sendEvent(&f.view, &event);
    }
    EXPECT_EQ(f.view.text(), QStringLiteral("anib"));
    ASSERT_TRUE(f.view.markedTextRange());
    EXPECT_EQ(f.view.markedTextRange()->range(), NSMakeRange(1, 2));
    EXPECT_EQ(f.view.selectedRange(), NSMakeRange(3, 0));
    ASSERT_TRUE(f.view.markedTextView());
    EXPECT_EQ(f.view.markedTextView()->frame().left(), f.view.caretRectForPosition({1}).left());
    // Every change of the composition reaches the owner, so the document counts as edited.
    EXPECT_EQ(f.count("didChange"), 2);
    EXPECT_EQ(f.count("didChangeText"), 2);
    EXPECT_EQ(f.view.undoManager()->undoCount(), 0u);

    {
        QInputMethodEvent event;
        event.setCommitString(QStringLiteral("你"));
        QCoreApplication::sendEvent(&f.view, &event);
    }
    EXPECT_EQ(f.view.text(), QStringLiteral("a你b"));
    EXPECT_FALSE(f.view.markedTextRange());
    EXPECT_FALSE(f.view.markedTextView());
    EXPECT_EQ(f.view.selectedRange(), NSMakeRange(2, 0));
    EXPECT_EQ(f.count("didChange"), 3);
    // The whole composition is one step.
    EXPECT_EQ(f.view.undoManager()->undoCount(), 1u);
    f.view.undoManager()->undo();
    EXPECT_EQ(f.view.text(), QStringLiteral("ab"));
}

TEST(TextViewInput, CancelledCompositionRestoresTheText) {
    Fixture f(QStringLiteral("hello"));
    f.view.setSelectedRange(NSMakeRange(1, 3)); // "ell" is replaced while composing
    {
        QInputMethodEvent event(QStringLiteral("x"), {});
        QCoreApplication::sendEvent(&f.view, &event);
    }
    EXPECT_EQ(f.view.text(), QStringLiteral("hxo"));
    f.delegate.log.clear();
    {
        QInputMethodEvent event; // no pre-edit, nothing committed: cancelled
        QCoreApplication::sendEvent(&f.view, &event);
    }
    EXPECT_EQ(f.view.text(), QStringLiteral("hello"));
    EXPECT_FALSE(f.view.markedTextRange());
    EXPECT_GE(f.count("didChange"), 1);
    EXPECT_EQ(f.view.undoManager()->undoCount(), 0u);
}

TEST(TextViewInput, RefusedCommitLeavesOriginalText) {
    Fixture f(QStringLiteral("hello"));
    f.view.setSelectedRange(NSMakeRange(5, 0));
    {
        QInputMethodEvent event(QStringLiteral("zz"), {});
        QCoreApplication::sendEvent(&f.view, &event);
    }
    f.delegate.allowChange = false;
    f.view.unmarkText();
    EXPECT_EQ(f.view.text(), QStringLiteral("hello"));
    EXPECT_FALSE(f.view.markedTextRange());
    EXPECT_EQ(f.view.selectedRange(), NSMakeRange(5, 0));
}

TEST(TextViewKeyboard, EditingAndSelectionKeys) {
    Fixture f(QStringLiteral("one\ntwo\nthree"));
    f.view.setSelectedRange(NSMakeRange(0, 0));
    sendKey(f.view, Qt::Key_End);
    EXPECT_EQ(f.view.selectedRange(), NSMakeRange(3, 0));
    sendKey(f.view, Qt::Key_Down);
    EXPECT_EQ(f.view.selectedRange(), NSMakeRange(7, 0));
    sendKey(f.view, Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(f.view.selectedRange(), NSMakeRange(4, 3));
    sendKey(f.view, Qt::Key_X, Qt::NoModifier, QStringLiteral("X"));
    EXPECT_EQ(f.view.text(), QStringLiteral("one\nX\nthree"));
    sendKey(f.view, Qt::Key_Return);
    EXPECT_EQ(f.view.text(), QStringLiteral("one\nX\n\nthree"));
    sendKey(f.view, Qt::Key_Z, Qt::ControlModifier);
    sendKey(f.view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(f.view.text(), QStringLiteral("one\ntwo\nthree"));
    EXPECT_EQ(f.view.selectedRange(), NSMakeRange(4, 3));
    sendKey(f.view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(f.view.text(), QStringLiteral("one\nX\nthree"));

    sendKey(f.view, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(f.view.selectedRange(), NSMakeRange(0, 11));
    sendKey(f.view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("one\nX\nthree"));
    sendKey(f.view, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(f.view.text(), QString());
    sendKey(f.view, Qt::Key_V, Qt::ControlModifier);
    sendKey(f.view, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(f.view.text(), QStringLiteral("one\nX\nthreeone\nX\nthree"));
    EXPECT_EQ(f.view.undoManager()->undoCount(), 4u);
}

TEST(TextViewMenu, WhatTheMenuOffers) {
    QGuiApplication::clipboard()->setText(QStringLiteral("clip"));
    struct Case {
        QString text;
        NSRange selection;
        KTEditAction action;
        bool allowed;
    };
    const Case cases[] = {
        {"abc", NSMakeRange(0, 1), KTEditAction::SelectAll, false},
        {"abc", NSMakeRange(1, 0), KTEditAction::SelectAll, true},
        {"", NSMakeRange(0, 0), KTEditAction::SelectAll, false},
        {"abc", NSMakeRange(1, 0), KTEditAction::Select, true},
        {"abc", NSMakeRange(1, 0), KTEditAction::Copy, false},
        {"abc", NSMakeRange(0, 2), KTEditAction::Copy, true},
        {"abc", NSMakeRange(0, 2), KTEditAction::Cut, true},
        {"abc", NSMakeRange(1, 0), KTEditAction::Paste, true},
        {"abc", NSMakeRange(0, 2), KTEditAction::Delete, false},
    };
    for (const Case& c : cases) {
        Fixture f(c.text);
        f.view.setSelectedRange(c.selection);
        EXPECT_EQ(f.view.canPerformAction(c.action), c.allowed)
            << qPrintable(KTEditMenu::titleForAction(c.action)) << " on '" << qPrintable(c.text)
            << "' at " << c.selection.location << "," << c.selection.length;
    }
}

TEST(TextViewMenu, ActionsGoThroughTheEditRoutine) {
    Fixture f(QStringLiteral("alpha beta"));
    f.view.setSelectedRange(NSMakeRange(6, 4));
    f.view.performEditAction(KTEditAction::Cut);
    EXPECT_EQ(f.view.text(), QStringLiteral("alpha "));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("beta"));
    f.view.setSelectedRange(NSMakeRange(0, 0));
    f.view.performEditAction(KTEditAction::Paste);
    EXPECT_EQ(f.view.text(), QStringLiteral("betaalpha "));
    EXPECT_EQ(f.count("didChange"), 2);
    f.view.undoManager()->undo();
    f.view.undoManager()->undo();
    EXPECT_EQ(f.view.text(), QStringLiteral("alpha beta"));
    EXPECT_EQ(f.view.selectedRange(), NSMakeRange(6, 4));

    f.view.setSelectedRange(NSMakeRange(2, 0));
    f.view.performEditAction(KTEditAction::Select);
    EXPECT_EQ(f.view.selectedRange(), NSMakeRange(0, 5));
}

TEST(TextViewResponder, ResigningClearsTheSelection) {
    Fixture f;
    ASSERT_TRUE(f.view.becomeFirstResponder());
    f.view.setSelectedRange(NSMakeRange(2, 3));
    EXPECT_TRUE(f.view.selectionHandleStart());
    ASSERT_TRUE(f.view.resignFirstResponder());
    EXPECT_EQ(f.view.selectedRange(), NSMakeRange(NSNotFound, 0));
    EXPECT_FALSE(f.view.selectionHandleStart());
    EXPECT_FALSE(f.view.selectionFirstLineView());
    EXPECT_FALSE(f.view.caret());
    EXPECT_TRUE(f.delegate.log.contains("didEndEditing"));

    f.delegate.allowBegin = false;
    EXPECT_FALSE(f.view.becomeFirstResponder());
    EXPECT_FALSE(f.view.isFirstResponder());
}

TEST(TextViewUndo, GroupsAndRedoHistory) {
    KTUndoManager undo;
    QStringList done;
    undo.beginUndoGrouping();
    undo.registerUndo([&] { done << "a"; });
    undo.registerUndo([&] { done << "b"; });
    undo.endUndoGrouping();
    undo.registerUndo([&] { done << "c"; });
    EXPECT_EQ(undo.undoCount(), 2u);
    undo.undo();
    EXPECT_EQ(done, QStringList({"c"}));
    undo.undo();
    // A group undoes its steps last first.
    EXPECT_EQ(done, QStringList({"c", "b", "a"}));
    EXPECT_FALSE(undo.canUndo());
    EXPECT_FALSE(undo.canRedo()); // nothing registered its inverse
    undo.registerUndo([&] { done << "d"; });
    EXPECT_TRUE(undo.canUndo());
}
