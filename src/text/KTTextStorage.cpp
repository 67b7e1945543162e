#include "text/KTTextStorage.h"

#include "text/KTLayoutManager.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

constexpr size_t kMaxRunsPerBlock = 512;
constexpr uint32_t kMinimumGap = 4096;

bool isLineTerminator(QChar c) {
    const char16_t u = c.unicode();
    return u == u'\n' || u == u'\r' || u == 0x85 || u == 0x2028 || u == 0x2029;
}

} // namespace

const KTTextAttributes KTTextStorage::emptyAttributes_{};

// Character buffer

namespace {
constexpr size_t kHugePage = size_t(2) << 20;
} // namespace

KTTextStorage::CharacterBuffer::CharacterBuffer(size_t size) : size_(size) {
    const size_t bytes = size * sizeof(QChar);
#ifdef __linux__
    if (bytes >= kHugePage) {
        const size_t mapped = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        void* memory =
            mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory != MAP_FAILED) {
            madvise(memory, mapped, MADV_HUGEPAGE);
            data_ = static_cast<QChar*>(memory);
            mapped_ = mapped;
            return;
        }
    }
#endif
    data_ = static_cast<QChar*>(std::malloc(std::max<size_t>(bytes, 1)));
    if (!data_)
        throw std::bad_alloc();
}

KTTextStorage::CharacterBuffer::~CharacterBuffer() {
#ifdef __linux__
    if (mapped_) {
        munmap(data_, mapped_);
        return;
    }
#endif
    std::free(data_);
}

KTTextStorage::KTTextStorage() : KTTextStorage(QString()) {}

KTTextStorage::KTTextStorage(const QString& string) : font_(QStringLiteral("Helvetica")) {
    font_.setPointSizeF(17);
    attributeSets_.push_back(KTTextAttributes{});
    replaceCharacters(0, 0, string);
    if (!string.isEmpty())
        insertRun(0, static_cast<uint32_t>(string.size()), 0);
}

KTTextStorage::~KTTextStorage() {
    for (KTLayoutManager* layoutManager : layoutManagers_)
        layoutManager->setTextStorage(nullptr);
}

// Characters

uint32_t KTTextStorage::length() const {
    return static_cast<uint32_t>(buffer_.size()) - (gapEnd_ - gapStart_);
}

QChar KTTextStorage::characterAtIndex(uint32_t index) const {
    return index < gapStart_ ? buffer_[index] : buffer_[index + (gapEnd_ - gapStart_)];
}

void KTTextStorage::getCharacters(QChar* out, uint32_t location, uint32_t count) const {
    const uint32_t end = location + count;
    if (location < gapStart_) {
        const uint32_t before = std::min(end, gapStart_) - location;
        std::memcpy(out, buffer_.data() + location, before * sizeof(QChar));
        out += before;
        location += before;
    }
    if (location < end) {
        const uint32_t gap = gapEnd_ - gapStart_;
        std::memcpy(out, buffer_.data() + location + gap, (end - location) * sizeof(QChar));
    }
}

QString KTTextStorage::substringWithRange(NSRange range) const {
    const uint32_t total = length();
    const uint32_t location = std::min(range.location, total);
    const uint32_t count = std::min(range.length, total - location);
    QString result(static_cast<qsizetype>(count), Qt::Uninitialized);
    getCharacters(result.data(), location, count);
    return result;
}

QString KTTextStorage::string() const {
    if (!stringCacheValid_) {
        stringCache_ = substringWithRange(NSMakeRange(0, length()));
        stringCacheValid_ = true;
    }
    return stringCache_;
}

void KTTextStorage::moveGap(uint32_t position) {
    if (position < gapStart_) {
        const uint32_t count = gapStart_ - position;
        std::memmove(buffer_.data() + gapEnd_ - count, buffer_.data() + position,
                     count * sizeof(QChar));
        gapStart_ -= count;
        gapEnd_ -= count;
    } else if (position > gapStart_) {
        const uint32_t count = position - gapStart_;
        std::memmove(buffer_.data() + gapStart_, buffer_.data() + gapEnd_, count * sizeof(QChar));
        gapStart_ += count;
        gapEnd_ += count;
    }
}

