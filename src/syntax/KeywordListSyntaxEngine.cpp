#include "syntax/KeywordListSyntaxEngine.h"

#include "syntax/KTLineRange.h"
#include "text/KTLayoutManager.h"
#include "text/KTTextStorage.h"
#include "text/KTTextView.h"

#include <unicode/regex.h>

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Closes the store's editing batch on every way out of a run.
class EditingBatch {
public:
    explicit EditingBatch(KTTextStorage& store) : store_(store) { store_.beginEditing(); }
    ~EditingBatch() { store_.endEditing(); }
    EditingBatch(const EditingBatch&) = delete;
    EditingBatch& operator=(const EditingBatch&) = delete;

private:
    KTTextStorage& store_;
};

bool markerAt(QStringView text, uint32_t limit, uint32_t position, const QString& marker) {
    return !marker.isEmpty() && position + uint32_t(marker.size()) <= limit &&
           text.mid(position, marker.size()) == marker;
}

} // namespace

// One backward walk for all the questions at once that tests only the places where a marker's
// first two characters stand, several places at a time: a long document without markers above
// the visible lines costs a fraction of a millisecond.
void KeywordListSyntaxEngine::lastOpenMarkers(QStringView text, uint32_t limit,
                                              std::span<OpenMarkerQuery> queries) {
    size_t undecided = 0;
    for (OpenMarkerQuery& query : queries) {
        query.location.reset();
        query.decided = query.begin.isEmpty() || limit == 0;
        if (!query.decided)
            ++undecided;
    }
    if (undecided == 0)
        return;
    // What one place holds, per question: a begin marker there wins over an end marker at the
    // same place. Answers whether every question is decided.
    auto visit = [&](uint32_t position) {
        for (OpenMarkerQuery& query : queries) {
            if (query.decided)
                continue;
            if (markerAt(text, limit, position, query.begin)) {
                query.location = position;
                query.decided = true;
                --undecided;
            } else if (markerAt(text, limit, position, query.end)) {
                query.decided = true;
                --undecided;
            }
        }
        return undecided == 0;
    };
    int64_t top = int64_t(limit) - 1; // highest place not yet looked at
#if defined(__SSE2__)
    // The topmost place first, so that the blocks below, which read one place above `top`,
    // never read at or past `limit`.
    if (visit(uint32_t(top)))
        return;
    --top;
    struct Wanted {
        __m128i first, second;
        bool single;
    };
    std::vector<Wanted> wanted;
    for (const OpenMarkerQuery& query : queries) {
        for (const QString* marker : {&query.begin, &query.end}) {
            if (query.decided || marker->isEmpty())
                continue;
            const bool single = marker->size() < 2;
            wanted.push_back({_mm_set1_epi16(short(marker->at(0).unicode())),
                              _mm_set1_epi16(short(single ? 0 : marker->at(1).unicode())), single});
        }
    }
    const char16_t* data = reinterpret_cast<const char16_t*>(text.utf16());
    const __m128i ones = _mm_set1_epi16(-1);
    while (top >= 7) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + top - 7));
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + top - 6));
        __m128i hits = _mm_setzero_si128();
        for (const Wanted& w : wanted)
            hits = _mm_or_si128(hits,
                                _mm_and_si128(_mm_cmpeq_epi16(here, w.first),
                                              w.single ? ones : _mm_cmpeq_epi16(next, w.second)));
        const int mask = _mm_movemask_epi8(hits);
        if (mask) {
            for (int k = 7; k >= 0; --k) {
                if ((mask & (1 << (2 * k))) && visit(uint32_t(top - 7 + k)))
                    return;
            }
        }
        top -= 8;
    }
#endif
    for (; top >= 0; --top) {
        if (visit(uint32_t(top)))
            return;
    }
}

std::optional<uint32_t> KeywordListSyntaxEngine::lastOpenMarker(QStringView text, uint32_t limit,
                                                                const QString& begin,
                                                                const QString& end) {
    OpenMarkerQuery query{begin, end};
    lastOpenMarkers(text, limit, std::span<OpenMarkerQuery>(&query, 1));
    return query.location;
}

