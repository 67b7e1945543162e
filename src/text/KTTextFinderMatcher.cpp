#include "text/KTTextFinderMatcher.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

namespace {

icu::UnicodeString aliasOf(const QString& text) {
    // A read-only alias: no copy of the searched text.
    return icu::UnicodeString(false, reinterpret_cast<const UChar*>(text.utf16()),
                              static_cast<int32_t>(text.size()));
}

QString toQString(const icu::UnicodeString& string, int32_t start, int32_t length) {
    return QString(reinterpret_cast<const QChar*>(string.getBuffer() + start), length);
}

bool isStopped(UErrorCode status) {
    return status == U_REGEX_STOPPED_BY_CALLER || status == U_REGEX_TIME_OUT ||
           status == U_REGEX_STACK_OVERFLOW;
}

// One budget of engine steps for a whole search, however many matches it finds: the engine
// calls back once per step (some ten thousand operations) and the search stops when the
// budget is spent.
struct StepBudget {
    int64_t remaining;
};

UBool U_CALLCONV spendStep(const void* context, int32_t) {
    auto* budget = static_cast<StepBudget*>(const_cast<void*>(context));
    return --budget->remaining > 0;
}

std::unique_ptr<icu::RegexMatcher> makeMatcher(const icu::RegexPattern& pattern,
                                               const icu::UnicodeString& input, StepBudget& budget,
                                               UErrorCode& status) {
    std::unique_ptr<icu::RegexMatcher> matcher(pattern.matcher(input, status));
    if (U_FAILURE(status))
        return nullptr;
    matcher->setMatchCallback(spendStep, &budget, status);
    return matcher;
}

} // namespace

KTTextFinderMatcher::KTTextFinderMatcher(const QString& findText, uint32_t compareOptions)
    : m_findText(findText), m_compareOptions(compareOptions) {}

KTTextFinderMatcher::~KTTextFinderMatcher() = default;

void KTTextFinderMatcher::setFindText(const QString& findText) {
    if (findText == m_findText)
        return;
    m_findText = findText;
    m_patternCompiled = false;
}

void KTTextFinderMatcher::setCompareOptions(uint32_t compareOptions) {
    if (compareOptions == m_compareOptions)
        return;
    m_compareOptions = compareOptions;
    m_patternCompiled = false;
}

void KTTextFinderMatcher::setStatus(Status status, const QString& description, uint32_t offset) {
    m_status = status;
    m_errorDescription = description;
    m_errorOffset = offset;
}

void KTTextFinderMatcher::setTimedOut() {
    setStatus(Status::TimedOut,
              QStringLiteral("The regular expression took too long and was stopped."));
}

int32_t KTTextFinderMatcher::timeLimitForLength(qsizetype length) const {
    if (m_timeLimit > 0)
        return m_timeLimit;
    // A step takes about a millisecond here, and an ordinary search of a long text needs one
    // step per 12,000 characters or fewer: a text gets six times what it needs, and a
    // runaway pattern on a source file is cut off after a few hundred milliseconds.
    return static_cast<int32_t>(std::min<qsizetype>(200 + length / 2000, 1000000));
}

bool KTTextFinderMatcher::preparePattern() {
    setStatus(Status::Ok);
    if (!isRegularExpression() || m_findText.isEmpty())
        return true;
    if (!m_patternCompiled) {
        m_patternCompiled = true;
        m_pattern.reset();
        uint32_t flags = UREGEX_MULTILINE; // "^" and "$" at every line, as in an editor
        if (m_compareOptions & CaseInsensitiveSearch)
            flags |= UREGEX_CASE_INSENSITIVE;
        UParseError parseError{};
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::RegexPattern> pattern(
            icu::RegexPattern::compile(aliasOf(m_findText), flags, parseError, status));
        if (U_SUCCESS(status)) {
            m_pattern = std::move(pattern);
        } else {
            m_errorOffset =
                parseError.offset >= 0 ? static_cast<uint32_t>(parseError.offset) : NSNotFound;
        }
    }
    if (!m_pattern) {
        const uint32_t offset = m_errorOffset;
        setStatus(Status::InvalidPattern,
                  offset == NSNotFound
                      ? QStringLiteral("The regular expression is not valid.")
                      : QStringLiteral("The regular expression is not valid near position %1.")
                            .arg(offset),
                  offset);
        return false;
    }
    return true;
}

QList<NSRange> KTTextFinderMatcher::matchesInString(const QString& text) {
    QList<NSRange> matches;
    if (!preparePattern() || m_findText.isEmpty())
        return matches;

    if (!isRegularExpression()) {
        const Qt::CaseSensitivity cs =
            (m_compareOptions & CaseInsensitiveSearch) ? Qt::CaseInsensitive : Qt::CaseSensitive;
        qsizetype location = 0;
        while (location < text.size()) {
            const qsizetype found = text.indexOf(m_findText, location, cs);
            if (found < 0)
                break;
            matches.append(NSMakeRange(static_cast<uint32_t>(found),
                                       static_cast<uint32_t>(m_findText.size())));
            location = found + m_findText.size();
        }
        return matches;
    }

    const icu::UnicodeString input = aliasOf(text);
    UErrorCode status = U_ZERO_ERROR;
    StepBudget budget{timeLimitForLength(text.size())};
    const std::unique_ptr<icu::RegexMatcher> matcher =
        makeMatcher(*m_pattern, input, budget, status);
    if (!matcher)
        return matches;
    // One pass: after an empty match the engine itself moves on by one character.
    while (U_SUCCESS(status) && matcher->find(status)) {
        const int32_t start = matcher->start(status);
        const int32_t end = matcher->end(status);
        if (U_SUCCESS(status) && end > start)
            matches.append(
                NSMakeRange(static_cast<uint32_t>(start), static_cast<uint32_t>(end - start)));
    }
    if (isStopped(status))
        setTimedOut();
    return matches;
}

