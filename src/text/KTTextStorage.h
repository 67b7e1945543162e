#pragma once

#include "core/Range.h"
#include "platform/AttributedText.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>
#include <utility>
#include <vector>

class KTLayoutManager;

// Kinds of pending change, as bits of `editedMask`.
inline constexpr uint32_t KTTextStorageEditedCharacters = 1;
inline constexpr uint32_t KTTextStorageEditedAttributes = 2;

// Names of the two notifications; they are delivered as the signals of the same names below.
inline constexpr const char* KTTextStorageWillProcessEditingNotification =
    "KTTextStorageWillProcessEditingNotification";
inline constexpr const char* KTTextStorageDidProcessEditingNotification =
    "KTTextStorageDidProcessEditingNotification";

// An attribute dictionary of a run: the font (kCTFontAttributeName) and the foreground colour
// (kCTForegroundColorAttributeName), each possibly absent.
using KTTextAttributes = TextAttributes;

// The one attributed text of an open document. Every change to characters or attributes is
// recorded as a pending edit; when the outermost editing batch closes the store processes the
// edit once: it announces it, gives text without a font the store's font, and tells each of
// its layout managers what changed.
//
// The characters live in a gap buffer and the runs in blocks, so typing in the middle of a
// long document moves neither the text nor the runs after the caret. `string()` builds the
// whole text on demand (and keeps it until the next change); readers that need only a part
// use `length()`, `characterAtIndex()`, `substringWithRange()` or `lineRangeForRange()`.
class KTTextStorage : public QObject, public AttributedText {
    Q_OBJECT
public:
    KTTextStorage();
    explicit KTTextStorage(const QString& string);
    ~KTTextStorage() override;

    // Reading.
    QString string() const;
    uint32_t length() const override;
    QChar characterAtIndex(uint32_t index) const override;
    QString substringWithRange(NSRange range) const;
    void getCharacters(QChar* buffer, uint32_t location, uint32_t length) const override;
    // The attributes of the run at `index` (< length) and, when asked, the run's range.
    KTTextAttributes attributesAtIndex(uint32_t index, NSRange* effectiveRange = nullptr) const;
    const TextAttributes& runAttributesAtIndex(uint32_t index, uint32_t* runStart,
                                               uint32_t* runEnd) const override;
    // The lines that hold `range`, each up to and including its terminator (LF, CR, CR LF,
    // U+0085, U+2028, U+2029); the last line may have none.
    NSRange lineRangeForRange(NSRange range) const;

    // The two recording primitives. A range past the end of the text changes nothing.
    // New characters take the attributes of the first replaced character, or for an insertion
    // those of the character before it (the one after it at index 0).
    void replaceCharactersInRange(NSRange range, const QString& string);
    void setAttributes(const KTTextAttributes& attributes, NSRange range);

    // Derived operations, carried out through the primitives.
    // Sets the entries present in `attributes` over the range, keeping the others.
    void addAttributes(const KTTextAttributes& attributes, NSRange range);
    void removeAttribute(CTAttributeName name, NSRange range);
    // Replaces the range with characters that all carry `attributes`.
    void replaceCharactersInRange(NSRange range, const QString& string,
                                  const KTTextAttributes& attributes);
    // Replaces the whole content.
    void setAttributedString(const QString& string, const KTTextAttributes& attributes);

    // Batches.
    void beginEditing();
    void endEditing();
    void edited(uint32_t editedMask, NSRange range, int32_t changeInLength);
    void processEditing();

    uint32_t editedMask() const { return editedMask_; }
    NSRange editedRange() const { return editedRange_; }
    int32_t changeInLength() const { return changeInLength_; }

    // Layout managers (not owned: the text view owns store and managers alike).
    void addLayoutManager(KTLayoutManager* layoutManager);
    void removeLayoutManager(KTLayoutManager* layoutManager);
    QList<KTLayoutManager*> layoutManagers() const { return layoutManagers_; }