// One colouring run: the working values of a request, released when it returns.
struct KeywordListSyntaxEngine::Run {
    KTTextStorage& store;
    const KeywordListSyntaxDefinition& definition;
    const KTTextAttributes& instructionAttributes;
    KTTextAttributes sets[KTSyntaxScopeCount];
    bool keywordsInProse = false;
    // Instruction text carries the prose colour; which stretches are instructions is kept here,
    // in order, for the word passes of the same run.
    std::vector<NSRange> instructionRanges;

    QString completeString; // shares the store's characters; nothing is copied
    QStringView complete;
    uint32_t completeStringLength = 0;
    uint32_t rangeLocation = 0;
    uint32_t maxRange = 0;
    uint32_t requestedLength = 0;
    QStringView searchString;
    uint32_t searchStringLength = 0;
    KTScanner scanner{QStringView()};
    KTScanner completeDocumentScanner{QStringView()};
    uint32_t beginLocationInMultiLine = 0;

    Run(KTTextStorage& s, const KeywordListSyntaxDefinition& d, const KTTextAttributes& i)
        : store(s), definition(d), instructionAttributes(i) {}

    // A theme set holds only a colour; the store adds its font to every run it processes, so
    // the colour is what tells a scope, also for text coloured by an earlier run.
    std::optional<QColor> colourAt(uint32_t index) const {
        if (index >= completeStringLength)
            return std::nullopt;
        uint32_t runStart = 0, runEnd = 0;
        return store.runAttributesAtIndex(index, &runStart, &runEnd).foregroundColor;
    }
    bool hasScopeAt(uint32_t index, KTSyntaxScope scope) const {
        return colourAt(index) == sets[scope].foregroundColor;
    }
    bool isInstructionAt(uint32_t index) const {
        auto it =
            std::upper_bound(instructionRanges.begin(), instructionRanges.end(), index,
                             [](uint32_t i, const NSRange& range) { return i < range.location; });
        return it != instructionRanges.begin() && std::prev(it)->contains(index) &&
               colourAt(index) == instructionAttributes.foregroundColor;
    }
    void colour(uint32_t start, uint32_t end, const KTTextAttributes& attributes) {
        end = std::min(end, completeStringLength);
        if (end > start)
            store.setAttributes(attributes, NSMakeRange(start, end - start));
    }
    // Positions relative to the requested range.
    void colourInRange(uint32_t start, uint32_t end, KTSyntaxScope scope) {
        colour(rangeLocation + start, rangeLocation + end, sets[scope]);
    }

    // Instructions and first-pair block comments may be open where the range starts: the last
    // begin marker above it with no end marker after it. Both are found in one walk.
    std::optional<uint32_t> instructionOpenedAbove, commentOpenedAbove;
    void lookAbove() {
        OpenMarkerQuery queries[] = {
            {definition.beginInstruction(), definition.endInstruction()},
            {definition.beginFirstMultiLineComment(), definition.endFirstMultiLineComment()}};
        lastOpenMarkers(complete, rangeLocation, queries);
        instructionOpenedAbove = queries[0].location;
        commentOpenedAbove = queries[1].location;
    }

    // First whole occurrence of the marker in (location, requested length), cut at the text end.
    std::optional<uint32_t> findInWindow(const QString& marker, uint32_t location) const {
        if (location >= completeStringLength)
            return std::nullopt;
        const QStringView window =
            complete.mid(location, std::min(requestedLength, completeStringLength - location));
        const qsizetype found = window.indexOf(marker);
        if (found < 0)
            return std::nullopt;
        return location + uint32_t(found);
    }

    void commands();
    void instructions();
    void words(const QSet<QString>& words, KTSyntaxScope scope);
    void variables();
    void strings(const icu::RegexPattern* pattern, bool leaveStartsInComments);
    void attributes();
    void lineComments(const QString& marker, bool percentSkip);
    void blockComments(const QString& begin, const QString& end, bool searchAbove);
};

