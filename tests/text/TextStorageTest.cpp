#include "text/KTLayoutManager.h"
#include "text/KTTextStorage.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

struct Notice {
    uint32_t mask;
    NSRange range;
    int32_t change;
};

// Records what the store tells its layout managers.
class RecordingLayoutManager : public KTLayoutManager {
public:
    void textStorageEdited(KTTextStorage* storage, uint32_t mask, NSRange range, int32_t change,
                           NSRange invalidated) override {
        notices.push_back({mask, range, change});
        KTLayoutManager::textStorageEdited(storage, mask, range, change, invalidated);
    }
    std::vector<Notice> notices;
};

KTTextAttributes colour(const QColor& c) {
    KTTextAttributes a;
    a.foregroundColor = c;
    return a;
}

struct StorageFixture : ::testing::Test {
    StorageFixture() : storage(QString(40, QChar(u'x'))) {
        storage.setFont(storage.font()); // every character has a font, so no fill joins edits
        storage.addLayoutManager(&manager);
    }
    KTTextStorage storage;
    RecordingLayoutManager manager;
};

struct SingleEditCase {
    const char* name;
    NSRange range;
    QString replacement;
    Notice expected;
};

TEST_F(StorageFixture, EditOutsideBatchProcessesAtOnce) {
    const SingleEditCase cases[] = {
        {"insert 3 at 10", {10, 0}, "abc", {KTTextStorageEditedCharacters, {10, 0}, 3}},
        {"delete 2 at 5", {5, 2}, "", {KTTextStorageEditedCharacters, {5, 2}, -2}},
        {"replace 4 by 1", {0, 4}, "z", {KTTextStorageEditedCharacters, {0, 4}, -3}},
    };
    for (const SingleEditCase& c : cases) {
        manager.notices.clear();
        storage.replaceCharactersInRange(c.range, c.replacement);
        ASSERT_EQ(manager.notices.size(), 1u) << c.name;
        EXPECT_EQ(manager.notices[0].mask, c.expected.mask) << c.name;
        EXPECT_EQ(manager.notices[0].range, c.expected.range) << c.name;
        EXPECT_EQ(manager.notices[0].change, c.expected.change) << c.name;
        // Nothing pending once processed.
        EXPECT_EQ(storage.editedRange(), NSMakeRange(NSNotFound, 0)) << c.name;
        EXPECT_EQ(storage.changeInLength(), 0) << c.name;
        EXPECT_EQ(storage.editedMask(), 0u) << c.name;
    }
}

TEST_F(StorageFixture, BatchMergesEditsInTheirOwnCoordinates) {
    storage.beginEditing();
    storage.replaceCharactersInRange(NSMakeRange(2, 0), "ab");
    storage.beginEditing(); // nested
    storage.setAttributes(colour(Qt::red), NSMakeRange(20, 3));
    storage.endEditing();
    EXPECT_TRUE(manager.notices.empty()) << "inner endEditing must not process";
    storage.replaceCharactersInRange(NSMakeRange(30, 5), "");
    storage.endEditing();
    ASSERT_EQ(manager.notices.size(), 1u);
    EXPECT_EQ(manager.notices[0].mask,
              KTTextStorageEditedCharacters | KTTextStorageEditedAttributes);
    // (2,0) ∪ (20,3) ∪ (30,5), not shifted by the earlier insertion.
    EXPECT_EQ(manager.notices[0].range, NSMakeRange(2, 33));
    EXPECT_EQ(manager.notices[0].change, 2 - 5);
}

TEST_F(StorageFixture, ObserverChangeDuringWillProcessJoinsTheEdit) {
    bool changed = false;
    QObject::connect(&storage, &KTTextStorage::willProcessEditing, [&](KTTextStorage* s) {
        if (!changed) {
            changed = true;
            s->setAttributes(colour(Qt::blue), NSMakeRange(25, 5));
        }
    });
    int didProcess = 0;
    QObject::connect(&storage, &KTTextStorage::didProcessEditing,
                     [&](KTTextStorage*) { ++didProcess; });
    storage.replaceCharactersInRange(NSMakeRange(10, 0), "abc");
    ASSERT_EQ(manager.notices.size(), 1u);
    EXPECT_EQ(didProcess, 1);
    EXPECT_EQ(manager.notices[0].mask,
              KTTextStorageEditedCharacters | KTTextStorageEditedAttributes);
    EXPECT_EQ(manager.notices[0].range, NSMakeRange(10, 20));
    EXPECT_EQ(manager.notices[0].change, 3);
}

TEST_F(StorageFixture, FontFillGivesTheStoreFontToTextWithoutOne) {
    // Colour-only attribute sets (as a theme sets them) drop the font; processing restores it.
    storage.setAttributes(colour(Qt::green), NSMakeRange(5, 10));
    const KTTextAttributes filled = storage.attributesAtIndex(7);
    EXPECT_EQ(filled.font, storage.ctFont());
    EXPECT_EQ(filled.foregroundColor, QColor(Qt::green));
    ASSERT_EQ(manager.notices.size(), 1u);
    EXPECT_EQ(manager.notices[0].mask, KTTextStorageEditedAttributes);
    EXPECT_EQ(manager.notices[0].range, NSMakeRange(5, 10));
}

