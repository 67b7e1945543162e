#include "text/KTTextFinderMatcher.h"

#include <gtest/gtest.h>

// Readable failure messages.
static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
static void PrintTo(const NSRange& range, std::ostream* os) {
    *os << '(' << range.location << ", " << range.length << ')';
}

namespace {

using Matcher = KTTextFinderMatcher;
using Status = KTTextFinderMatcher::Status;

constexpr uint32_t defaults = Matcher::CaseInsensitiveSearch | Matcher::LiteralSearch;
constexpr uint32_t matchCase = Matcher::LiteralSearch;
constexpr uint32_t regex = defaults | Matcher::RegularExpressionSearch;
constexpr uint32_t regexMatchCase = Matcher::LiteralSearch | Matcher::RegularExpressionSearch;

struct SearchCase {
    const char* label;
    QString text;
    QString find;
    uint32_t options;
    QList<NSRange> matches;
    Status status = Status::Ok;
};

class Search : public ::testing::TestWithParam<SearchCase> {};

TEST_P(Search, FindsEveryOccurrence) {
    const SearchCase& c = GetParam();
    Matcher matcher(c.find, c.options);
    EXPECT_EQ(matcher.matchesInString(c.text), c.matches);
    EXPECT_EQ(matcher.status(), c.status);
    EXPECT_EQ(matcher.hasError(), c.status != Status::Ok);
    EXPECT_EQ(matcher.errorDescription().isEmpty(), c.status == Status::Ok);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Search,
    ::testing::Values(SearchCase{"TwoOccurrencesAnyCase",
                                 QStringLiteral("Word one, then WORD two"),
                                 QStringLiteral("word"),
                                 defaults,
                                 {{0, 4}, {15, 4}}},
                      SearchCase{"MatchCase",
                                 QStringLiteral("Word one, then word two"),
                                 QStringLiteral("word"),
                                 matchCase,
                                 {{15, 4}}},
                      SearchCase{"OneMatch",
                                 QStringLiteral("<div class=\"x\">"),
                                 QStringLiteral("class"),
                                 defaults,
                                 {{5, 5}}},
                      SearchCase{
                          "NoMatch", QStringLiteral("abc"), QStringLiteral("abd"), defaults, {}},
                      SearchCase{"EmptyFindText", QStringLiteral("abc"), QString(), regex, {}},
                      SearchCase{"EmptyText", QString(), QStringLiteral("a"), defaults, {}},
                      SearchCase{"NotOverlapping",
                                 QStringLiteral("aaaaa"),
                                 QStringLiteral("aa"),
                                 defaults,
                                 {{0, 2}, {2, 2}}},
                      // Indices count UTF-16 units: an emoji takes two.
                      SearchCase{"AfterSurrogatePairs",
                                 QStringLiteral("\U0001F600x\U0001F600x"),
                                 QStringLiteral("x"),
                                 defaults,
                                 {{2, 1}, {5, 1}}},
                      SearchCase{"RegexDigitClass",
                                 QStringLiteral("a1b22c"),
                                 QStringLiteral("[0-9]"),
                                 regex,
                                 {{1, 1}, {3, 1}, {4, 1}}},
                      SearchCase{"RegexIgnoresCaseByDefault",
                                 QStringLiteral("Foo fOO"),
                                 QStringLiteral("f(o)+"),
                                 regex,
                                 {{0, 3}, {4, 3}}},
                      SearchCase{"RegexMatchCase",
                                 QStringLiteral("Foo fOO foo"),
                                 QStringLiteral("fo+"),
                                 regexMatchCase,
                                 {{8, 3}}},
                      SearchCase{"RegexAnchorsAtLines",
                                 QStringLiteral("ab\nba\nb"),
                                 QStringLiteral("^b"),
                                 regex,
                                 {{3, 1}, {6, 1}}},
                      SearchCase{"RegexEmptyMatchesSkipped",
                                 QStringLiteral("axxbx"),
                                 QStringLiteral("x*"),
                                 regex,
                                 {{1, 2}, {4, 1}}},
                      SearchCase{"RegexSupplementaryCharacter",
                                 QStringLiteral("a\U0001F600b\U0001F600"),
                                 QStringLiteral("\\x{1F600}"),
                                 regex,
                                 {{1, 2}, {4, 2}}},
                      SearchCase{"RegexWithoutRegexOption",
                                 QStringLiteral("a1 [0-9]"),
                                 QStringLiteral("[0-9]"),
                                 defaults,
                                 {{3, 5}}},
                      SearchCase{"InvalidPattern",
                                 QStringLiteral("a(b"),
                                 QStringLiteral("a(b"),
                                 regex,
                                 {},
                                 Status::InvalidPattern},
                      SearchCase{"InvalidClass",
                                 QStringLiteral("[z-a]"),
                                 QStringLiteral("[z-a]"),
                                 regex,
                                 {},
                                 Status::InvalidPattern},
                      // A runaway pattern is stopped by the engine's time limit and reported.
                      SearchCase{"RunawayPattern",
                                 QString(40, QLatin1Char('a')) + QLatin1Char('b'),
                                 QStringLiteral("(a+)+$"),
                                 regex,
                                 {},
                                 Status::TimedOut}),
    [](const ::testing::TestParamInfo<SearchCase>& info) { return std::string(info.param.label); });

TEST(KTTextFinderMatcher, RecoversAfterAnErrorWhenTheQueryChanges) {
    Matcher matcher(QStringLiteral("(a+)+$"), regex);
    const QString text = QString(40, QLatin1Char('a')) + QLatin1Char('b');
    EXPECT_TRUE(matcher.matchesInString(text).isEmpty());
    EXPECT_EQ(matcher.status(), Status::TimedOut);

    matcher.setFindText(QStringLiteral("a+b"));
    EXPECT_EQ(matcher.matchesInString(text), (QList<NSRange>{{0, 41}}));
    EXPECT_FALSE(matcher.hasError());

    matcher.setFindText(QStringLiteral("a)"));
    EXPECT_TRUE(matcher.matchesInString(text).isEmpty());
    EXPECT_EQ(matcher.status(), Status::InvalidPattern);
    EXPECT_LE(matcher.errorOffset(), 2u); // near the stray parenthesis

    // Turning regular expressions off makes the same text a plain search.
    matcher.setCompareOptions(defaults);
    EXPECT_EQ(matcher.matchesInString(QStringLiteral("xa)")), (QList<NSRange>{{1, 2}}));
    EXPECT_FALSE(matcher.hasError());
}

struct ReplaceCase {
    const char* label;
    QString text;
    QString find;
    uint32_t options;
    NSRange range;
    QString replacement;
    std::optional<QString> expected;
    Status status = Status::Ok;
};

class ReplaceOne : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceOne, ComputesTheReplacementText) {
    const ReplaceCase& c = GetParam();
    Matcher matcher(c.find, c.options);
    EXPECT_EQ(matcher.replacementForMatch(c.text, c.range, c.replacement), c.expected);
    EXPECT_EQ(matcher.status(), c.status);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplaceOne,
    ::testing::Values(ReplaceCase{"Groups",
                                  QStringLiteral("mail bob@host now"),
                                  QStringLiteral("(\\w+)@(\\w+)"),
                                  regex,
                                  {5, 8},
                                  QStringLiteral("$2 at $1"),
                                  QStringLiteral("host at bob")},
                      ReplaceCase{"NamedGroup",
                                  QStringLiteral("x bob@host"),
                                  QStringLiteral("(?<user>\\w+)@"),
                                  regex,
                                  {2, 4},
                                  QStringLiteral("${user}+"),
                                  QStringLiteral("bob+")},
                      ReplaceCase{"WholeMatchAndEscapes",
                                  QStringLiteral("a 12 b"),
                                  QStringLiteral("\\d+"),
                                  regex,
                                  {2, 2},
                                  QStringLiteral("\\$0=$0"),
                                  QStringLiteral("$0=12")},
                      ReplaceCase{"PlainIsLiteral",
                                  QStringLiteral("Cat cat"),
                                  QStringLiteral("cat"),
                                  defaults,
                                  {0, 3},
                                  QStringLiteral("$1 dog"),
                                  QStringLiteral("$1 dog")},
                      ReplaceCase{"MissingGroup",
                                  QStringLiteral("ab"),
                                  QStringLiteral("(a)b"),
                                  regex,
                                  {0, 2},
                                  QStringLiteral("$2"),
                                  std::nullopt,
                                  Status::InvalidReplacement},
                      // After an edit the stored range may hold other text: nothing is replaced.
                      ReplaceCase{"StaleRegexRange",
                                  QStringLiteral("xx ab"),
                                  QStringLiteral("ab"),
                                  regex,
                                  {0, 2},
                                  QStringLiteral("z"),
                                  std::nullopt,
                                  Status::NotAMatch},
                      ReplaceCase{"StalePlainRange",
                                  QStringLiteral("xx cat"),
                                  QStringLiteral("cat"),
                                  matchCase,
                                  {3, 3},
                                  QStringLiteral("z"),
                                  QStringLiteral("z")},
                      ReplaceCase{"WrongCase",
                                  QStringLiteral("xx Cat"),
                                  QStringLiteral("cat"),
                                  matchCase,
                                  {3, 3},
                                  QStringLiteral("z"),
                                  std::nullopt,
                                  Status::NotAMatch},
                      ReplaceCase{"RangePastTheEnd",
                                  QStringLiteral("cat"),
                                  QStringLiteral("cat"),
                                  defaults,
                                  {2, 3},
                                  QStringLiteral("z"),
                                  std::nullopt,
                                  Status::NotAMatch},
                      ReplaceCase{"InvalidPattern",
                                  QStringLiteral("cat"),
                                  QStringLiteral("(cat"),
                                  regex,
                                  {0, 3},
                                  QStringLiteral("z"),
                                  std::nullopt,
                                  Status::InvalidPattern}),
    [](const ::testing::TestParamInfo<ReplaceCase>& info) {
        return std::string(info.param.label);
    });