void KTTextStorage::replaceCharacters(uint32_t location, uint32_t count, const QString& string) {
    moveGap(location);
    gapEnd_ += count;
    const uint32_t needed = static_cast<uint32_t>(string.size());
    if (gapEnd_ - gapStart_ < needed) {
        // Grow with room for more typing, in proportion to the text so growth stays amortised.
        const uint32_t textLength = length();
        const uint32_t gap = needed + std::max(kMinimumGap, textLength / 16);
        CharacterBuffer grown(textLength + gap);
        // An empty buffer has no storage at all, and memcpy must not see its null pointer.
        if (gapStart_)
            std::memcpy(grown.data(), buffer_.data(), gapStart_ * sizeof(QChar));
        const uint32_t after = static_cast<uint32_t>(buffer_.size()) - gapEnd_;
        if (after)
            std::memcpy(grown.data() + gapStart_ + gap, buffer_.data() + gapEnd_,
                        after * sizeof(QChar));
        buffer_ = std::move(grown);
        gapEnd_ = gapStart_ + gap;
    }
    if (needed)
        std::memcpy(buffer_.data() + gapStart_, string.constData(), needed * sizeof(QChar));
    gapStart_ += needed;
    if (count || needed)
        stringCacheValid_ = false;
}

NSRange KTTextStorage::lineRangeForRange(NSRange range) const {
    const uint32_t total = length();
    uint32_t start = std::min(range.location, total);
    // A location between CR and LF belongs to the line that the pair ends.
    if (start > 0 && start < total && characterAtIndex(start) == u'\n' &&
        characterAtIndex(start - 1) == u'\r')
        --start;
    while (start > 0 && !isLineTerminator(characterAtIndex(start - 1)))
        --start;
    const uint32_t last = std::min(range.length ? NSMaxRange(range) - 1 : range.location, total);
    uint32_t end = std::max(last, start);
    while (end < total && !isLineTerminator(characterAtIndex(end)))
        ++end;
    if (end < total) {
        if (characterAtIndex(end) == u'\r' && end + 1 < total && characterAtIndex(end + 1) == u'\n')
            end += 2;
        else
            end += 1;
    }
    return NSMakeRange(start, end - start);
}

// Runs

uint32_t KTTextStorage::internAttributes(const KTTextAttributes& attributes) {
    for (size_t i = 0; i < attributeSets_.size(); ++i) {
        if (attributeSets_[i] == attributes)
            return static_cast<uint32_t>(i);
    }
    attributeSets_.push_back(attributes);
    return static_cast<uint32_t>(attributeSets_.size() - 1);
}

KTTextStorage::RunPosition KTTextStorage::findRun(uint32_t index) const {
    uint32_t start = 0;
    for (size_t b = 0; b < blocks_.size(); ++b) {
        const Block& block = blocks_[b];
        if (index < start + block.length) {
            for (size_t r = 0; r < block.runs.size(); ++r) {
                if (index < start + block.runs[r].length)
                    return RunPosition{b, r, start};
                start += block.runs[r].length;
            }
        }
        start += block.length;
    }
    return RunPosition{blocks_.size(), 0, start};
}

KTTextStorage::RunPosition KTTextStorage::splitRunsAt(uint32_t index) {
    RunPosition position = findRun(index);
    if (position.block == blocks_.size() || position.start == index)
        return position;
    Block& block = blocks_[position.block];
    Run& run = block.runs[position.run];
    const Run rest{run.length - (index - position.start), run.attributes};
    run.length = index - position.start;
    block.runs.insert(block.runs.begin() + static_cast<ptrdiff_t>(position.run) + 1, rest);
    return RunPosition{position.block, position.run + 1, index};
}

