#include "syntax/KTSyntaxEngine.h"

#include "syntax/KTLineRange.h"
#include "syntax/KeywordListSyntaxEngine.h"
#include "text/KTLayoutManager.h"
#include "text/KTTextStorage.h"
#include "text/KTTextView.h"

namespace {

KTTextView* firstTextViewOf(KTTextStorage* store) {
    if (!store)
        return nullptr;
    const auto managers = store->layoutManagers();
    if (managers.isEmpty() || !managers.first())
        return nullptr;
    return managers.first()->firstTextView();
}

} // namespace

KTSyntaxEngine::KTSyntaxEngine() = default;

KTSyntaxEngine::~KTSyntaxEngine() = default;

KTSyntaxEngine* KTSyntaxEngine::sharedSyntaxEngine() {
    static KTSyntaxEngine* engine = new KeywordListSyntaxEngine();
    return engine;
}

void KTSyntaxEngine::setTextStorage(KTTextStorage* textStorage) {
    textStorage_ = textStorage;
    setNeedsParse();
}

void KTSyntaxEngine::setSyntaxDefinition(std::shared_ptr<KTSyntaxDefinition> definition) {
    syntaxDefinition_ = std::move(definition);
    setNeedsParse();
}

void KTSyntaxEngine::setSyntaxTheme(std::shared_ptr<KTSyntaxTheme> theme) {
    if (theme == syntaxTheme_)
        return;
    syntaxTheme_ = std::move(theme);
    applyThemeColorsToFirstTextView(textStorage_);
    setNeedsParse();
}

void KTSyntaxEngine::applyThemeColorsToFirstTextView(KTTextStorage* store) {
    KTTextView* view = firstTextViewOf(store);
    if (!view || !syntaxTheme_)
        return;
    if (const auto prose = syntaxTheme_->foregroundColorForSyntaxScope(KTSyntaxScopeProse))
        view->setTextColor(*prose);
    view->setBackgroundColor(syntaxTheme_->backgroundColor());
}

NSRange KTSyntaxEngine::lineRangeForVisibleRange(QStringView text, NSRange visible) {
    const uint32_t length = uint32_t(text.size());
    // A corner above the first line is reported as not found: start at the top. An end past the
    // text (or not found) is the end of the text.
    const uint32_t start = visible.location == NSNotFound ? 0 : std::min(visible.location, length);
    const uint32_t rawEnd = visible.location + visible.length; // wraps back for a start not found
    uint32_t end = rawEnd >= NSNotFound ? length : std::min(rawEnd, length);
    end = std::max(end, start);
    const uint32_t first = KTLineRangeForIndex(text, start).location;
    const uint32_t last =
        end > start ? KTLineEndForIndex(text, end - 1) : KTLineEndForIndex(text, end);
    return NSMakeRange(first, last - first);
}

void KTSyntaxEngine::setNeedsParse() {
    KTTextStorage* store = textStorage_;
    KTTextView* view = firstTextViewOf(store);
    if (!view)
        return;
    KTLayoutManager* layoutManager = store->layoutManagers().first();
    const NSRange visible =
        layoutManager->glyphRangeForBoundingRect(view->bounds(), view->textContainer());
    const QString text = store->string();
    ensureParsingForCharacterRange(lineRangeForVisibleRange(text, visible));
}