TEST(KTTextFinderMatcher, ReplaceAllWithGroups) {
    const QString text = QStringLiteral("a1 b22 c333");
    Matcher matcher(QStringLiteral("([a-z])(\\d+)"), regex);
    const auto replacements = matcher.replacementsInString(text, QStringLiteral("$2$1"));
    ASSERT_TRUE(replacements);
    EXPECT_EQ(*replacements, (QList<Matcher::Replacement>{{{0, 2}, QStringLiteral("1a")},
                                                          {{3, 3}, QStringLiteral("22b")},
                                                          {{7, 4}, QStringLiteral("333c")}}));
    EXPECT_EQ(Matcher::stringByApplyingReplacements(text, *replacements),
              QStringLiteral("1a 22b 333c"));
}

TEST(KTTextFinderMatcher, ReplaceAllPlainAnyCase) {
    const QString text = QStringLiteral("Cat, cat and CAT.");
    Matcher matcher(QStringLiteral("cat"));
    const auto replacements = matcher.replacementsInString(text, QStringLiteral("$dog"));
    ASSERT_TRUE(replacements);
    EXPECT_EQ(replacements->size(), 3);
    EXPECT_EQ(Matcher::stringByApplyingReplacements(text, *replacements),
              QStringLiteral("$dog, $dog and $dog."));
}