void KTTextStorage::eraseRuns(uint32_t location, uint32_t count) {
    if (count == 0)
        return;
    splitRunsAt(location + count);
    RunPosition position = splitRunsAt(location);
    size_t b = position.block;
    size_t r = position.run;
    uint32_t remaining = count;
    while (remaining > 0 && b < blocks_.size()) {
        Block& block = blocks_[b];
        size_t last = r;
        while (last < block.runs.size() && remaining > 0) {
            remaining -= block.runs[last].length;
            block.length -= block.runs[last].length;
            ++last;
        }
        block.runs.erase(block.runs.begin() + static_cast<ptrdiff_t>(r),
                         block.runs.begin() + static_cast<ptrdiff_t>(last));
        if (block.runs.empty()) {
            blocks_.erase(blocks_.begin() + static_cast<ptrdiff_t>(b));
        } else {
            ++b;
        }
        r = 0;
    }
    if (b > 0 && b <= blocks_.size())
        mergeAround(RunPosition{b - 1, blocks_[b - 1].runs.size() - 1, 0});
}

void KTTextStorage::insertRun(uint32_t location, uint32_t count, uint32_t attributes) {
    if (count == 0)
        return;
    RunPosition position = splitRunsAt(location);
    if (blocks_.empty()) {
        blocks_.push_back(Block{});
        position = RunPosition{0, 0, 0};
    } else if (position.block == blocks_.size()) {
        position.block = blocks_.size() - 1;
        position.run = blocks_.back().runs.size();
    }
    Block& block = blocks_[position.block];
    block.runs.insert(block.runs.begin() + static_cast<ptrdiff_t>(position.run),
                      Run{count, attributes});
    block.length += count;
    mergeAround(position);
    splitBlockIfLarge(position.block);
}

void KTTextStorage::mergeAround(RunPosition position) {
    if (position.block >= blocks_.size())
        return;
    std::vector<Run>& runs = blocks_[position.block].runs;
    size_t r = std::min(position.run, runs.size() - 1);
    if (r > 0 && runs[r - 1].attributes == runs[r].attributes) {
        runs[r - 1].length += runs[r].length;
        runs.erase(runs.begin() + static_cast<ptrdiff_t>(r));
        --r;
    }
    if (r + 1 < runs.size() && runs[r + 1].attributes == runs[r].attributes) {
        runs[r].length += runs[r + 1].length;
        runs.erase(runs.begin() + static_cast<ptrdiff_t>(r) + 1);
    }
}

void KTTextStorage::splitBlockIfLarge(size_t b) {
    if (blocks_[b].runs.size() <= kMaxRunsPerBlock)
        return;
    Block tail;
    const size_t half = blocks_[b].runs.size() / 2;
    tail.runs.assign(blocks_[b].runs.begin() + static_cast<ptrdiff_t>(half), blocks_[b].runs.end());
    blocks_[b].runs.resize(half);
    for (const Run& run : tail.runs)
        tail.length += run.length;
    blocks_[b].length -= tail.length;
    blocks_.insert(blocks_.begin() + static_cast<ptrdiff_t>(b) + 1, std::move(tail));
}

uint32_t KTTextStorage::attributeIndexAt(uint32_t index) const {
    const RunPosition position = findRun(index);
    if (position.block == blocks_.size())
        return 0;
    return blocks_[position.block].runs[position.run].attributes;
}

const TextAttributes& KTTextStorage::runAttributesAtIndex(uint32_t index, uint32_t* runStart,
                                                          uint32_t* runEnd) const {
    const RunPosition position = findRun(index);
    if (position.block == blocks_.size()) {
        if (runStart)
            *runStart = length();
        if (runEnd)
            *runEnd = length();
        return emptyAttributes_;
    }
    const uint32_t attributes = blocks_[position.block].runs[position.run].attributes;
    if (runStart || runEnd) {
        // Runs of equal attributes may meet at a block boundary: report them as one.
        uint32_t start = position.start;
        size_t b = position.block;
        size_t r = position.run;
        while (true) {
            if (r == 0) {
                if (b == 0)
                    break;
                --b;
                r = blocks_[b].runs.size();
            }
            if (blocks_[b].runs[r - 1].attributes != attributes)
                break;
            --r;
            start -= blocks_[b].runs[r].length;
        }
        uint32_t end = position.start;
        b = position.block;
        r = position.run;
        while (b < blocks_.size() && blocks_[b].runs[r].attributes == attributes) {
            end += blocks_[b].runs[r].length;
            if (++r == blocks_[b].runs.size()) {
                ++b;
                r = 0;
            }
        }
        if (runStart)
            *runStart = start;
        if (runEnd)
            *runEnd = end;
    }
    return attributeSets_[attributes];
}

