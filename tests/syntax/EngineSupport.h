#pragma once

#include "SyntaxFixtures.h"
#include "syntax/KTSyntaxTheme.h"
#include "syntax/KeywordListSyntaxDefinition.h"
#include "syntax/KeywordListSyntaxEngine.h"
#include "text/KTTextStorage.h"

#include <QColor>
#include <QObject>
#include <memory>

namespace syntaxtest {

// One distinct colour per scope, so a character's colour tells its scope.
inline std::shared_ptr<KTSyntaxTheme> scopeTheme() {
    auto theme = std::make_shared<KTSyntaxTheme>();
    auto set = [](int code) {
        KTTextAttributes attributes;
        attributes.foregroundColor = QColor(10 * code, 0, 0);
        return attributes;
    };
    theme->setProseAttributes(set(0));
    theme->setStringAttributes(set(1));
    theme->setCommentAttributes(set(2));
    theme->setStorageAttributes(set(3));
    theme->setKeywordAttributes(set(4));
    theme->setEntityAttributes(set(5));
    theme->setSupportAttributes(set(6));
    theme->setBackgroundColor(Qt::white);
    return theme;
}

inline std::unique_ptr<KTTextStorage> makeStore(const QString& text) {
    return std::make_unique<KTTextStorage>(text);
}

// The scope of each character as one letter: p prose (instructions look like prose),
// s string, c comment, t storage, k keyword, e entity, u support, '.' no colour.
inline QString scopeMap(const KTTextStorage& store, NSRange range) {
    static const char letters[] = "psctkeu";
    QString map;
    for (uint32_t i = range.location; i < NSMaxRange(range); ++i) {
        const KTTextAttributes attributes = store.attributesAtIndex(i, nullptr);
        if (!attributes.foregroundColor) {
            map += u'.';
            continue;
        }
        const QColor c = *attributes.foregroundColor;
        const int code = c.red() / 10;
        map += (c.green() == 0 && c.blue() == 0 && c.red() % 10 == 0 && code < 7)
                   ? QChar(letters[code])
                   : QChar(u'?');
    }
    return map;
}

inline QString scopeMap(const KTTextStorage& store) {
    return scopeMap(store, NSMakeRange(0, uint32_t(store.string().size())));
}

// A store coloured by a fresh engine with a definition written from keys.
struct Colouring {
    ResourcesOverride resources;
    std::shared_ptr<KeywordListSyntaxDefinition> definition;
    std::unique_ptr<KTTextStorage> store;
    KeywordListSyntaxEngine engine;

    Colouring(const PlistDict& keys, const QString& text) {
        resources.writeTable({{"Test", "test", "tst"}});
        resources.writeDefinition("test", keys);
        definition = KeywordListSyntaxDefinition::syntaxDefinitionWithContentsOfFile(
            resources.path("syntax/test.plist"));
        store = makeStore(text);
        engine.setSyntaxTheme(scopeTheme());
        engine.setSyntaxDefinition(definition);
        engine.setTextStorage(store.get());
    }
    QString colourAll() {
        engine.ensureParsingForCharacterRange(NSMakeRange(0, uint32_t(store->string().size())));
        return scopeMap(*store);
    }
    QString colour(NSRange range) {
        engine.ensureParsingForCharacterRange(range);
        return scopeMap(*store, range);
    }
};

// Counts the times a store processes its pending edits (once per outermost batch).
struct ProcessingCounter {
    int count = 0;
    QMetaObject::Connection connection;
    explicit ProcessingCounter(KTTextStorage& store) {
        connection = QObject::connect(&store, &KTTextStorage::didProcessEditing,
                                      [this](KTTextStorage*) { ++count; });
    }
    ~ProcessingCounter() { QObject::disconnect(connection); }
};

} // namespace syntaxtest
