#include "EngineSupport.h"

#include <gtest/gtest.h>

using namespace syntaxtest;

namespace {

const PlistDict kTags{{"beginCommand", "<"},
                      {"endCommand", ">"},
                      {"keywords", QStringList{"div", "a", "href"}},
                      {"recolourKeywordIfAlreadyColoured", true},
                      {"firstString", "\""}};

PlistDict with(PlistDict dict, const PlistDict& more) {
    for (const auto& entry : more) {
        bool replaced = false;
        for (auto& existing : dict) {
            if (existing.first == entry.first) {
                existing.second = entry.second;
                replaced = true;
            }
        }
        if (!replaced)
            dict.push_back(entry);
    }
    return dict;
}

const PlistDict kCLike{{"keywords", QStringList{"return", "if", "Echo"}},
                       {"autocompleteWords", QStringList{"Echo", "printf"}},
                       {"firstString", "\""},
                       {"secondString", "'"},
                       {"firstSingleLineComment", "//"},
                       {"beginFirstMultiLineComment", "/*"},
                       {"endFirstMultiLineComment", "*/"}};

struct MapCase {
    const char* name;
    PlistDict keys;
    QString text;
    QString expected;
};

// Whole-text runs whose every character's scope is checked.
TEST(KeywordListEngine, ColoursWholeTexts) {
    const MapCase cases[] = {
        // Tag names are keywords inside tags only; body text stays prose.
        {"keywords inside tags", kTags, "div <div a>x</div>", "ppppekkkekepeekkke"},
        {"no recolouring inside tags", with(kTags, {{"recolourKeywordIfAlreadyColoured", false}}),
         "div <div a>x</div>", "ppppeeeeeeepeeeeee"},
        // The attribute is storage from the space before it up to "=", which stays entity.
        {"attribute with equals", kTags, "<a href=\"x\" b>", "ektttttessseee"},
        {"nested tag", kTags, "<a <b> c> d", "ekeeeeeeepp"},
        {"tag without end on its line", kTags, "<a\nb>", "ppppp"},
        // Languages without tags or instructions colour their words in code, and later passes
        // still win inside strings and comments.
        {"keywords in code", kCLike, "return \"return\"; // return\nif",
         "kkkkkkpsssssssspp"
         "cccccccccc"
         "kk"},
        {"both cases with case-insensitive keywords", kCLike, "echo ECHO Echo ifx",
         "kkkkpkkkkpkkkkpppp"},
        // Without case sensitivity the text is lower-cased before the look-up, so a mixed-case
        // autocomplete word (never lower-cased itself) matches nothing.
        {"mixed-case autocomplete word",
         {{"autocompleteWords", QStringList{"Echo", "printf"}}},
         "Echo echo printf",
         "ppppppppppuuuuuu"},
        {"case-sensitive keywords", with(kCLike, {{"keywordsCaseSensitive", true}}),
         "Echo echo printf", "kkkkppppppuuuuuu"},
        {"'//' after a colon", kCLike, "a http://x // y",
         "ppppppppppp"
         "cccc"},
        {"line comment marker inside a string", kCLike, "x \"a // b\" c", "ppsssssssspp"},
        {"block comment marker inside a string", kCLike, "x = '/*'; y */ z", "ppppsssspppppppp"},
        {"escaped delimiter", kCLike, "x \"a\\\"b\" y", "ppsssssspp"},
        {"string spanning lines after a backslash", kCLike, "x \"a\\\nb\" y", "ppsssssspp"},
        {"unterminated string", kCLike, "x \"abc", "pppppp"},
        {"string at the very start is not found", kCLike, "\"a\" b", "ppppp"},
        {"unterminated block comment runs to its line end", kCLike, "x /* a\nb", "ppcccccp"},
        {"block comment over lines", kCLike, "a /* b\nc */ d", "ppcccccccccpp"},
        {"'#' comments, skips and '#!' lines",
         {{"firstSingleLineComment", "#"}, {"beginVariable", "$"}, {"endVariable", " ;"}},
         "# top\nx $# y # z\n#!/bin/sh # no\nq &# w",
         "cccccc"
         "pptt"
         "ppp"
         "cccc"
         "ppppppppppppppp"
         "pppppp"},
        {"variables end at their end characters or the line",
         {{"beginVariable", "$@"}, {"endVariable", " ;"}},
         "$a;b @cd\n$e f",
         "ttppp"
         "tttttt"
         "pp"},
        {"'%' comment after a backslash",
         {{"firstSingleLineComment", "%"}},
         "a \\% b % c",
         "pppppppccc"},
        {"instructions and keywords inside them",
         {{"beginInstruction", "<?"}, {"endInstruction", "?>"}, {"keywords", QStringList{"echo"}}},
         "echo <?php echo 1 ?> echo",
         "pppppppppppkkkkpppppppppp"},
        {"unterminated instruction runs to its line end",
         {{"beginInstruction", "<?"},
          {"endInstruction", "?>"},
          {"keywords", QStringList{"b", "c"}}},
         "a <? b\nc",
         "pppppkpp"},
    };
    for (const MapCase& c : cases) {
        SCOPED_TRACE(c.name);
        Colouring colouring(c.keys, c.text);
        EXPECT_EQ(colouring.colourAll(), c.expected);
    }
}

TEST(KeywordListEngine, HashAtTheStartOfTheRangeIsAComment) {
    Colouring colouring({{"firstSingleLineComment", "#"}, {"beginVariable", "$"}}, "$#a\n");
    // In the whole text the "#" follows a dollar sign and is part of a variable.
    EXPECT_EQ(colouring.colourAll(), "tttt");
    // A range that starts at the "#" has no character before it: a comment.
    EXPECT_EQ(colouring.colour(NSMakeRange(1, 3)), "ccc");
}

TEST(KeywordListEngine, BlockCommentsReachingIntoTheRange) {
    const PlistDict keys{{"beginFirstMultiLineComment", "/*"},
                         {"endFirstMultiLineComment", "*/"},
                         {"beginSecondMultiLineComment", "{-"},
                         {"endSecondMultiLineComment", "-}"}};
    const QString text = "a /* b\nc */ d\n{- e\nf -} g\n";
    Colouring colouring(keys, text);
    // First pair, opened above the range: coloured from its real start.
    const uint32_t line2 = uint32_t(text.indexOf("c */"));
    EXPECT_EQ(colouring.colour(NSMakeRange(line2, 7)), "ccccppp");
    EXPECT_EQ(scopeMap(*colouring.store, NSMakeRange(2, 5)), "ccccc");
    // Second pair: only what starts inside the range counts.
    const uint32_t line4 = uint32_t(text.indexOf("f -}"));
    EXPECT_EQ(colouring.colour(NSMakeRange(line4, 7)), "ppppppp");
    EXPECT_EQ(colouring.colourAll(), "ppcccccccccpppcccccccccppp");
    // A first-pair comment closed above the range does not reach into it.
    EXPECT_EQ(colouring.colour(NSMakeRange(line4, 7)), "ppppppp");
}

TEST(KeywordListEngine, InstructionOpenedAboveTheRange) {
    Colouring colouring(
        {{"beginInstruction", "<?"}, {"endInstruction", "?>"}, {"keywords", QStringList{"echo"}}},
        "<?php\necho\n?>\necho\n");
    EXPECT_EQ(colouring.colour(NSMakeRange(6, 5)), "kkkkp");
    EXPECT_EQ(scopeMap(*colouring.store), "ppppppkkkkppp"
                                          "......");
}

TEST(KeywordListEngine, HtmlCommentWrappingAScriptOrStyleBody) {
    const PlistDict keys{{"beginCommand", "<"},
                         {"endCommand", ">"},
                         {"beginFirstMultiLineComment", "<!--"},
                         {"endFirstMultiLineComment", "-->"}};
    struct Case {
        const char* text;
        bool coloured;
    };
    const Case cases[] = {
        {"<script><!--\nx\n--></script>\n", false},
        {"<script><!--\nx\n-->\n</SCRIPT>\n", false},
        {"<style><!--\nx\n--></Style>\n</style>", false},
        {"<p><!--\nx\n-->\n<b>done</b>\n", true},
        {"<p><!--\nx\n--> tail text here\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const QString text = QString::fromUtf8(c.text);
        Colouring colouring(keys, text);
        const QString map = colouring.colourAll();
        EXPECT_EQ(map[text.indexOf('x')], c.coloured ? u'c' : u'p');
    }
}

TEST(KeywordListEngine, EmptyRangesAndMissingPartsLeaveTheStoreAlone) {
    KTTextAttributes red;
    red.foregroundColor = QColor(Qt::red);
    {
        // An empty range: the batch is opened and closed again, nothing is coloured.
        Colouring colouring(kCLike, "return 1");
        ProcessingCounter processings(*colouring.store);
        colouring.engine.ensureParsingForCharacterRange(NSMakeRange(3, 0));
        EXPECT_EQ(processings.count, 1);
        EXPECT_EQ(scopeMap(*colouring.store), "........");
        // Balanced: an edit outside any batch is processed at once.
        colouring.store->setAttributes(red, NSMakeRange(0, 1));
        EXPECT_EQ(processings.count, 2);
        // A range reaching past the text is cut at its end; one starting past it colours
        // nothing.
        colouring.engine.ensureParsingForCharacterRange(NSMakeRange(7, 50));
        EXPECT_EQ(scopeMap(*colouring.store), "?......p");
        colouring.engine.ensureParsingForCharacterRange(NSMakeRange(50, 5));
        EXPECT_EQ(scopeMap(*colouring.store), "?......p");
        colouring.store->setAttributes(red, NSMakeRange(0, 1));
        EXPECT_EQ(processings.count, 5);
    }
    {
        // Empty text: no batch at all.
        Colouring colouring(kCLike, "");
        ProcessingCounter processings(*colouring.store);
        colouring.engine.ensureParsingForCharacterRange(NSMakeRange(0, 0));
        EXPECT_EQ(processings.count, 0);
    }
    {
        // No definition: no batch, no colour.
        Colouring colouring(kCLike, "return 1");
        colouring.engine.setSyntaxDefinition(nullptr);
        ProcessingCounter processings(*colouring.store);
        colouring.engine.ensureParsingForCharacterRange(NSMakeRange(0, 8));
        EXPECT_EQ(processings.count, 0);
        EXPECT_EQ(scopeMap(*colouring.store), "........");
    }
}

// One run is one batch: the store processes the edits of a run once.
TEST(KeywordListEngine, OneBatchPerRun) {
    Colouring colouring(kCLike, "if (a) return 'x'; // c\n/* d */ printf(\"e\");\n");
    ProcessingCounter processings(*colouring.store);
    colouring.colourAll();
    EXPECT_EQ(processings.count, 1);
    EXPECT_EQ(colouring.store->editedRange().location, NSNotFound);
}

// A minified one-line file with block-comment markers inside strings far apart: the run must
// colour it right (and, with the search moving past each such marker, in linear time).
TEST(KeywordListEngine, LongLineWithCommentMarkersInsideStrings) {
    QString text;
    const QString filler = QStringLiteral("a=b+c;");
    QList<qsizetype> markers;
    for (int block = 0; block < 4; ++block) {
        for (int i = 0; i < 20000; ++i)
            text += filler;
        markers << text.size() + 3;
        text += QStringLiteral("s='/*';");
    }
    const qsizetype comment = text.size() + 1;
    text += QStringLiteral(" /* end */ return");
    ASSERT_GT(text.size(), 480000);
    Colouring colouring(kCLike, text);
    const QString map = colouring.colourAll();
    for (qsizetype marker : markers) {
        EXPECT_EQ(map.mid(marker - 1, 4), "ssss");
        EXPECT_EQ(map.mid(marker + 3, 2), "pp");
    }
    EXPECT_EQ(map.mid(comment, 9), "ccccccccc");
    EXPECT_EQ(map.right(7), "pkkkkkk");
    EXPECT_EQ(map.count(u'c'), 9);
}

// The backward look for an open construct against the plain definition: the last begin marker
// in the text before the limit, unless an end marker starts after it.
TEST(KeywordListEngine, LastOpenMarkerMatchesAPlainSearch) {
    auto reference = [](QStringView text, uint32_t limit, const QString& begin,
                        const QString& end) -> std::optional<uint32_t> {
        // Spelled out: the occurrences that lie wholly before the limit.
        auto last = [&](const QString& marker) -> qsizetype {
            if (marker.isEmpty())
                return -1;
            for (qsizetype at = qsizetype(limit) - marker.size(); at >= 0; --at) {
                if (text.mid(at, marker.size()) == marker)
                    return at;
            }
            return -1;
        };
        const qsizetype lastBegin = last(begin);
        const qsizetype lastEnd = last(end);
        if (lastBegin < 0 || lastEnd > lastBegin)
            return std::nullopt;
        return uint32_t(lastBegin);
    };
    const std::pair<QString, QString> markers[] = {{"/*", "*/"}, {"<!--", "-->"}, {"<?", "?>"},
                                                   {"{", "}"},   {"--", "-"},     {"<", ""}};
    const QString alphabet = QStringLiteral("/*<!-?>{}a\n");
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 16;
    };
    for (int round = 0; round < 3000; ++round) {
        QString text;
        const int length = int(next() % 70);
        for (int i = 0; i < length; ++i)
            text += alphabet[qsizetype(next() % alphabet.size())];
        for (uint32_t limit = 0; limit <= uint32_t(text.size()); ++limit) {
            // All pairs in one walk give what each gives alone.
            std::vector<KeywordListSyntaxEngine::OpenMarkerQuery> queries;
            for (const auto& [begin, end] : markers)
                queries.push_back({begin, end});
            KeywordListSyntaxEngine::lastOpenMarkers(text, limit, queries);
            for (const auto& query : queries)
                ASSERT_EQ(query.location, reference(text, limit, query.begin, query.end))
                    << text.toStdString() << " limit " << limit << " (together)";
        }
        for (const auto& [begin, end] : markers) {
            for (uint32_t limit = 0; limit <= uint32_t(text.size()); ++limit) {
                ASSERT_EQ(KeywordListSyntaxEngine::lastOpenMarker(text, limit, begin, end),
                          reference(text, limit, begin, end))
                    << text.toStdString() << " limit " << limit << " " << begin.toStdString() << " "
                    << end.toStdString();
            }
        }
    }
}

TEST(SyntaxEngine, VisibleRangeBecomesWholeLinesInsideTheText) {
    const QString text = "ab\ncd\nef"; // lines at 0, 3, 6
    struct Case {
        NSRange visible;
        NSRange lines;
    };
    const Case cases[] = {
        {{4, 1}, {3, 3}},
        {{1, 3}, {0, 6}},
        {{3, 3}, {3, 3}}, // ends at a line start: that line is not included
        {{6, 2}, {6, 2}},
        {{4, 0}, {3, 3}},
        {{NSNotFound, 0}, {0, 8}},              // both corners outside: the whole (short) text
        {{NSNotFound, 5 - NSNotFound}, {0, 6}}, // top above the text, bottom inside
        {{4, NSNotFound - 4}, {3, 5}},          // bottom below the text
        {{20, 5}, {6, 2}},                      // past the end
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.visible.location << "," << c.visible.length);
        EXPECT_EQ(KTSyntaxEngine::lineRangeForVisibleRange(text, c.visible), c.lines);
    }
    EXPECT_EQ(KTSyntaxEngine::lineRangeForVisibleRange(u"", {NSNotFound, 0}), NSMakeRange(0, 0));
    EXPECT_EQ(KTSyntaxEngine::lineRangeForVisibleRange(u"a\r\nb", {1, 1}), NSMakeRange(0, 3));
}

TEST(SyntaxEngine, SharedEngineIsOneKeywordListEngine) {
    KTSyntaxEngine* engine = KTSyntaxEngine::sharedSyntaxEngine();
    EXPECT_NE(dynamic_cast<KeywordListSyntaxEngine*>(engine), nullptr);
    EXPECT_EQ(engine, KTSyntaxEngine::sharedSyntaxEngine());
}

} // namespace