KTTextAttributes KTTextStorage::attributesAtIndex(uint32_t index, NSRange* effectiveRange) const {
    uint32_t start = 0;
    uint32_t end = 0;
    const TextAttributes& attributes = runAttributesAtIndex(
        index, effectiveRange ? &start : nullptr, effectiveRange ? &end : nullptr);
    if (effectiveRange)
        *effectiveRange = NSMakeRange(start, end - start);
    return attributes;
}

template <typename Change> void KTTextStorage::changeRunAttributes(NSRange range, Change change) {
    if (range.length == 0)
        return;
    splitRunsAt(NSMaxRange(range));
    RunPosition position = splitRunsAt(range.location);
    size_t b = position.block;
    size_t r = position.run;
    uint32_t remaining = range.length;
    std::vector<std::pair<uint32_t, uint32_t>> cache; // old index -> new index
    while (remaining > 0 && b < blocks_.size()) {
        std::vector<Run>& runs = blocks_[b].runs;
        for (; r < runs.size() && remaining > 0; ++r) {
            remaining -= runs[r].length;
            const uint32_t old = runs[r].attributes;
            auto hit = std::find_if(cache.begin(), cache.end(),
                                    [old](const auto& entry) { return entry.first == old; });
            if (hit == cache.end()) {
                KTTextAttributes changed = attributeSets_[old];
                change(changed);
                cache.emplace_back(old, internAttributes(changed));
                hit = cache.end() - 1;
            }
            runs[r].attributes = hit->second;
        }
        // Runs that now carry equal attributes are joined again.
        for (size_t i = runs.size(); i-- > 1;) {
            if (runs[i - 1].attributes == runs[i].attributes) {
                runs[i - 1].length += runs[i].length;
                runs.erase(runs.begin() + static_cast<ptrdiff_t>(i));
            }
        }
        ++b;
        r = 0;
    }
}

// Recording primitives and derived operations

bool KTTextStorage::isValidRange(NSRange range, const char* operation) const {
    if (range.location <= length() && range.length <= length() - range.location)
        return true;
    // The platform raises here; we refuse the change instead of corrupting the text.
    qWarning("%s - range (%u, %u) lies outside the text of length %u", operation, range.location,
             range.length, length());
    return false;
}

void KTTextStorage::replaceCharactersInRange(NSRange range, const QString& string) {
    if (!isValidRange(range, "replaceCharactersInRange"))
        return;
    beginEditing();
    const uint32_t total = length();
    uint32_t attributes = 0;
    if (total > 0) {
        if (range.length > 0)
            attributes = attributeIndexAt(range.location);
        else if (range.location > 0)
            attributes = attributeIndexAt(range.location - 1);
        else
            attributes = attributeIndexAt(0);
    }
    replaceCharacters(range.location, range.length, string);
    eraseRuns(range.location, range.length);
    insertRun(range.location, static_cast<uint32_t>(string.size()), attributes);
    edited(KTTextStorageEditedCharacters, range,
           static_cast<int32_t>(string.size()) - static_cast<int32_t>(range.length));
    endEditing();
}

void KTTextStorage::setAttributes(const KTTextAttributes& attributes, NSRange range) {
    if (!isValidRange(range, "setAttributes"))
        return;
    if (range.length > 0) {
        const uint32_t index = internAttributes(attributes);
        eraseRuns(range.location, range.length);
        insertRun(range.location, range.length, index);
    }
    edited(KTTextStorageEditedAttributes, range, 0);
}

void KTTextStorage::addAttributes(const KTTextAttributes& attributes, NSRange range) {
    if (!isValidRange(range, "addAttributes"))
        return;
    changeRunAttributes(range, [&attributes](KTTextAttributes& run) {
        if (attributes.font)
            run.font = attributes.font;
        if (attributes.foregroundColor)
            run.foregroundColor = attributes.foregroundColor;
    });
    edited(KTTextStorageEditedAttributes, range, 0);
}

