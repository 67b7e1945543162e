#include "SyntaxFixtures.h"
#include "core/UIColorKT.h"
#include "syntax/KTSyntaxDefinition.h"
#include "syntax/KTSyntaxScope.h"
#include "syntax/KTSyntaxTheme.h"
#include "syntax/KeywordListSyntaxDefinition.h"
#include "syntax/SyntaxResources.h"

#include <gtest/gtest.h>

using namespace syntaxtest;

namespace {

QStringList titlesFor(const std::optional<QString>& fileType) {
    QStringList titles;
    for (const auto& row : KTSyntaxDefinition::syntaxDefinitionDescriptorsForSyntaxDescriptor(
             KTSyntaxDescriptor{fileType}))
        titles << row.title;
    return titles;
}

TEST(SyntaxScope, Names) {
    const std::pair<KTSyntaxScope, const char*> cases[] = {
        {0, "prose"},  {1, "string"},  {2, "comment"},    {3, "storage"},      {4, "keyword"},
        {5, "entity"}, {6, "support"}, {7, "Unknown(7)"}, {-1, "Unknown(-1)"},
    };
    for (const auto& [scope, name] : cases)
        EXPECT_EQ(KTSyntaxScopeName(scope), QString::fromLatin1(name));
}

TEST(SyntaxTable, ReadsRowsAndSplitsExtensionsAtEverySpace) {
    ResourcesOverride resources;
    resources.writeTable({{"Web", "web", "html  php"},
                          {"Other PHP", "other", "php"},
                          {"Plain Text", "", "txt"},
                          {"No Extensions", "none", QString()}});
    const auto table = KTSyntaxDefinition::descriptors();
    ASSERT_TRUE(table);
    ASSERT_EQ(table->size(), 4);
    EXPECT_EQ(table->at(0).title, "Web");
    EXPECT_EQ(table->at(0).identifier, "web");
    EXPECT_EQ(table->at(0).fileTypes, QStringList({"html", "", "php"}));
    EXPECT_TRUE(table->at(3).fileTypes.isEmpty());
}

TEST(SyntaxTable, ChoiceByExtension) {
    ResourcesOverride resources;
    resources.writeTable({{"Web", "web", "html  php"},
                          {"Other PHP", "other", "php"},
                          {"Plain Text", "", "txt"},
                          {"No Extensions", "none", QString()}});
    struct Case {
        std::optional<QString> fileType;
        QStringList titles;
    };
    const Case cases[] = {
        {QString("php"), {"Web", "Other PHP"}}, // both rows fit; the earlier decides
        {QString("html"), {"Web"}},
        {QString("HTML"), {}},  // extensions compare case-sensitively
        {QString("ph"), {}},    // whole entries only
        {QString(""), {"Web"}}, // no extension: only the row with an empty entry
        {std::nullopt, {}},
        {QString("txt"), {"Plain Text"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fileType.value_or("<none>").toStdString());
        EXPECT_EQ(titlesFor(c.fileType), c.titles);
    }
    // The plain-text row has an empty identifier and gives no definition.
    EXPECT_EQ(KTSyntaxDefinition::syntaxDefinitionForSyntaxDescriptor({QString("txt")}), nullptr);
    EXPECT_EQ(KTSyntaxDefinition::syntaxDefinitionForSyntaxDescriptor({QString("zip")}), nullptr);
    // A row naming a file that is missing still gives a definition, titled from the table, that
    // colours nothing.
    const auto web = KTSyntaxDefinition::syntaxDefinitionForSyntaxDescriptor({QString("php")});
    ASSERT_NE(web, nullptr);
    EXPECT_EQ(web->title(), "Web");
    auto* keywordList = dynamic_cast<KeywordListSyntaxDefinition*>(web.get());
    ASSERT_NE(keywordList, nullptr);
    EXPECT_TRUE(keywordList->keywords().isEmpty());
    EXPECT_TRUE(keywordList->beginCommand().isEmpty());
}

TEST(SyntaxTable, MissingOrBrokenTableGivesNone) {
    ResourcesOverride resources;
    EXPECT_FALSE(KTSyntaxDefinition::descriptors());
    EXPECT_TRUE(titlesFor(QString("html")).isEmpty());
    writePlist(resources.path("syntax/SyntaxDefinitions.plist"), "<array><dict><key>name");
    EXPECT_FALSE(KTSyntaxDefinition::descriptors());
    writePlist(resources.path("syntax/SyntaxDefinitions.plist"), dictXml({{"name", "x"}}));
    EXPECT_FALSE(KTSyntaxDefinition::descriptors());
}

TEST(KeywordListDefinition, ReadsKeysAndBuildsCharacterSets) {
    ResourcesOverride resources;
    resources.writeTable({{"Sample", "sample", "smp"}});
    resources.writeDefinition("sample", {{"keywords", QStringList{"Echo", "IF"}},
                                         {"autocompleteWords", QStringList{"Echo"}},
                                         {"beginCommand", "<"},
                                         {"endCommand", ">"},
                                         {"beginVariable", "$@"},
                                         {"firstString", "\""},
                                         {"recolourKeywordIfAlreadyColoured", true},
                                         {"excludeFromKeywordStartCharacterSet", "#"},
                                         {"excludeFromKeywordEndCharacterSet", "-"},
                                         {"includeInKeywordStartCharacterSet", "-"},
                                         {"includeInKeywordEndCharacterSet", "x#"}});
    const auto definition = KeywordListSyntaxDefinition::syntaxDefinitionWithContentsOfFile(
        resources.path("syntax/sample.plist"));
    EXPECT_EQ(definition->title(), "Sample");
    ASSERT_TRUE(definition->descriptor());
    EXPECT_EQ(definition->descriptor()->title, "Sample");
    EXPECT_TRUE(definition->descriptor()->identifier.isEmpty());
    // Keywords are lower-cased when case does not matter; autocomplete words never are.
    EXPECT_EQ(definition->keywords(), QSet<QString>({"echo", "if"}));
    EXPECT_EQ(definition->autocompleteWords(), QSet<QString>({"Echo"}));
    EXPECT_FALSE(definition->keywordsCaseSensitive());
    EXPECT_TRUE(definition->recolourKeywordIfAlreadyColoured());
    EXPECT_EQ(definition->beginCommand(), "<");
    EXPECT_EQ(definition->endInstruction(), "");
    EXPECT_EQ(definition->secondString(), "");
    ASSERT_TRUE(definition->beginVariable());
    EXPECT_TRUE(definition->beginVariable()->contains(u'$'));
    EXPECT_TRUE(definition->beginVariable()->contains(u'@'));
    EXPECT_TRUE(definition->endVariable().isEmpty());
    EXPECT_NE(definition->firstStringPattern(), nullptr);
    EXPECT_EQ(definition->secondStringPattern(), nullptr);

    const auto& start = definition->keywordStartCharacterSet();
    const auto& end = definition->keywordEndCharacterSet();
    EXPECT_TRUE(start.contains(u'a'));
    EXPECT_TRUE(start.contains(QChar(0x00e9))); // letters beyond ASCII
    EXPECT_TRUE(start.contains(u'_'));
    EXPECT_TRUE(start.contains(u':'));
    EXPECT_TRUE(start.contains(u'@'));
    EXPECT_FALSE(start.contains(u'#')); // excluded
    EXPECT_TRUE(start.contains(u'-'));  // included
    EXPECT_FALSE(start.contains(u'1'));
    EXPECT_TRUE(end.contains(u' '));
    EXPECT_TRUE(end.contains(u'\n'));
    EXPECT_TRUE(end.contains(u'.'));
    EXPECT_TRUE(end.contains(u'$')); // symbols
    EXPECT_FALSE(end.contains(u'_'));
    EXPECT_FALSE(end.contains(u'-')); // excluded
    EXPECT_TRUE(end.contains(u'x'));  // included after the exclusions
    EXPECT_TRUE(end.contains(u'#'));
    EXPECT_TRUE(definition->attributesCharacterSet().contains(u' '));
    EXPECT_TRUE(definition->attributesCharacterSet().contains(u'-'));
    EXPECT_TRUE(definition->attributesCharacterSet().contains(u'7'));
    EXPECT_FALSE(definition->attributesCharacterSet().contains(u'='));
}

TEST(KeywordListDefinition, UnreadableFileGivesAnEmptyDefinition) {
    ResourcesOverride resources;
    for (const QString& path : {resources.path("syntax/missing.plist"), QString()}) {
        const auto definition =
            KeywordListSyntaxDefinition::syntaxDefinitionWithContentsOfFile(path);
        EXPECT_TRUE(definition->keywords().isEmpty());
        EXPECT_TRUE(definition->autocompleteWords().isEmpty());
        EXPECT_FALSE(definition->beginVariable());
        EXPECT_EQ(definition->firstStringPattern(), nullptr);
        EXPECT_TRUE(definition->title().isEmpty());
        EXPECT_FALSE(definition->descriptor());
    }
}

TEST(SyntaxTheme, SortsTitlesWithoutRegardToCase) {
    ResourcesOverride resources;
    const char* files[] = {"bespin.plist",  "clouds.plist",  "liquideyes.plist",
                           "monokai.plist", "panache.plist", "slate.plist"};
    const char* titles[] = {"zeta", "Alpha", "beta", "Gamma", "alpha two", "Delta"};
    for (int i = 0; i < 6; ++i)
        resources.writeTheme(files[i], {{"title", titles[i]}, {"body", "#000000"}});
    EXPECT_EQ(KTSyntaxTheme::availableThemes(),
              QStringList({"Alpha", "alpha two", "beta", "Delta", "Gamma", "zeta"}));
}

TEST(SyntaxTheme, FillsFromTheFirstFileWithTheExactTitle) {
    ResourcesOverride resources;
    resources.writeTheme("clouds.plist", {{"title", "Twin"},
                                          {"text", "#010203"},
                                          {"string", "0x040506"},
                                          {"comment", "070809"},
                                          {"storage", "#ff0a0b0c"},
                                          {"keyword", "#0d0e0f"},
                                          {"entity", "#101112"},
                                          {"support", "#131415"},
                                          {"body", "#202122"}});
    resources.writeTheme("slate.plist",
                         {{"title", "Twin"}, {"text", "#ffffff"}, {"body", "#ffffff"}});
    resources.writeTheme("monokai.plist", {{"title", "Partial"}, {"text", "#zzzzzz"}});

    const auto theme = KTSyntaxTheme::syntaxThemeWithTitle("Twin");
    const uint32_t expected[] = {0x010203, 0x040506, 0x070809, 0x0a0b0c,
                                 0x0d0e0f, 0x101112, 0x131415};
    for (int scope = 0; scope < 7; ++scope) {
        const auto attributes = theme->attributesForSyntaxScope(scope);
        ASSERT_TRUE(attributes) << scope;
        EXPECT_FALSE(attributes->font); // a colour only
        const auto color = theme->foregroundColorForSyntaxScope(scope);
        ASSERT_TRUE(color);
        EXPECT_EQ(color->rgb() & 0xffffff, expected[scope]) << scope;
    }
    EXPECT_EQ(theme->backgroundColor().rgb() & 0xffffff, 0x202122u);
    EXPECT_FALSE(theme->attributesForSyntaxScope(7));
    EXPECT_FALSE(theme->attributesForSyntaxScope(-1));

    // No such title (titles compare exactly): an unfilled theme with a white background.
    for (const char* title : {"twin", "Nope"}) {
        const auto unfilled = KTSyntaxTheme::syntaxThemeWithTitle(title);
        EXPECT_EQ(unfilled->backgroundColor(), QColor(Qt::white));
        for (int scope = 0; scope < 7; ++scope)
            EXPECT_FALSE(unfilled->attributesForSyntaxScope(scope));
    }
    // A key whose colour string cannot be read gives no set for that scope only.
    const auto partial = KTSyntaxTheme::syntaxThemeWithTitle("Partial");
    EXPECT_FALSE(partial->proseAttributes());
    EXPECT_EQ(partial->backgroundColor(), QColor(Qt::white));
}

// The shipped themes: six files, all eight colours, every scope clearly readable on the
// background (contrast ratio of at least 4.5 as for body text).
TEST(ShippedResources, ThemesAreCompleteAndReadable) {
    auto relative = [](const QColor& c) {
        auto lin = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
    };
    const QStringList titles = KTSyntaxTheme::availableThemes();
    ASSERT_EQ(titles.size(), 6);
    EXPECT_TRUE(titles.contains(KTSyntaxTheme::defaultThemeTitle()));
    const auto dictionaries = KTSyntaxTheme::_availableThemeDictionaries();
    ASSERT_EQ(dictionaries.size(), 6);
    for (const QVariantMap& dictionary : dictionaries) {
        const QString title = dictionary.value("title").toString();
        SCOPED_TRACE(title.toStdString());
        for (const char* key :
             {"text", "string", "comment", "storage", "keyword", "entity", "support", "body"})
            EXPECT_TRUE(UIColorKT::colorWithHexString(dictionary.value(key).toString())) << key;
        const auto theme = KTSyntaxTheme::syntaxThemeWithTitle(title);
        const double background = relative(theme->backgroundColor());
        for (int scope = 0; scope < 7; ++scope) {
            const auto color = theme->foregroundColorForSyntaxScope(scope);
            ASSERT_TRUE(color);
            const double fg = relative(*color);
            const double contrast =
                (std::max(fg, background) + 0.05) / (std::min(fg, background) + 0.05);
            EXPECT_GE(contrast, 4.5) << KTSyntaxScopeName(scope).toStdString();
        }
    }
}

TEST(ShippedResources, EveryDefinitionLoads) {
    const auto table = KTSyntaxDefinition::descriptors();
    ASSERT_TRUE(table);
    QStringList titles;
    bool plainText = false;
    for (const auto& row : *table) {
        titles << row.title;
        SCOPED_TRACE(row.title.toStdString());
        if (row.identifier.isEmpty()) {
            plainText = row.title == "Plain Text";
            EXPECT_EQ(KTSyntaxDefinition::syntaxDefinitionForSyntaxDefinitionDescriptor(row),
                      nullptr);
            continue;
        }
        const QString path = SyntaxResources::pathForResource("syntax", row.identifier, "plist");
        ASSERT_FALSE(path.isEmpty());
        ASSERT_EQ(SyntaxResources::readPropertyList(path).typeId(), QMetaType::QVariantMap);
        const auto definition =
            KTSyntaxDefinition::syntaxDefinitionForSyntaxDefinitionDescriptor(row);
        ASSERT_NE(definition, nullptr);
        EXPECT_EQ(definition->title(), row.title);
        auto* keywordList = dynamic_cast<KeywordListSyntaxDefinition*>(definition.get());
        ASSERT_NE(keywordList, nullptr);
        EXPECT_FALSE(keywordList->keywords().isEmpty());
        // Every string delimiter yields a working pattern.
        EXPECT_EQ(keywordList->firstString().isEmpty(),
                  keywordList->firstStringPattern() == nullptr);
        EXPECT_EQ(keywordList->secondString().isEmpty(),
                  keywordList->secondStringPattern() == nullptr);
    }
    EXPECT_TRUE(plainText);
    for (const char* title : {"HTML", "XML", "CSS", "JavaScript", "JSON", "PHP", "Markdown",
                              "Python", "Ruby", "Perl", "SQL", "Shell", "C", "C++", "Java"})
        EXPECT_TRUE(titles.contains(title)) << title;
    const std::pair<const char*, const char*> extensions[] = {
        {"html", "HTML"},
        {"htm", "HTML"},
        {"xhtml", "HTML"},
        {"shtml", "HTML"},
        {"php", "PHP"},
        {"phtml", "PHP"},
        {"css", "CSS"},
        {"scss", "CSS"},
        {"less", "CSS"},
        {"js", "JavaScript"},
        {"mjs", "JavaScript"},
        {"json", "JSON"},
        {"xml", "XML"},
        {"svg", "XML"},
        {"md", "Markdown"},
        {"py", "Python"},
        {"rb", "Ruby"},
        {"pl", "Perl"},
        {"pm", "Perl"},
        {"sql", "SQL"},
        {"sh", "Shell"},
        {"bash", "Shell"},
        {"c", "C"},
        {"h", "C"},
        {"cpp", "C++"},
        {"java", "Java"},
        {"txt", "Plain Text"},
    };
    for (const auto& [extension, title] : extensions) {
        const QStringList fitting = titlesFor(QString(extension));
        ASSERT_FALSE(fitting.isEmpty()) << extension;
        EXPECT_EQ(fitting.first(), title) << extension;
    }
}

} // namespace
