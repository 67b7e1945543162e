#pragma once

#include "syntax/KTScanner.h"
#include "syntax/KTSyntaxEngine.h"
#include "syntax/KeywordListSyntaxDefinition.h"

#include <QString>

class KTLayoutManager;
class KTTextContainer;

// The engine that colours the editor: on every request it recolours one range from scratch,
// pass by pass, by setting whole theme attribute sets on the text store in one editing batch.
class KeywordListSyntaxEngine : public KTSyntaxEngine {
public:
    KeywordListSyntaxEngine();
    ~KeywordListSyntaxEngine() override;

    void setTextStorage(KTTextStorage* textStorage) override;
    void setSyntaxTheme(std::shared_ptr<KTSyntaxTheme> theme) override;
    void ensureParsingForCharacterRange(NSRange range) override;

    // Sets the prose set on the range.
    void removeColoursFromRange(NSRange range);

    // Prose attributes plus a marker entry, so instruction text looks like prose but compares
    // unequal to it.
    const KTTextAttributes& instructionAttributes() const { return instructionAttributes_; }
    KTLayoutManager* firstLayoutManager() const { return firstLayoutManager_; }
    KTTextContainer* textContainer() const { return textContainer_; }

private:
    struct Run;

    KTLayoutManager* firstLayoutManager_ = nullptr;
    KTTextContainer* textContainer_ = nullptr;
    KTTextAttributes instructionAttributes_;
};