std::optional<QString> KTTextFinderMatcher::replacementForMatch(const QString& text, NSRange range,
                                                                const QString& replacement) {
    if (!preparePattern())
        return std::nullopt;
    const auto notAMatch = [this]() -> std::optional<QString> {
        setStatus(Status::NotAMatch, QStringLiteral("The text no longer matches."));
        return std::nullopt;
    };
    if (m_findText.isEmpty() || range.length == 0 ||
        NSMaxRange(range) > static_cast<uint32_t>(text.size()))
        return notAMatch();

    if (!isRegularExpression()) {
        const Qt::CaseSensitivity cs =
            (m_compareOptions & CaseInsensitiveSearch) ? Qt::CaseInsensitive : Qt::CaseSensitive;
        if (QStringView(text).sliced(range.location, range.length).compare(m_findText, cs) != 0)
            return notAMatch();
        return replacement;
    }

    const icu::UnicodeString input = aliasOf(text);
    UErrorCode status = U_ZERO_ERROR;
    StepBudget budget{timeLimitForLength(text.size())};
    const std::unique_ptr<icu::RegexMatcher> matcher =
        makeMatcher(*m_pattern, input, budget, status);
    if (!matcher)
        return notAMatch();
    const bool found = matcher->find(range.location, status);
    if (isStopped(status)) {
        setTimedOut();
        return std::nullopt;
    }
    if (!found || U_FAILURE(status) ||
        matcher->start(status) != static_cast<int32_t>(range.location) ||
        matcher->end(status) != static_cast<int32_t>(NSMaxRange(range)))
        return notAMatch();

    // The engine copies the text before the match and then the expanded replacement.
    icu::UnicodeString expanded;
    matcher->appendReplacement(expanded, aliasOf(replacement), status);
    if (U_FAILURE(status)) {
        setStatus(Status::InvalidReplacement,
                  QStringLiteral("The replacement refers to a group the pattern does not have."));
        return std::nullopt;
    }
    return toQString(expanded, static_cast<int32_t>(range.location),
                     expanded.length() - static_cast<int32_t>(range.location));
}

std::optional<QList<KTTextFinderMatcher::Replacement>>
KTTextFinderMatcher::replacementsInString(const QString& text, const QString& replacement) {
    if (!isRegularExpression()) {
        const QList<NSRange> matches = matchesInString(text);
        if (hasError())
            return std::nullopt;
        QList<Replacement> replacements;
        replacements.reserve(matches.size());
        for (const NSRange& range : matches)
            replacements.append({range, replacement});
        return replacements;
    }
    if (!preparePattern())
        return std::nullopt;
    QList<Replacement> replacements;
    if (m_findText.isEmpty())
        return replacements;

    const icu::UnicodeString input = aliasOf(text);
    const icu::UnicodeString replacementText = aliasOf(replacement);
    UErrorCode status = U_ZERO_ERROR;
    StepBudget budget{timeLimitForLength(text.size())};
    const std::unique_ptr<icu::RegexMatcher> matcher =
        makeMatcher(*m_pattern, input, budget, status);
    if (!matcher)
        return std::nullopt;
    // appendReplacement copies the text since the previous match, then the expansion: the
    // expansion is what follows that copy.
    icu::UnicodeString output;
    int32_t appendPosition = 0;
    while (U_SUCCESS(status) && matcher->find(status)) {
        const int32_t start = matcher->start(status);
        const int32_t end = matcher->end(status);
        if (U_FAILURE(status) || end == start)
            continue;
        const int32_t before = output.length() + (start - appendPosition);
        matcher->appendReplacement(output, replacementText, status);
        if (U_FAILURE(status)) {
            setStatus(Status::InvalidReplacement,
                      QStringLiteral("The replacement refers to a group the pattern does not "
                                     "have."));
            return std::nullopt;
        }
        replacements.append(
            {NSMakeRange(static_cast<uint32_t>(start), static_cast<uint32_t>(end - start)),
             toQString(output, before, output.length() - before)});
        appendPosition = end;
    }
    if (isStopped(status)) {
        setTimedOut();
        return std::nullopt;
    }
    if (U_FAILURE(status))
        return std::nullopt;
    return replacements;
}

QString KTTextFinderMatcher::stringByApplyingReplacements(const QString& text,
                                                          const QList<Replacement>& replacements) {
    QString result;
    result.reserve(text.size());
    qsizetype position = 0;
    for (const Replacement& replacement : replacements) {
        const qsizetype start =
            std::clamp<qsizetype>(replacement.range.location, position, text.size());
        const qsizetype end =
            std::clamp<qsizetype>(NSMaxRange(replacement.range), start, text.size());
        result += QStringView(text).sliced(position, start - position);
        result += replacement.text;
        position = end;
    }
    result += QStringView(text).sliced(position);
    return result;
}

void KTTextFinderMatchCursor::setMatches(const QList<NSRange>& matches) {
    m_matches = matches;
    m_index = 0;
}

std::optional<NSRange> KTTextFinderMatchCursor::step(int direction, uint32_t textLength) {
    const uint32_t count = static_cast<uint32_t>(m_matches.size());
    for (uint32_t tried = 0; tried < count; ++tried) {
        if (direction == 1)
            m_index = m_index + 1 >= count ? 0 : m_index + 1;
        else
            m_index = m_index == 0 ? count - 1 : m_index - 1;
        const NSRange range = m_matches.at(m_index);
        if (NSMaxRange(range) <= textLength && range.location <= textLength)
            return range;
    }
    return std::nullopt;
}
