#include "platform/Typesetter.h"
#include "text/KTTextStorage.h"

#include <QTextLayout>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

// Plain text in one font; remembers which characters were read.
class RecordingText : public AttributedText {
public:
    RecordingText(const QString& text, CTFontRef font) : text_(text) {
        attributes_.font = std::move(font);
    }
    uint32_t length() const override { return static_cast<uint32_t>(text_.size()); }
    QChar characterAtIndex(uint32_t index) const override {
        note(index, 1);
        return text_[index];
    }
    void getCharacters(QChar* buffer, uint32_t location, uint32_t count) const override {
        note(location, count);
        std::copy_n(text_.constData() + location, count, buffer);
    }
    const TextAttributes& runAttributesAtIndex(uint32_t, uint32_t* start,
                                               uint32_t* end) const override {
        if (start)
            *start = 0;
        if (end)
            *end = length();
        return attributes_;
    }
    mutable uint32_t lowest = UINT32_MAX;
    mutable uint32_t highest = 0;

private:
    void note(uint32_t location, uint32_t count) const {
        lowest = std::min(lowest, location);
        highest = std::max(highest, location + count);
    }
    QString text_;
    TextAttributes attributes_;
};

CTFontRef courier() {
    return CTFontCreateWithName(QStringLiteral("Courier"), 14);
}

struct LineInfo {
    int64_t start;
    int64_t length;
    qreal width;
    friend bool operator==(const LineInfo&, const LineInfo&) = default;
};

// How Qt's shaper breaks and measures a paragraph.
std::vector<LineInfo> shapedLines(const QString& text, const QFont& font, qreal width) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    std::vector<LineInfo> lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines.push_back({line.textStart(), line.textLength(), line.horizontalAdvance()});
    }
    layout.endLayout();
    return lines;
}

std::vector<LineInfo> typesetLines(const AttributedText& text, qreal width) {
    auto framesetter =
        CTFramesetterCreateWithAttributedString(&text, CFRangeMake(0, text.length()));
    auto frame = CTFramesetterCreateFrame(framesetter, CFRangeMake(0, 0), QRectF(0, 0, width, 1e9));
    std::vector<LineInfo> lines;
    for (const CTLineRef& line : CTFrameGetLines(frame)) {
        const CFRange range = CTLineGetStringRange(line);
        lines.push_back({range.location, range.length,
                         CTLineGetTypographicBounds(line, nullptr, nullptr, nullptr)});
    }
    return lines;
}

TEST(Typesetter, ArithmeticMeasuringBreaksAndMeasuresAsShaping) {
    const CTFontRef font = courier();
    ASSERT_GT(font->asciiAdvance(), 0) << "the monospaced font must take the arithmetic path";
    const QString long64 = QString(64, QChar(u'x'));
    const QString cases[] = {
        "short line",
        "    const value = computeSomething(alpha, beta, gamma) + other.field[index] * 42; // "
        "trailing words",
        QString(150, QChar(u'a')), // one word wider than the line: broken where it overflows
        "        " + QString(70, QChar(u'c')) + " tail", // leading spaces before a long word
        "words then " + QString(130, QChar(u'b')) + " and after",
        long64 + "   ", // spaces hanging past the edge
        "a  b  c   " + long64 + " d",
        "<div class=\"x\">(a)[b]{c} a/b-c ?x !y \"quoted text\" 'single' 1,000.50 - -- --- ))) ]]",
    };
    const qreal widths[] = {738, 100, 11.4375 * 20, 500.5};
    for (const QString& text : cases) {
        for (qreal width : widths) {
            RecordingText source(text, font);
            const auto ours = typesetLines(source, width);
            const auto shaped = shapedLines(text, font->font(), width);
            ASSERT_EQ(ours.size(), shaped.size()) << text.toStdString() << " @ " << width;
            for (size_t i = 0; i < ours.size(); ++i)
                EXPECT_EQ(ours[i], shaped[i])
                    << text.toStdString() << " @ " << width << " line " << i;
        }
    }
    // And many random lines of code-like characters.
    std::mt19937 random(11);
    const QString alphabets[] = {
        "abcdefghij     ;:,.(){}[]<>=+-*/\"'!?&|#%$@^~`_\\0123456789",
        "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa bbbbbbb-/.:", "abc    ", "ab._1 Z.9_ ",
        "aaaa.b_1 (x) [y] 'q' \"r\" a-1 1-a a/b 2,3 ?!;:"};
    for (int n = 0; n < 5000; ++n) {
        const QString& alphabet = alphabets[n % 5];
        QString text;
        for (int i = static_cast<int>(random() % 260); i > 0; --i)
            text += alphabet[static_cast<int>(random() % alphabet.size())];
        if (text.isEmpty())
            continue; // no characters, no lines (the shaper would make one empty line)
        RecordingText source(text, font);
        ASSERT_EQ(typesetLines(source, 738), shapedLines(text, font->font(), 738))
            << text.toStdString();
    }
}