void KTTextStorage::removeAttribute(CTAttributeName name, NSRange range) {
    if (!isValidRange(range, "removeAttribute"))
        return;
    changeRunAttributes(range, [name](KTTextAttributes& run) {
        if (name == kCTFontAttributeName)
            run.font.reset();
        else
            run.foregroundColor.reset();
    });
    edited(KTTextStorageEditedAttributes, range, 0);
}

void KTTextStorage::replaceCharactersInRange(NSRange range, const QString& string,
                                             const KTTextAttributes& attributes) {
    if (!isValidRange(range, "replaceCharactersInRange"))
        return;
    beginEditing();
    replaceCharactersInRange(range, string);
    setAttributes(attributes, NSMakeRange(range.location, static_cast<uint32_t>(string.size())));
    endEditing();
}

void KTTextStorage::setAttributedString(const QString& string, const KTTextAttributes& attributes) {
    replaceCharactersInRange(NSMakeRange(0, length()), string, attributes);
}

// Batches and processing

void KTTextStorage::beginEditing() {
    ++editStackCount_;
}

void KTTextStorage::endEditing() {
    if (editStackCount_ == 0)
        return;
    if (--editStackCount_ == 0)
        processEditing();
}

void KTTextStorage::edited(uint32_t mask, NSRange range, int32_t delta) {
    if (editedRange_.location == NSNotFound) {
        editedMask_ = mask;
        editedRange_ = range;
        changeInLength_ = delta;
    } else {
        editedMask_ |= mask;
        editedRange_ = NSUnionRange(editedRange_, range);
        changeInLength_ += delta;
    }
    if (editStackCount_ == 0)
        processEditing();
}

void KTTextStorage::processEditing() {
    ++editStackCount_;
    Q_EMIT willProcessEditing(this);
    Q_EMIT didProcessEditing(this);
    --editStackCount_;

    const QList<KTLayoutManager*> managers = layoutManagers_;
    for (KTLayoutManager* layoutManager : managers) {
        // Text without a font is given the store's font.
        const NSRange range = editedRange_;
        uint32_t index = range.location;
        while (index < NSMaxRange(range) && index < length()) {
            uint32_t runStart = 0;
            uint32_t runEnd = 0;
            const TextAttributes& attributes = runAttributesAtIndex(index, &runStart, &runEnd);
            if (!attributes.font) {
                ++editStackCount_;
                KTTextAttributes fontOnly;
                fontOnly.font = ctFont();
                addAttributes(fontOnly,
                              NSIntersectionRange(NSMakeRange(runStart, runEnd - runStart), range));
                --editStackCount_;
            }
            index = runEnd;
        }
        layoutManager->textStorageEdited(this, editedMask_, editedRange_, changeInLength_,
                                         editedRange_);
    }

    editedMask_ = 0;
    editedRange_ = NSMakeRange(NSNotFound, 0);
    changeInLength_ = 0;
}

// Layout managers, font and colour

void KTTextStorage::addLayoutManager(KTLayoutManager* layoutManager) {
    if (!layoutManager || layoutManagers_.contains(layoutManager))
        return;
    layoutManager->setTextStorage(this);
    layoutManagers_.append(layoutManager);
}

void KTTextStorage::removeLayoutManager(KTLayoutManager* layoutManager) {
    if (layoutManagers_.removeOne(layoutManager) && layoutManager->textStorage() == this)
        layoutManager->setTextStorage(nullptr);
}

CTFontRef KTTextStorage::ctFont() const {
    return CTFontCreateWithName(font_.family(), font_.pointSizeF());
}

void KTTextStorage::setFont(const QFont& font) {
    font_ = font;
    KTTextAttributes fontOnly;
    fontOnly.font = ctFont();
    addAttributes(fontOnly, NSMakeRange(0, length()));
}

void KTTextStorage::setForegroundColor(const QColor& color) {
    KTTextAttributes colorOnly;
    colorOnly.foregroundColor = color;
    addAttributes(colorOnly, NSMakeRange(0, length()));
}