void KeywordListSyntaxEngine::Run::commands() {
    const QString& beginCommand = definition.beginCommand();
    const QString& endCommand = definition.endCommand();
    if (beginCommand.isEmpty() || endCommand.isEmpty())
        return;
    const uint32_t searchSyntaxLength = uint32_t(endCommand.size());
    const QChar beginCommandCharacter = beginCommand.front();
    const QChar endCommandCharacter = endCommand.front();
    scanner.setScanLocation(0);
    while (!scanner.isAtEnd()) {
        scanner.scanUpToString(beginCommand);
        const uint32_t beginning = scanner.scanLocation();
        const uint32_t endOfLine = KTLineEndForIndex(searchString, beginning);
        if (!scanner.scanUpToString(endCommand) || scanner.scanLocation() >= endOfLine) {
            scanner.setScanLocation(endOfLine);
            continue;
        }
        // Count nested begin characters so that a tag holding a whole inner tag ends at its
        // own closing character.
        uint32_t commandLocation = beginning + 1;
        uint32_t skipEndCommand = 0;
        while (commandLocation < endOfLine) {
            const QChar commandCharacterTest = searchString[commandLocation];
            if (commandCharacterTest == endCommandCharacter) {
                if (skipEndCommand == 0)
                    break;
                --skipEndCommand;
            }
            if (commandCharacterTest == beginCommandCharacter)
                ++skipEndCommand;
            ++commandLocation;
        }
        scanner.setScanLocation(commandLocation < endOfLine ? commandLocation + searchSyntaxLength
                                                            : endOfLine);
        colourInRange(beginning, scanner.scanLocation(), KTSyntaxScopeEntity);
    }
}

void KeywordListSyntaxEngine::Run::instructions() {
    const QString& begin = definition.beginInstruction();
    const QString& end = definition.endInstruction();
    if (begin.isEmpty())
        return;
    beginLocationInMultiLine = instructionOpenedAbove.value_or(rangeLocation);
    const uint32_t searchSyntaxLength = uint32_t(end.size());
    completeDocumentScanner.setScanLocation(0);
    while (!completeDocumentScanner.isAtEnd()) {
        const auto found = findInWindow(begin, beginLocationInMultiLine);
        if (!found)
            break;
        const uint32_t beginning = *found;
        completeDocumentScanner.setScanLocation(beginning);
        if (!end.isEmpty() && completeDocumentScanner.scanUpToString(end) &&
            completeDocumentScanner.scanLocation() < completeStringLength) {
            if (completeDocumentScanner.scanLocation() + searchSyntaxLength <= completeStringLength)
                completeDocumentScanner.setScanLocation(completeDocumentScanner.scanLocation() +
                                                        searchSyntaxLength);
        } else {
            // No end marker: the instruction ends with its line.
            completeDocumentScanner.setScanLocation(KTLineEndForIndex(complete, beginning));
        }
        colour(beginning, completeDocumentScanner.scanLocation(), instructionAttributes);
        if (completeDocumentScanner.scanLocation() > beginning)
            instructionRanges.push_back(
                NSMakeRange(beginning, completeDocumentScanner.scanLocation() - beginning));
        if (completeDocumentScanner.scanLocation() > maxRange)
            break;
        beginLocationInMultiLine = completeDocumentScanner.scanLocation();
    }
}

void KeywordListSyntaxEngine::Run::words(const QSet<QString>& list, KTSyntaxScope scope) {
    if (list.isEmpty())
        return;
    const KTCharacterSet& startSet = definition.keywordStartCharacterSet();
    const KTCharacterSet& endSet = definition.keywordEndCharacterSet();
    const bool caseSensitive = definition.keywordsCaseSensitive();
    const bool recolour = definition.recolourKeywordIfAlreadyColoured();
    scanner.setScanLocation(0);
    while (!scanner.isAtEnd()) {
        scanner.scanUpToCharactersFromSet(startSet);
        const uint32_t beginning = scanner.scanLocation();
        if (beginning + 1 < searchStringLength)
            scanner.setScanLocation(beginning + 1);
        scanner.scanUpToCharactersFromSet(endSet);
        const uint32_t end = scanner.scanLocation();
        if (end > searchStringLength || end == beginning)
            break;
        QString testString = searchString.mid(beginning, end - beginning).toString();
        if (!caseSensitive)
            testString = testString.toLower();
        if (!list.contains(testString))
            continue;
        const uint32_t at = rangeLocation + beginning;
        if (keywordsInProse) {
            // A language without tags or instruction blocks: words are coloured in plain code.
            if (!hasScopeAt(at, KTSyntaxScopeProse))
                continue;
        } else {
            const bool inCommand = hasScopeAt(at, KTSyntaxScopeEntity);
            if (inCommand && !recolour)
                continue;
            if (!inCommand && !isInstructionAt(at))
                continue;
        }
        colourInRange(beginning, end, scope);
    }
}

