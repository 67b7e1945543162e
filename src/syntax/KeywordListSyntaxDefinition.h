#pragma once

#include "syntax/KTCharacterSet.h"
#include "syntax/KTSyntaxDefinition.h"

#include <QSet>
#include <QString>
#include <memory>

#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class RegexPattern;
U_NAMESPACE_END

// A language described by its markers (tag and instruction brackets, string quotes, comment
// markers, variable characters) and its word lists, read from a property list.
class KeywordListSyntaxDefinition : public KTSyntaxDefinition {
public:
    // An empty definition: every marker "", no word lists; it colours nothing.
    KeywordListSyntaxDefinition();
    explicit KeywordListSyntaxDefinition(const QString& path);
    ~KeywordListSyntaxDefinition() override;

    static std::shared_ptr<KeywordListSyntaxDefinition>
    syntaxDefinitionWithContentsOfFile(const QString& path);

    // The table of languages shipped with the program, read afresh on each call.
    static std::optional<QList<KTSyntaxDefinitionDescriptor>> descriptors();

    // A row carrying only the title; none without a title.
    std::optional<KTSyntaxDefinitionDescriptor> descriptor() const override;

    const QString& beginCommand() const { return beginCommand_; }
    const QString& endCommand() const { return endCommand_; }
    const QString& beginInstruction() const { return beginInstruction_; }
    const QString& endInstruction() const { return endInstruction_; }
    // Set when the file names variable-start characters (the variable pass runs only then).
    const std::optional<KTCharacterSet>& beginVariable() const { return beginVariable_; }
    const KTCharacterSet& endVariable() const { return endVariable_; }
    const QString& firstString() const { return firstString_; }
    const QString& secondString() const { return secondString_; }
    const QString& firstSingleLineComment() const { return firstSingleLineComment_; }
    const QString& secondSingleLineComment() const { return secondSingleLineComment_; }
    const QString& beginFirstMultiLineComment() const { return beginFirstMultiLineComment_; }
    const QString& endFirstMultiLineComment() const { return endFirstMultiLineComment_; }
    const QString& beginSecondMultiLineComment() const { return beginSecondMultiLineComment_; }
    const QString& endSecondMultiLineComment() const { return endSecondMultiLineComment_; }
    bool keywordsCaseSensitive() const { return keywordsCaseSensitive_; }
    bool recolourKeywordIfAlreadyColoured() const { return recolourKeywordIfAlreadyColoured_; }
    const QSet<QString>& keywords() const { return keywords_; }
    const QSet<QString>& autocompleteWords() const { return autocompleteWords_; }
    const KTCharacterSet& letterCharacterSet() const { return letterCharacterSet_; }
    const KTCharacterSet& keywordStartCharacterSet() const { return keywordStartCharacterSet_; }
    const KTCharacterSet& keywordEndCharacterSet() const { return keywordEndCharacterSet_; }
    const KTCharacterSet& attributesCharacterSet() const { return attributesCharacterSet_; }
    // Compiled string patterns; null when the delimiter is "" or the pattern does not compile.
    const icu::RegexPattern* firstStringPattern() const { return firstStringPattern_.get(); }
    const icu::RegexPattern* secondStringPattern() const { return secondStringPattern_.get(); }

    // The pattern source for a string delimiter (the delimiter is put in as given).
    static QString stringPatternForDelimiter(const QString& delimiter);

private:
    void load(const QString& path);

    QString beginCommand_, endCommand_, beginInstruction_, endInstruction_;
    std::optional<KTCharacterSet> beginVariable_;
    KTCharacterSet endVariable_;
    QString firstString_, secondString_;
    QString firstSingleLineComment_, secondSingleLineComment_;
    QString beginFirstMultiLineComment_, endFirstMultiLineComment_;
    QString beginSecondMultiLineComment_, endSecondMultiLineComment_;
    bool keywordsCaseSensitive_ = false;
    bool recolourKeywordIfAlreadyColoured_ = false;
    QSet<QString> keywords_, autocompleteWords_;
    KTCharacterSet letterCharacterSet_, keywordStartCharacterSet_, keywordEndCharacterSet_,
        attributesCharacterSet_;
    std::unique_ptr<icu::RegexPattern> firstStringPattern_, secondStringPattern_;
};