TEST(Typesetter, FrameTakesTheWholeLinesThatFit) {
    const CTFontRef font = courier();
    const qreal lineHeight = font->ascent() + font->descent() + font->leading();
    RecordingText source("one\ntwo\nthree\nfour\nfive\n", font);
    auto framesetter =
        CTFramesetterCreateWithAttributedString(&source, CFRangeMake(0, source.length()));
    struct Case {
        qreal height;
        size_t lines;
        int64_t visible;
    } cases[] = {{lineHeight * 3.5, 3, 14}, {lineHeight * 0.5, 0, 0}, {lineHeight * 10, 5, 24}};
    for (const Case& c : cases) {
        auto frame =
            CTFramesetterCreateFrame(framesetter, CFRangeMake(0, 0), QRectF(0, 0, 300, c.height));
        EXPECT_EQ(CTFrameGetLines(frame).size(), c.lines) << c.height;
        EXPECT_EQ(CTFrameGetVisibleStringRange(frame).length, c.visible) << c.height;
        EXPECT_EQ(CTFrameGetStringRange(frame).length, 24) << c.height;
        // Origins count upwards from the bottom of the box, one line apart.
        std::vector<QPointF> origins(CTFrameGetLines(frame).size());
        CTFrameGetLineOrigins(frame, CFRangeMake(0, 0), origins.data());
        for (size_t i = 0; i < origins.size(); ++i)
            EXPECT_DOUBLE_EQ(origins[i].y(), c.height - font->ascent() - i * lineHeight);
    }
}

TEST(Typesetter, ReadsOnlyTheAskedRange) {
    QString text;
    for (int i = 0; i < 20000; ++i)
        text += QString("line %1 of a long document\n").arg(i);
    RecordingText source(text, courier());
    const uint32_t location = source.length() / 2;
    auto framesetter = CTFramesetterCreateWithAttributedString(
        &source, CFRangeMake(location, source.length() - location));
    auto frame = CTFramesetterCreateFrame(framesetter, CFRangeMake(0, 0), QRectF(0, 0, 738, 256));
    ASSERT_GT(CTFrameGetVisibleStringRange(frame).length, 0);
    EXPECT_GE(source.lowest, location);
    EXPECT_LT(source.highest - location, 20000u) << "typesetting one box must not read the rest";
}

TEST(Typesetter, ShapedScriptsNeverSplitSurrogatePairs) {
    const QString samples[] = {
        "\tindented\twith\ttabs",
        "e\u0301e\u0301e\u0301 combining marks a\u0308o\u0308",
        "\u6f22\u5b57\u304b\u306a\u6df7\u3058\u308a\u306e\u6587\u7ae0\u3067\u3059",
        "emoji \U0001F600\U0001F680\U0001F44D\U0001F3FD and \U0001F469\u200D\U0001F4BB end",
        "\u05e9\u05dc\u05d5\u05dd \u0645\u0631\u062d\u0628\u0627 mixed",
        QString(40, QChar(0xD83D)), // lone high surrogates: still no crash
    };
    KTTextStorage storage;
    for (const QString& sample : samples) {
        const QString text = (sample + " ").repeated(6);
        storage.setAttributedString(text, TextAttributes{courier(), std::nullopt});
        auto framesetter =
            CTFramesetterCreateWithAttributedString(&storage, CFRangeMake(0, storage.length()));
        auto frame =
            CTFramesetterCreateFrame(framesetter, CFRangeMake(0, 0), QRectF(0, 0, 160, 1e6));
        int64_t expectedStart = 0;
        for (const CTLineRef& line : CTFrameGetLines(frame)) {
            const CFRange range = CTLineGetStringRange(line);
            EXPECT_EQ(range.location, expectedStart) << "lines cover the text in order";
            expectedStart = range.location + range.length;
            auto splits = [&](int64_t index) {
                return index > 0 && index < text.size() && text[index].isLowSurrogate() &&
                       text[index - 1].isHighSurrogate();
            };
            EXPECT_FALSE(splits(range.location));
            for (qreal x = -5; x < 200; x += 3) {
                const int64_t index = CTLineGetStringIndexForPosition(line, QPointF(x, 0));
                EXPECT_GE(index, range.location);
                EXPECT_LE(index, range.location + range.length);
                EXPECT_FALSE(splits(index)) << "x " << x;
            }
        }
        EXPECT_EQ(expectedStart, text.size()) << "every character is in a line";
    }
}

} // namespace
