#pragma once

#include "core/Range.h"
#include "syntax/KTSyntaxDefinition.h"
#include "syntax/KTSyntaxTheme.h"

#include <QPointer>
#include <memory>

class KTTextStorage;

// Colours one text store at a time with one definition and one theme. The program uses one
// engine for every document (sharedSyntaxEngine); the code view that becomes current hands it
// its definition and its store.
class KTSyntaxEngine {
public:
    virtual ~KTSyntaxEngine();
    KTSyntaxEngine(const KTSyntaxEngine&) = delete;
    KTSyntaxEngine& operator=(const KTSyntaxEngine&) = delete;

    // The engine of the process: a keyword-list engine made on first use, never destroyed.
    static KTSyntaxEngine* sharedSyntaxEngine();

    // Each of these takes its argument (none allowed) and recolours what is visible.
    virtual void setTextStorage(KTTextStorage* textStorage);
    virtual void setSyntaxDefinition(std::shared_ptr<KTSyntaxDefinition> definition);
    // Nothing happens when the theme is the one already held.
    virtual void setSyntaxTheme(std::shared_ptr<KTSyntaxTheme> theme);

    // Recolours the lines that the store's first text view shows.
    void setNeedsParse();
    // Colours at least this range.
    virtual void ensureParsingForCharacterRange(NSRange range) = 0;

    KTTextStorage* textStorage() const { return textStorage_; }
    const std::shared_ptr<KTSyntaxDefinition>& syntaxDefinition() const {
        return syntaxDefinition_;
    }
    const std::shared_ptr<KTSyntaxTheme>& syntaxTheme() const { return syntaxTheme_; }

    // The lines that hold a visible character range, clamped to the text: a range reported
    // partly outside the text (a view pulled past its top or bottom) never yields an impossible
    // line.
    static NSRange lineRangeForVisibleRange(QStringView text, NSRange visible);

protected:
    KTSyntaxEngine();
    // Text and background colour of the store's first text view from the theme.
    void applyThemeColorsToFirstTextView(KTTextStorage* store);

private:
    QPointer<KTTextStorage> textStorage_;
    std::shared_ptr<KTSyntaxDefinition> syntaxDefinition_;
    std::shared_ptr<KTSyntaxTheme> syntaxTheme_;
};