void KeywordListSyntaxEngine::Run::variables() {
    if (!definition.beginVariable())
        return;
    const KTCharacterSet& beginVariable = *definition.beginVariable();
    const KTCharacterSet& endVariable = definition.endVariable();
    const bool percentComments = definition.firstSingleLineComment() == u"%";
    scanner.setScanLocation(0);
    while (!scanner.isAtEnd()) {
        scanner.scanUpToCharactersFromSet(beginVariable);
        const uint32_t beginning = scanner.scanLocation();
        if (beginning + 1 < searchStringLength && percentComments &&
            searchString[beginning + 1] == u'%') {
            scanner.setScanLocation(beginning + 1);
            continue;
        }
        const uint32_t endOfLine = KTLineEndForIndex(searchString, beginning);
        uint32_t length = 0;
        if (scanner.scanUpToCharactersFromSet(endVariable) && scanner.scanLocation() < endOfLine) {
            length = scanner.scanLocation() - beginning;
            if (scanner.scanLocation() < searchStringLength)
                scanner.setScanLocation(scanner.scanLocation() + 1);
        } else {
            scanner.setScanLocation(endOfLine);
            length = endOfLine - beginning;
        }
        colourInRange(beginning, beginning + length, KTSyntaxScopeStorage);
    }
}

void KeywordListSyntaxEngine::Run::strings(const icu::RegexPattern* pattern,
                                           bool leaveStartsInComments) {
    if (!pattern)
        return;
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString input(false, reinterpret_cast<const UChar*>(searchString.utf16()),
                                   int32_t(searchStringLength));
    std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(input, status));
    if (U_FAILURE(status))
        return;
    while (matcher->find(status) && U_SUCCESS(status)) {
        const int32_t start = matcher->start(status);
        const int32_t end = matcher->end(status);
        if (U_FAILURE(status) || end <= start + 1)
            break;
        // The match starts with the non-word character before the delimiter.
        const uint32_t delimiter = uint32_t(start) + 1;
        if (leaveStartsInComments && hasScopeAt(rangeLocation + delimiter, KTSyntaxScopeComment))
            continue;
        colourInRange(delimiter, uint32_t(end), KTSyntaxScopeString);
    }
}

void KeywordListSyntaxEngine::Run::attributes() {
    const KTCharacterSet& attributesSet = definition.attributesCharacterSet();
    scanner.setScanLocation(0);
    while (!scanner.isAtEnd()) {
        scanner.scanUpToString(u" ");
        const uint32_t beginning = scanner.scanLocation();
        if (beginning + 1 >= searchStringLength)
            break;
        scanner.setScanLocation(beginning + 1);
        if (!hasScopeAt(rangeLocation + beginning, KTSyntaxScopeEntity))
            continue;
        // A space inside a command: the name after it is an attribute when "=" follows.
        scanner.scanCharactersFromSet(attributesSet);
        const uint32_t end = scanner.scanLocation();
        if (end + 1 < searchStringLength)
            scanner.setScanLocation(end + 1);
        if (end < searchStringLength && searchString[end] == u'=')
            colourInRange(beginning, end, KTSyntaxScopeStorage);
    }
}