    // The default font, "Helvetica" 17 in a new store. Setting it adds it as the font
    // attribute over the whole text (an attribute edit).
    QFont font() const { return font_; }
    void setFont(const QFont& font);
    // The text-layout font made from `font()`.
    CTFontRef ctFont() const;

    // The stored default colour (black). Setting adds the colour as the foreground attribute
    // over the whole text (an attribute edit) and leaves the stored default unchanged.
    QColor foregroundColor() const { return foregroundColor_; }
    void setForegroundColor(const QColor& color);

Q_SIGNALS:
    // "KTTextStorageWillProcessEditingNotification": observers may change the store here;
    // their changes join the edit being processed.
    void willProcessEditing(KTTextStorage* textStorage);
    // "KTTextStorageDidProcessEditingNotification".
    void didProcessEditing(KTTextStorage* textStorage);

private:
    struct Run {
        uint32_t length;
        uint32_t attributes; // index into attributeSets_
    };
    struct Block {
        uint32_t length = 0;
        std::vector<Run> runs;
    };
    struct RunPosition {
        size_t block;
        size_t run;
        uint32_t start; // text index of the run's first character
    };

    // Ranges past the end of the text are refused with a warning (nothing changes).
    bool isValidRange(NSRange range, const char* operation) const;
    // Characters.
    void moveGap(uint32_t position);
    void replaceCharacters(uint32_t location, uint32_t length, const QString& string);
    // Runs.
    uint32_t internAttributes(const KTTextAttributes& attributes);
    RunPosition findRun(uint32_t index) const;
    RunPosition splitRunsAt(uint32_t index);
    void eraseRuns(uint32_t location, uint32_t length);
    void insertRun(uint32_t location, uint32_t length, uint32_t attributes);
    void mergeAround(RunPosition position);
    template <typename Change> void changeRunAttributes(NSRange range, Change change);
    void splitBlockIfLarge(size_t block);
    uint32_t attributeIndexAt(uint32_t index) const;

    QList<KTLayoutManager*> layoutManagers_;
    uint32_t editedMask_ = 0;
    NSRange editedRange_{NSNotFound, 0};
    int32_t changeInLength_ = 0;
    QFont font_;
    QColor foregroundColor_ = Qt::black;
    uint32_t editStackCount_ = 0;

    // Storage for the gap buffer. Large buffers are mapped with transparent huge pages, which
    // makes filling a multi-megabyte document several times cheaper than page by page.
    class CharacterBuffer {
    public:
        CharacterBuffer() = default;
        explicit CharacterBuffer(size_t size);
        CharacterBuffer(const CharacterBuffer&) = delete;
        CharacterBuffer& operator=(const CharacterBuffer&) = delete;
        CharacterBuffer(CharacterBuffer&& other) noexcept { swap(other); }
        CharacterBuffer& operator=(CharacterBuffer&& other) noexcept {
            swap(other);
            return *this;
        }
        ~CharacterBuffer();
        QChar* data() { return data_; }
        const QChar* data() const { return data_; }
        size_t size() const { return size_; }
        QChar& operator[](size_t i) { return data_[i]; }
        const QChar& operator[](size_t i) const { return data_[i]; }
        void swap(CharacterBuffer& other) noexcept {
            std::swap(data_, other.data_);
            std::swap(size_, other.size_);
            std::swap(mapped_, other.mapped_);
        }

    private:
        QChar* data_ = nullptr;
        size_t size_ = 0;
        size_t mapped_ = 0; // bytes mapped, 0 when allocated from the heap
    };

    CharacterBuffer buffer_; // gap buffer
    uint32_t gapStart_ = 0;
    uint32_t gapEnd_ = 0;
    mutable QString stringCache_;
    mutable bool stringCacheValid_ = true;

    std::vector<KTTextAttributes> attributeSets_;
    std::vector<Block> blocks_;
    static const KTTextAttributes emptyAttributes_;
};