TEST(KTTextFinderMatcher, ReplaceAllRefusesWhatItCannotFinish) {
    const QString text = QStringLiteral("ab ") + QString(40, QLatin1Char('a')) + QLatin1Char('b');
    Matcher runaway(QStringLiteral("(a+)+c|ab"), regex);
    EXPECT_FALSE(runaway.replacementsInString(text, QStringLiteral("x")));
    EXPECT_EQ(runaway.status(), Status::TimedOut);

    Matcher missingGroup(QStringLiteral("ab"), regex);
    EXPECT_FALSE(missingGroup.replacementsInString(text, QStringLiteral("$1")));
    EXPECT_EQ(missingGroup.status(), Status::InvalidReplacement);
}

struct StepCase {
    const char* label;
    QList<NSRange> matches;
    uint32_t textLength;
    QList<int> directions;
    QList<std::optional<NSRange>> shown;
};

TEST(KTTextFinderMatchCursor, StepsWithWrapAndSkipsRangesPastTheEnd) {
    const StepCase cases[] = {
        // After collecting, the first step forward shows the second occurrence.
        {"TwoMatches",
         {{0, 4}, {10, 4}},
         20,
         {1, 1, 0, 0},
         {{{10, 4}}, {{0, 4}}, {{10, 4}}, {{0, 4}}}},
        {"OneMatch", {{3, 2}}, 20, {1, 1, 0}, {{{3, 2}}, {{3, 2}}, {{3, 2}}}},
        {"NoMatches", {}, 20, {1, 0}, {std::nullopt, std::nullopt}},
        // The text got shorter since the search: ranges beyond its end are passed over.
        {"PastTheEnd",
         {{0, 2}, {5, 2}, {9, 2}},
         8,
         {1, 1, 0, 0},
         {{{5, 2}}, {{0, 2}}, {{5, 2}}, {{0, 2}}}},
        {"AllPastTheEnd", {{4, 2}, {9, 2}}, 3, {1, 0}, {std::nullopt, std::nullopt}},
    };
    for (const StepCase& c : cases) {
        SCOPED_TRACE(c.label);
        KTTextFinderMatchCursor cursor;
        cursor.setMatches(c.matches);
        for (qsizetype i = 0; i < c.directions.size(); ++i)
            EXPECT_EQ(cursor.step(c.directions.at(i), c.textLength), c.shown.at(i)) << "step " << i;
    }
}

} // namespace
