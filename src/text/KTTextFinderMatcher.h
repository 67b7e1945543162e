#pragma once

#include "core/Range.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class RegexPattern;
U_NAMESPACE_END

// The search behind the find bar: every occurrence of the find text in a text, plain or as an
// ICU regular expression over UTF-16, and the replacement texts for "Replace" and
// "Replace All". It never touches a view: callers apply the ranges and replacements.
class KTTextFinderMatcher {
public:
    // The string-search option bits the find bar keeps in its `compareOptions`.
    enum : uint32_t {
        CaseInsensitiveSearch = 1,
        LiteralSearch = 2,
        RegularExpressionSearch = 1024,
    };

    enum class Status {
        Ok,
        InvalidPattern,     // the find text is not a valid regular expression
        TimedOut,           // the regular expression ran into the match time limit
        InvalidReplacement, // a "$" group reference that the pattern does not have
        NotAMatch,          // the range given to replace no longer holds a match
    };

    struct Replacement {
        NSRange range;
        QString text;
        friend bool operator==(const Replacement&, const Replacement&) = default;
    };

    explicit KTTextFinderMatcher(const QString& findText = {},
                                 uint32_t compareOptions = CaseInsensitiveSearch | LiteralSearch);
    ~KTTextFinderMatcher();
    KTTextFinderMatcher(const KTTextFinderMatcher&) = delete;
    KTTextFinderMatcher& operator=(const KTTextFinderMatcher&) = delete;

    QString findText() const { return m_findText; }
    void setFindText(const QString& findText);
    uint32_t compareOptions() const { return m_compareOptions; }
    void setCompareOptions(uint32_t compareOptions);
    bool isRegularExpression() const { return m_compareOptions & RegularExpressionSearch; }

    // The regular-expression engine's time limit for one whole search (all its matches), in
    // ICU's match steps of some ten thousand operations; 0 picks a limit from the length of the
    // searched text.
    int32_t timeLimit() const { return m_timeLimit; }
    void setTimeLimit(int32_t steps) { m_timeLimit = steps; }

    // The outcome of the last operation (or of compiling the pattern) and its description for
    // the user; empty while all is well.
    Status status() const { return m_status; }
    bool hasError() const { return m_status != Status::Ok; }
    QString errorDescription() const { return m_errorDescription; }
    // Where a regular expression is invalid, as an index into the find text; NSNotFound else.
    uint32_t errorOffset() const { return m_errorOffset; }

    // Every occurrence, front to back, none overlapping. Regular expressions use ICU's syntax;
    // "^" and "$" match at the start and end of every line. An empty find text, an invalid
    // pattern and empty regular-expression matches give none. A search stopped by the time
    // limit answers the matches found before it and reports TimedOut.
    QList<NSRange> matchesInString(const QString& text);

    // The text that replaces the match at `range`: with regular expressions "$1" and "${name}"
    // insert groups and "\" escapes the next character; otherwise `replacement` as it is.
    // None (with the status saying why) when `range` no longer holds a match.
    std::optional<QString> replacementForMatch(const QString& text, NSRange range,
                                               const QString& replacement);

    // Every match with its replacement text, front to back, for replacing all at once; none
    // when the search fails or is stopped (nothing is replaced halfway).
    std::optional<QList<Replacement>> replacementsInString(const QString& text,
                                                           const QString& replacement);

    // The text with the replacements (front to back, not overlapping) carried out.
    static QString stringByApplyingReplacements(const QString& text,
                                                const QList<Replacement>& replacements);

private:
    bool preparePattern();
    void setStatus(Status status, const QString& description = {}, uint32_t offset = NSNotFound);
    // A search stopped by the step budget.
    void setTimedOut();
    int32_t timeLimitForLength(qsizetype length) const;

    QString m_findText;
    uint32_t m_compareOptions;
    int32_t m_timeLimit = 0;
    std::unique_ptr<icu::RegexPattern> m_pattern;
    bool m_patternCompiled = false;
    Status m_status = Status::Ok;
    QString m_errorDescription;
    uint32_t m_errorOffset = NSNotFound;
};

// The find bar's walk through its matches: arrows step forward and backward with wrap-around,
// and ranges that an edit has moved past the end of the text are passed over.
class KTTextFinderMatchCursor {
public:
    void setMatches(const QList<NSRange>& matches);
    const QList<NSRange>& matches() const { return m_matches; }
    uint32_t index() const { return m_index; }

    // One step (direction 1 forward, 0 backward); the match now shown, or none when no match
    // lies within a text of `textLength`.
    std::optional<NSRange> step(int direction, uint32_t textLength);

private:
    QList<NSRange> m_matches;
    uint32_t m_index = 0;
};