void KeywordListSyntaxEngine::Run::lineComments(const QString& marker, bool percentSkip) {
    if (marker.isEmpty())
        return;
    const uint32_t searchSyntaxLength = uint32_t(marker.size());
    scanner.setScanLocation(0);
    while (!scanner.isAtEnd()) {
        scanner.scanUpToString(marker);
        const uint32_t beginning = scanner.scanLocation();
        if (beginning >= searchStringLength)
            break; // no further marker in the range
        const auto after = [&](QChar c) {
            return beginning > 0 && searchString[beginning - 1] == c;
        };
        const auto skip = [&] { scanner.setScanLocation(beginning + 1); };
        if (marker == u"//" && after(u':')) { // as in a URL
            skip();
            continue;
        }
        if (marker == u"#" && searchStringLength > 1) {
            const NSRange line = KTLineRangeForIndex(searchString, beginning);
            if (searchString.mid(line.location, line.length).contains(u"#!")) {
                scanner.setScanLocation(NSMaxRange(line));
                continue;
            }
            if (after(u'$') || after(u'&')) {
                skip();
                continue;
            }
        }
        if (percentSkip && marker == u"%" && searchStringLength >= 2 && after(u'\\')) {
            skip();
            continue;
        }
        if (beginning + rangeLocation + searchSyntaxLength < completeStringLength &&
            hasScopeAt(rangeLocation + beginning, KTSyntaxScopeString)) {
            skip();
            continue;
        }
        const uint32_t endOfLine = KTLineEndForIndex(searchString, beginning);
        scanner.setScanLocation(endOfLine);
        colourInRange(beginning, endOfLine, KTSyntaxScopeComment);
    }
}

void KeywordListSyntaxEngine::Run::blockComments(const QString& begin, const QString& end,
                                                 bool searchAbove) {
    if (begin.isEmpty())
        return;
    beginLocationInMultiLine =
        searchAbove ? commentOpenedAbove.value_or(rangeLocation) : rangeLocation;
    completeDocumentScanner.setScanLocation(beginLocationInMultiLine);
    const uint32_t searchSyntaxLength = uint32_t(end.size());
    const bool htmlComment = end == u"-->";
    const KTCharacterSet& letters = definition.letterCharacterSet();
    while (!completeDocumentScanner.isAtEnd()) {
        const auto found = findInWindow(begin, beginLocationInMultiLine);
        if (!found)
            break;
        const uint32_t beginning = *found;
        completeDocumentScanner.setScanLocation(beginning);
        if (beginning + 1 < completeStringLength && hasScopeAt(beginning, KTSyntaxScopeString)) {
            // A marker inside a string: go on right after it. Moving the search start one
            // character at a time would find the same marker again and again.
            completeDocumentScanner.setScanLocation(beginning + 1);
            beginLocationInMultiLine = beginning + 1;
            continue;
        }
        uint32_t length = 0;
        if (!end.isEmpty() && completeDocumentScanner.scanUpToString(end) &&
            completeDocumentScanner.scanLocation() < completeStringLength) {
            completeDocumentScanner.setScanLocation(completeDocumentScanner.scanLocation() +
                                                    searchSyntaxLength);
            length = completeDocumentScanner.scanLocation() - beginning;
            if (htmlComment) {
                // An HTML comment that only wraps a script or style body is left alone.
                completeDocumentScanner.scanUpToCharactersFromSet(letters);
                const uint32_t position = completeDocumentScanner.scanLocation();
                if (position + 6 < completeStringLength &&
                    (complete.mid(position - 2, 9).compare(u"</script>", Qt::CaseInsensitive) ==
                         0 ||
                     complete.mid(position - 2, 8).compare(u"</style>", Qt::CaseInsensitive) ==
                         0)) {
                    beginLocationInMultiLine = position;
                    continue;
                }
                completeDocumentScanner.setScanLocation(beginning + length);
            }
        } else {
            completeDocumentScanner.setScanLocation(KTLineEndForIndex(complete, beginning));
            length = completeDocumentScanner.scanLocation() - beginning;
        }
        colour(beginning, beginning + length, sets[KTSyntaxScopeComment]);
        if (completeDocumentScanner.scanLocation() > maxRange)
            break;
        beginLocationInMultiLine = completeDocumentScanner.scanLocation();
    }
}

KeywordListSyntaxEngine::KeywordListSyntaxEngine() = default;

