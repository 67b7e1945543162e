#include "syntax/KTSyntaxTheme.h"

#include "core/UIColorKT.h"
#include "syntax/SyntaxResources.h"

#include <QFileInfo>
#include <algorithm>

namespace {

// Theme keys in scope order.
constexpr const char* kScopeKeys[KTSyntaxScopeCount] = {"text",    "string", "comment", "storage",
                                                        "keyword", "entity", "support"};

std::optional<KTTextAttributes> attributesForColorString(const QVariant& value) {
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    const std::optional<QColor> color = UIColorKT::colorWithHexString(value.toString());
    if (!color)
        return std::nullopt;
    KTTextAttributes attributes;
    attributes.foregroundColor = *color;
    return attributes;
}

} // namespace

KTSyntaxTheme::KTSyntaxTheme(const QString& path) {
    const QVariant root = SyntaxResources::readPropertyList(path);
    if (root.typeId() == QMetaType::QVariantMap)
        _populateTheme(*this, root.toMap());
}

QStringList KTSyntaxTheme::builtInThemeFilenames() {
    return {QStringLiteral("bespin.plist"),     QStringLiteral("clouds.plist"),
            QStringLiteral("liquideyes.plist"), QStringLiteral("monokai.plist"),
            QStringLiteral("panache.plist"),    QStringLiteral("slate.plist")};
}

QStringList KTSyntaxTheme::availableThemes() {
    QStringList titles;
    for (const QVariantMap& dictionary : _availableThemeDictionaries()) {
        const QVariant title = dictionary.value(QStringLiteral("title"));
        if (title.typeId() == QMetaType::QString)
            titles.append(title.toString());
    }
    std::stable_sort(titles.begin(), titles.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    return titles;
}

std::shared_ptr<KTSyntaxTheme> KTSyntaxTheme::syntaxThemeWithTitle(const QString& title) {
    auto theme = std::make_shared<KTSyntaxTheme>();
    _populateTheme(*theme, _themeDictionaryWithTitle(title));
    return theme;
}

QList<QVariantMap> KTSyntaxTheme::_availableThemeDictionaries() {
    QList<QVariantMap> dictionaries;
    for (const QString& filename : builtInThemeFilenames()) {
        if (auto dictionary = _themeDictionaryForFilename(filename))
            dictionaries.append(*dictionary);
    }
    return dictionaries;
}

std::optional<QVariantMap> KTSyntaxTheme::_themeDictionaryForFilename(const QString& filename) {
    // Split at the last dot: the part before is the resource name, the part after its type.
    const qsizetype dot = filename.lastIndexOf(u'.');
    const QString name = dot < 0 ? filename : filename.left(dot);
    const QString type = dot < 0 ? QString() : filename.mid(dot + 1);
    const QVariant root = SyntaxResources::readPropertyList(
        SyntaxResources::pathForResource(QStringLiteral("themes"), name, type));
    if (root.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return root.toMap();
}

std::optional<QVariantMap> KTSyntaxTheme::_themeDictionaryWithTitle(const QString& title) {
    for (const QVariantMap& dictionary : _availableThemeDictionaries()) {
        const QVariant value = dictionary.value(QStringLiteral("title"));
        if (value.typeId() == QMetaType::QString && value.toString() == title)
            return dictionary;
    }
    return std::nullopt;
}

void KTSyntaxTheme::_populateTheme(KTSyntaxTheme& theme,
                                   const std::optional<QVariantMap>& dictionary) {
    if (!dictionary)
        return;
    for (int scope = 0; scope < KTSyntaxScopeCount; ++scope)
        theme.sets_[scope] =
            attributesForColorString(dictionary->value(QLatin1String(kScopeKeys[scope])));
    // A theme file without a readable "body" keeps the white background rather than none.
    if (const auto body =
            UIColorKT::colorWithHexString(dictionary->value(QStringLiteral("body")).toString()))
        theme.backgroundColor_ = *body;
}

std::optional<KTTextAttributes> KTSyntaxTheme::attributesForSyntaxScope(KTSyntaxScope scope) const {
    if (scope < 0 || scope >= KTSyntaxScopeCount)
        return std::nullopt;
    return sets_[scope];
}

std::optional<QColor> KTSyntaxTheme::foregroundColorForSyntaxScope(KTSyntaxScope scope) const {
    const auto attributes = attributesForSyntaxScope(scope);
    if (!attributes)
        return std::nullopt;
    return attributes->foregroundColor;
}
