#include "syntax/KeywordListSyntaxDefinition.h"

#include "syntax/SyntaxResources.h"

#include <QFileInfo>
#include <QVariantMap>
#include <unicode/regex.h>

namespace {

QString stringValue(const QVariantMap& map, const char* key) {
    const QVariant value = map.value(QLatin1String(key));
    return value.typeId() == QMetaType::QString ? value.toString() : QStringLiteral("");
}

std::optional<QSet<QString>> stringSet(const QVariantMap& map, const char* key) {
    const QVariant value = map.value(QLatin1String(key));
    if (value.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    QSet<QString> set;
    for (const QVariant& item : value.toList()) {
        if (item.typeId() == QMetaType::QString)
            set.insert(item.toString());
    }
    return set;
}

std::optional<bool> boolValue(const QVariantMap& map, const char* key) {
    const QVariant value = map.value(QLatin1String(key));
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (value.typeId() == QMetaType::LongLong)
        return value.toLongLong() != 0;
    return std::nullopt;
}

std::unique_ptr<icu::RegexPattern> compile(const QString& source) {
    if (source.isEmpty())
        return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    const icu::UnicodeString pattern(reinterpret_cast<const UChar*>(source.utf16()),
                                     int32_t(source.size()));
    // Multi-line: a backslash at the end of any line escapes the line break, so a string may
    // continue on the next line.
    std::unique_ptr<icu::RegexPattern> compiled(
        icu::RegexPattern::compile(pattern, UREGEX_MULTILINE, parseError, status));
    if (U_FAILURE(status))
        return nullptr;
    return compiled;
}

} // namespace

KeywordListSyntaxDefinition::KeywordListSyntaxDefinition() = default;

KeywordListSyntaxDefinition::KeywordListSyntaxDefinition(const QString& path) {
    load(path);
}

KeywordListSyntaxDefinition::~KeywordListSyntaxDefinition() = default;

std::shared_ptr<KeywordListSyntaxDefinition>
KeywordListSyntaxDefinition::syntaxDefinitionWithContentsOfFile(const QString& path) {
    return std::make_shared<KeywordListSyntaxDefinition>(path);
}

std::optional<QList<KTSyntaxDefinitionDescriptor>> KeywordListSyntaxDefinition::descriptors() {
    const QVariant table = SyntaxResources::readPropertyList(SyntaxResources::pathForResource(
        QStringLiteral("syntax"), QStringLiteral("SyntaxDefinitions"), QStringLiteral("plist")));
    if (table.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    QList<KTSyntaxDefinitionDescriptor> result;
    for (const QVariant& entry : table.toList()) {
        const QVariantMap row = entry.toMap();
        KTSyntaxDefinitionDescriptor descriptor;
        descriptor.title = row.value(QStringLiteral("name")).toString();
        descriptor.identifier = row.value(QStringLiteral("file")).toString();
        const QVariant extensions = row.value(QStringLiteral("extensions"));
        // Split at every single space: two spaces in a row give an empty entry, which is how a
        // row claims files without an extension.
        if (extensions.typeId() == QMetaType::QString)
            descriptor.fileTypes = extensions.toString().split(u' ', Qt::KeepEmptyParts);
        result.append(descriptor);
    }
    return result;
}

std::optional<KTSyntaxDefinitionDescriptor> KeywordListSyntaxDefinition::descriptor() const {
    if (title().isEmpty())
        return std::nullopt;
    KTSyntaxDefinitionDescriptor descriptor;
    descriptor.title = title();
    return descriptor;
}

QString KeywordListSyntaxDefinition::stringPatternForDelimiter(const QString& d) {
    return QStringLiteral("\\W%1[^%1\\\\]*+(?:\\\\(?:.|$)[^%1\\\\]*+)*+%1").arg(d);
}

void KeywordListSyntaxDefinition::load(const QString& path) {
    // The title comes from the table row whose identifier is the file's name up to its first dot.
    const QString identifier = QFileInfo(path).fileName().section(u'.', 0, 0);
    if (!identifier.isEmpty()) {
        if (const auto table = descriptors()) {
            for (const KTSyntaxDefinitionDescriptor& row : *table) {
                if (row.identifier == identifier) {
                    setTitle(row.title);
                    break;
                }
            }
        }
    }

    letterCharacterSet_ = KTCharacterSet::letters();
    keywordStartCharacterSet_ = KTCharacterSet::letters();
    keywordStartCharacterSet_.addCharactersInString(u"_:@#");
    keywordEndCharacterSet_ = KTCharacterSet::whitespaceAndNewlines();
    keywordEndCharacterSet_.formUnion(KTCharacterSet::symbols());
    keywordEndCharacterSet_.formUnion(KTCharacterSet::punctuation());
    keywordEndCharacterSet_.remove(u'_');
    attributesCharacterSet_ = KTCharacterSet::alphanumerics();
    attributesCharacterSet_.addCharactersInString(u" -");

    const QVariant root = SyntaxResources::readPropertyList(path);
    const QVariantMap map = root.toMap();

    if (auto words = stringSet(map, "keywords"))
        keywords_ = *words;
    if (auto words = stringSet(map, "autocompleteWords"))
        autocompleteWords_ = *words;
    if (auto value = boolValue(map, "recolourKeywordIfAlreadyColoured"))
        recolourKeywordIfAlreadyColoured_ = *value;
    if (auto value = boolValue(map, "keywordsCaseSensitive"))
        keywordsCaseSensitive_ = *value;
    if (!keywordsCaseSensitive_) {
        QSet<QString> lowered;
        lowered.reserve(keywords_.size());
        for (const QString& word : std::as_const(keywords_))
            lowered.insert(word.toLower());
        keywords_ = lowered;
    }

    beginCommand_ = stringValue(map, "beginCommand");
    endCommand_ = stringValue(map, "endCommand");
    beginInstruction_ = stringValue(map, "beginInstruction");
    endInstruction_ = stringValue(map, "endInstruction");
    firstString_ = stringValue(map, "firstString");
    secondString_ = stringValue(map, "secondString");
    firstSingleLineComment_ = stringValue(map, "firstSingleLineComment");
    secondSingleLineComment_ = stringValue(map, "secondSingleLineComment");
    beginFirstMultiLineComment_ = stringValue(map, "beginFirstMultiLineComment");
    endFirstMultiLineComment_ = stringValue(map, "endFirstMultiLineComment");
    beginSecondMultiLineComment_ = stringValue(map, "beginSecondMultiLineComment");
    endSecondMultiLineComment_ = stringValue(map, "endSecondMultiLineComment");
    if (map.value(QStringLiteral("beginVariable")).typeId() == QMetaType::QString)
        beginVariable_ = KTCharacterSet::withCharactersInString(stringValue(map, "beginVariable"));
    endVariable_ = KTCharacterSet::withCharactersInString(stringValue(map, "endVariable"));

    keywordStartCharacterSet_.removeCharactersInString(
        stringValue(map, "excludeFromKeywordStartCharacterSet"));
    keywordEndCharacterSet_.removeCharactersInString(
        stringValue(map, "excludeFromKeywordEndCharacterSet"));
    keywordStartCharacterSet_.addCharactersInString(
        stringValue(map, "includeInKeywordStartCharacterSet"));
    keywordEndCharacterSet_.addCharactersInString(
        stringValue(map, "includeInKeywordEndCharacterSet"));

    if (!firstString_.isEmpty())
        firstStringPattern_ = compile(stringPatternForDelimiter(firstString_));
    if (!secondString_.isEmpty())
        secondStringPattern_ = compile(stringPatternForDelimiter(secondString_));
}
