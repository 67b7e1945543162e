#pragma once

#include "syntax/KTScanner.h"
#include "syntax/KTSyntaxEngine.h"
#include "syntax/KeywordListSyntaxDefinition.h"

#include <QString>
#include <optional>
#include <span>

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

    // Looking back from `limit` (markers must end at or before it): the location of the last
    // begin marker when no end marker starts after it, none otherwise (a begin and an end at
    // the same place count as the begin). This is how an instruction or block comment opened
    // above a range is found.
    static std::optional<uint32_t> lastOpenMarker(QStringView text, uint32_t limit,
                                                  const QString& begin, const QString& end);
    // The same for several marker pairs in one walk; each query's location is filled in.
    struct OpenMarkerQuery {
        QString begin;
        QString end;
        std::optional<uint32_t> location = std::nullopt;
        bool decided = false;
    };
    static void lastOpenMarkers(QStringView text, uint32_t limit,
                                std::span<OpenMarkerQuery> queries);
    KTTextContainer* textContainer() const { return textContainer_; }

private:
    struct Run;

    KTLayoutManager* firstLayoutManager_ = nullptr;
    KTTextContainer* textContainer_ = nullptr;
    KTTextAttributes instructionAttributes_;
};
