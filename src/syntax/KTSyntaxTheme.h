#pragma once

#include "syntax/KTSyntaxScope.h"
#include "text/KTTextStorage.h"

#include <QColor>
#include <QStringList>
#include <QVariantMap>
#include <memory>
#include <optional>

// A named set of colours: one foreground colour per scope and the editor background. Each
// attribute set holds exactly one entry, the foreground colour (no font).
class KTSyntaxTheme {
public:
    KTSyntaxTheme() = default; // white background, no attribute sets
    explicit KTSyntaxTheme(const QString& path);

    // Titles of the built-in themes, sorted without regard to case.
    static QStringList availableThemes();
    // A theme filled from the first built-in file with exactly this title; unfilled otherwise.
    static std::shared_ptr<KTSyntaxTheme> syntaxThemeWithTitle(const QString& title);
    // The title the settings use when the user has not chosen one.
    static QString defaultThemeTitle() { return QStringLiteral("Panache"); }

    static QList<QVariantMap> _availableThemeDictionaries();
    static std::optional<QVariantMap> _themeDictionaryForFilename(const QString& filename);
    static std::optional<QVariantMap> _themeDictionaryWithTitle(const QString& title);
    static void _populateTheme(KTSyntaxTheme& theme, const std::optional<QVariantMap>& dictionary);
    // The built-in theme files, in their fixed order.
    static QStringList builtInThemeFilenames();

    // The attribute set of a scope; none for codes outside 0...6 (and before filling).
    std::optional<KTTextAttributes> attributesForSyntaxScope(KTSyntaxScope scope) const;

    const QColor& backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(const QColor& color) { backgroundColor_ = color; }
    const std::optional<KTTextAttributes>& proseAttributes() const { return sets_[0]; }
    const std::optional<KTTextAttributes>& stringAttributes() const { return sets_[1]; }
    const std::optional<KTTextAttributes>& commentAttributes() const { return sets_[2]; }
    const std::optional<KTTextAttributes>& storageAttributes() const { return sets_[3]; }
    const std::optional<KTTextAttributes>& keywordAttributes() const { return sets_[4]; }
    const std::optional<KTTextAttributes>& entityAttributes() const { return sets_[5]; }
    const std::optional<KTTextAttributes>& supportAttributes() const { return sets_[6]; }
    void setProseAttributes(const std::optional<KTTextAttributes>& a) { sets_[0] = a; }
    void setStringAttributes(const std::optional<KTTextAttributes>& a) { sets_[1] = a; }
    void setCommentAttributes(const std::optional<KTTextAttributes>& a) { sets_[2] = a; }
    void setStorageAttributes(const std::optional<KTTextAttributes>& a) { sets_[3] = a; }
    void setKeywordAttributes(const std::optional<KTTextAttributes>& a) { sets_[4] = a; }
    void setEntityAttributes(const std::optional<KTTextAttributes>& a) { sets_[5] = a; }
    void setSupportAttributes(const std::optional<KTTextAttributes>& a) { sets_[6] = a; }

    // The foreground colour of a scope's set, when it has one.
    std::optional<QColor> foregroundColorForSyntaxScope(KTSyntaxScope scope) const;

private:
    QColor backgroundColor_ = Qt::white;
    std::optional<KTTextAttributes> sets_[KTSyntaxScopeCount];
};