TEST_F(StorageFixture, NewCharactersTakeTheirNeighboursAttributes) {
    storage.setAttributes(colour(Qt::red), NSMakeRange(0, 10));
    storage.setAttributes(colour(Qt::blue), NSMakeRange(10, 10));
    struct Case {
        const char* name;
        NSRange range;
        QColor expected;
    } cases[] = {
        {"insertion after red", {10, 0}, Qt::red},
        {"replacement of blue", {12, 3}, Qt::blue},
        {"insertion at 0 takes the following character's", {0, 0}, Qt::red},
    };
    for (const Case& c : cases) {
        manager.notices.clear();
        storage.replaceCharactersInRange(c.range, "QQ");
        EXPECT_EQ(storage.attributesAtIndex(c.range.location).foregroundColor, c.expected)
            << c.name;
        EXPECT_EQ(storage.attributesAtIndex(c.range.location + 1).foregroundColor, c.expected)
            << c.name;
        // A pure insertion reports an empty range, so the fill adds nothing.
        EXPECT_EQ(manager.notices.at(0).mask, KTTextStorageEditedCharacters) << c.name;
    }
}

TEST_F(StorageFixture, RangesPastTheEndChangeNothing) {
    const QString before = storage.string();
    const NSRange ranges[] = {{41, 0}, {38, 3}, {0, 41}, {NSNotFound, 0}, {10, UINT32_MAX}};
    for (const NSRange& range : ranges) {
        storage.replaceCharactersInRange(range, "zz");
        storage.setAttributes(colour(Qt::red), range);
        storage.addAttributes(colour(Qt::red), range);
        EXPECT_EQ(storage.string(), before) << range.location << "," << range.length;
    }
    EXPECT_TRUE(manager.notices.empty());
    EXPECT_FALSE(storage.attributesAtIndex(39).foregroundColor);
}

TEST(TextStorage, SettingTheFontOnAnEmptyStoreIsAnAttributeEdit) {
    KTTextStorage storage;
    RecordingLayoutManager manager;
    storage.addLayoutManager(&manager);
    EXPECT_EQ(storage.font().family(), "Helvetica");
    EXPECT_EQ(storage.font().pointSizeF(), 17);
    QFont courier("Courier");
    courier.setPointSizeF(14);
    storage.setFont(courier);
    ASSERT_EQ(manager.notices.size(), 1u);
    EXPECT_EQ(manager.notices[0].mask, KTTextStorageEditedAttributes);
    EXPECT_EQ(manager.notices[0].range, NSMakeRange(0, 0));
}

TEST(TextStorage, RandomEditsKeepCharactersAndRunsConsistent) {
    // Many small edits and colourings against a plain model: one colour per character.
    std::mt19937 random(7);
    KTTextStorage storage(QString(3000, QChar(u'a')));
    QString text(3000, QChar(u'a'));
    std::vector<int> colours(3000, -1);
    const QColor palette[] = {Qt::red, Qt::green, Qt::blue, Qt::black};
    auto colourAt = [&](uint32_t i) {
        const auto c = storage.attributesAtIndex(i).foregroundColor;
        if (!c)
            return -1;
        for (int k = 0; k < 4; ++k)
            if (palette[k] == *c)
                return k;
        return -2;
    };
    for (int step = 0; step < 4000; ++step) {
        const auto length = static_cast<uint32_t>(text.size());
        const uint32_t location = length ? random() % length : 0;
        const uint32_t span = std::min<uint32_t>(length - location, random() % 6);
        switch (random() % 3) {
        case 0: { // replace characters
            const QString insert(static_cast<int>(random() % 4),
                                 QChar(u'a' + static_cast<char16_t>(step % 26)));
            int inherited = -1;
            if (length > 0)
                inherited = span > 0 ? colours[location]
                                     : (location > 0 ? colours[location - 1] : colours[0]);
            storage.replaceCharactersInRange(NSMakeRange(location, span), insert);
            text.replace(location, span, insert);
            colours.erase(colours.begin() + location, colours.begin() + location + span);
            colours.insert(colours.begin() + location, static_cast<size_t>(insert.size()),
                           inherited);
            break;
        }
        default: { // colour a stretch
            const int k = static_cast<int>(random() % 4);
            storage.setAttributes(colour(palette[k]), NSMakeRange(location, span));
            std::fill(colours.begin() + location, colours.begin() + location + span, k);
            break;
        }
        }
        ASSERT_EQ(storage.length(), static_cast<uint32_t>(text.size())) << "step " << step;
        if (step % 97 == 0 || step > 3990) {
            ASSERT_EQ(storage.string(), text) << "step " << step;
            for (uint32_t i = 0; i < storage.length(); ++i) {
                ASSERT_EQ(colourAt(i), colours[i]) << "index " << i << " step " << step;
                NSRange run;
                storage.attributesAtIndex(i, &run);
                ASSERT_TRUE(NSLocationInRange(i, run)) << "index " << i << " step " << step;
            }
        }
    }
    // Reading a piece never needs the whole string.
    EXPECT_EQ(storage.substringWithRange(NSMakeRange(10, 20)), text.mid(10, 20));
}

TEST(TextStorage, LineRangeFollowsThePlatformRule) {
    KTTextStorage storage(QStringLiteral("ab\ncd\r\nef\rgh\u2028ij"));
    struct Case {
        NSRange range;
        NSRange expected;
    } cases[] = {
        {{0, 0}, {0, 3}}, {{1, 1}, {0, 3}},   {{3, 0}, {3, 4}},   {{6, 0}, {3, 4}},
        {{4, 4}, {3, 7}}, {{10, 0}, {10, 3}}, {{13, 0}, {13, 2}}, {{15, 0}, {13, 2}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(storage.lineRangeForRange(c.range), c.expected)
            << "range " << c.range.location << "," << c.range.length;
    }
}

} // namespace