KeywordListSyntaxEngine::~KeywordListSyntaxEngine() = default;

void KeywordListSyntaxEngine::setTextStorage(KTTextStorage* textStorage) {
    // No store (a tab closing): nothing of the previous store's manager or view is touched,
    // they may be gone already.
    firstLayoutManager_ = nullptr;
    textContainer_ = nullptr;
    if (textStorage) {
        const auto managers = textStorage->layoutManagers();
        firstLayoutManager_ = managers.isEmpty() ? nullptr : managers.first();
        if (firstLayoutManager_) {
            if (KTTextView* view = firstLayoutManager_->firstTextView())
                textContainer_ = view->textContainer();
        }
    }
    applyThemeColorsToFirstTextView(textStorage);
    KTSyntaxEngine::setTextStorage(textStorage); // parses what is visible
}

void KeywordListSyntaxEngine::setSyntaxTheme(std::shared_ptr<KTSyntaxTheme> theme) {
    // Instruction text is drawn as prose; the run itself remembers where instructions are.
    instructionAttributes_ =
        theme ? theme->proseAttributes().value_or(KTTextAttributes()) : KTTextAttributes();
    KTSyntaxEngine::setSyntaxTheme(std::move(theme));
}

void KeywordListSyntaxEngine::removeColoursFromRange(NSRange range) {
    KTTextStorage* store = textStorage();
    if (!store)
        return;
    const KTSyntaxTheme* theme = syntaxTheme().get();
    store->setAttributes(
        theme ? theme->proseAttributes().value_or(KTTextAttributes()) : KTTextAttributes(), range);
}

void KeywordListSyntaxEngine::ensureParsingForCharacterRange(NSRange range) {
    KTTextStorage* store = textStorage();
    const auto* definition =
        dynamic_cast<const KeywordListSyntaxDefinition*>(syntaxDefinition().get());
    if (!store || !definition)
        return;
    const uint32_t textLength = store->length();
    if (textLength == 0)
        return;

    EditingBatch batch(*store);
    // A range reaching past the text is cut at its end.
    const uint32_t location = std::min(range.location, textLength);
    const uint32_t length = std::min(range.length, textLength - location);
    if (length == 0)
        return;

    Run run(*store, *definition, instructionAttributes_);
    for (KTSyntaxScope scope = 0; scope < KTSyntaxScopeCount; ++scope) {
        if (const KTSyntaxTheme* theme = syntaxTheme().get())
            run.sets[scope] = theme->attributesForSyntaxScope(scope).value_or(KTTextAttributes());
    }
    run.keywordsInProse =
        definition->beginCommand().isEmpty() && definition->beginInstruction().isEmpty();
    run.completeString = store->string();
    run.complete = QStringView(run.completeString);
    run.completeStringLength = textLength;
    run.rangeLocation = location;
    run.maxRange = location + length;
    run.requestedLength = length;
    run.searchString = run.complete.mid(location, length);
    run.searchStringLength = length;
    run.scanner = KTScanner(run.searchString);
    run.completeDocumentScanner = KTScanner(run.complete);
    run.beginLocationInMultiLine = 0;

    removeColoursFromRange(NSMakeRange(location, length));
    run.lookAbove();

    try {
        run.commands();
        run.instructions();
        run.words(definition->keywords(), KTSyntaxScopeKeyword);
        run.words(definition->autocompleteWords(), KTSyntaxScopeSupport);
        run.variables();
        run.strings(definition->secondStringPattern(), false);
        run.strings(definition->firstStringPattern(), false);
        run.attributes();
        run.lineComments(definition->firstSingleLineComment(), true);
        run.lineComments(definition->secondSingleLineComment(), false);
        run.blockComments(definition->beginFirstMultiLineComment(),
                          definition->endFirstMultiLineComment(), true);
        run.blockComments(definition->beginSecondMultiLineComment(),
                          definition->endSecondMultiLineComment(), false);
        // Second-delimiter strings again, over what the comment passes set, except those that
        // start inside a comment.
        run.strings(definition->secondStringPattern(), true);
    } catch (...) {
        // The colours set so far stay; the batch closes on the way out.
    }
}
