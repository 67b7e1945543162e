#include "core/Settings.h"

#include "platform/PropertyList.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kShouldWrapLines = QStringLiteral("shouldWrapLines");
const QString kDefaultTextEncoding = QStringLiteral("defaultTextEncoding");
const QString kSyntaxTheme = QStringLiteral("syntaxTheme");
const QString kDefaultTheme = QStringLiteral("Panache");
const QString kProjects = QStringLiteral("Projects");
const QString kOpenDocuments = QStringLiteral("Open Documents");

struct ProcessPreferences {
    bool showFileBrowser = true;
    bool syncNavigation = false;
    bool showLeftMargin = true;
    bool colorSyntax = true;
    QString transferTitle;
    QString transferLocalPath;
    QString transferRemotePath;
};

ProcessPreferences& processPreferences() {
    static ProcessPreferences preferences;
    return preferences;
}

QString home() {
    return qEnvironmentVariable("QUORVEL_HOME");
}

QString cleanPath(const QString& path) {
    QString clean = QDir::cleanPath(path);
    while (clean.size() > 1 && clean.endsWith(QLatin1Char('/')))
        clean.chop(1);
    return clean;
}

// A folder in the shared temporary folder must belong to us alone: a directory (not a link),
// owned by this user, readable by nobody else.
bool isPrivateDirectory(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
        return false;
    if ((info.st_mode & 0077) != 0 && ::chmod(QFile::encodeName(path).constData(), 0700) != 0)
        return false;
    return true;
}

QString makePrivateDirectory(const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    ::mkdir(QFile::encodeName(path).constData(), 0700);
    if (isPrivateDirectory(path))
        return path;
    // Someone else holds the name: use a fresh private folder for this process instead.
    static QString fallback;
    if (fallback.isEmpty() || !isPrivateDirectory(fallback)) {
        QByteArray pattern = QFile::encodeName(path + QStringLiteral("-XXXXXX"));
        if (::mkdtemp(pattern.data()))
            fallback = QFile::decodeName(pattern);
    }
    return fallback.isEmpty() ? path : fallback;
}

QVariantMap readHistory() {
    QVariant root = PropertyList::readFile(Settings::pathToHistoryFile());
    return root.typeId() == QMetaType::QVariantMap ? root.toMap() : QVariantMap();
}

} // namespace

bool Settings::shouldWrapLines() {
    auto defaults = userDefaults();
    if (defaults->status() != QSettings::NoError)
        return false;
    return defaults->value(kShouldWrapLines, false).toBool();
}

void Settings::setShouldWrapLines(bool flag) {
    userDefaults()->setValue(kShouldWrapLines, flag);
}

uint32_t Settings::defaultTextEncoding() {
    auto defaults = userDefaults();
    if (defaults->status() != QSettings::NoError)
        return 0;
    bool ok = false;
    qulonglong value = defaults->value(kDefaultTextEncoding, 0).toULongLong(&ok);
    return ok && value <= 0xFFFFFFFFull ? uint32_t(value) : 0;
}

void Settings::setDefaultTextEncoding(uint32_t encoding) {
    userDefaults()->setValue(kDefaultTextEncoding, qulonglong(encoding));
}

QString Settings::syntaxTheme() {
    auto defaults = userDefaults();
    if (defaults->status() != QSettings::NoError)
        return kDefaultTheme;
    QVariant value = defaults->value(kSyntaxTheme);
    return value.isValid() ? value.toString() : kDefaultTheme;
}

void Settings::setSyntaxTheme(const QString& title) {
    auto defaults = userDefaults();
    if (title.isNull())
        defaults->remove(kSyntaxTheme);
    else
        defaults->setValue(kSyntaxTheme, title);
}

bool Settings::shouldShowFileBrowser() {
    return processPreferences().showFileBrowser;
}
void Settings::setShouldShowFileBrowser(bool flag) {
    processPreferences().showFileBrowser = flag;
}
bool Settings::shouldSyncNavigation() {
    return processPreferences().syncNavigation;
}
void Settings::setShouldSyncNavigation(bool flag) {
    processPreferences().syncNavigation = flag;
}
bool Settings::shouldShowLeftMargin() {
    return processPreferences().showLeftMargin;
}
void Settings::setShouldShowLeftMargin(bool flag) {
    processPreferences().showLeftMargin = flag;
}
bool Settings::shouldColorSyntax() {
    return processPreferences().colorSyntax;
}
void Settings::setShouldColorSyntax(bool flag) {
    processPreferences().colorSyntax = flag;
}

QFont Settings::font() {
    QFont font(QStringLiteral("Courier"));
    font.setPointSizeF(14);
    return font;
}

void Settings::setFont(const QFont&) {}

int32_t Settings::selectedTabIndexForProjectTitle(const QString&) {
    return 0;
}

void Settings::setSelectedTabIndex(int32_t, const QString&) {}

void Settings::setLocalPath(const QString& path, const QString& projectTitle) {
    processPreferences().transferTitle = projectTitle;
    processPreferences().transferLocalPath = path;
}

void Settings::setRemotePath(const QString& path, const QString& projectTitle) {
    processPreferences().transferTitle = projectTitle;
    processPreferences().transferRemotePath = path;
}

QString Settings::localPathForProjectTitle(const QString& title) {
    const ProcessPreferences& preferences = processPreferences();
    if (preferences.transferTitle.isNull() || title.isNull() || title != preferences.transferTitle)
        return QString();
    return preferences.transferLocalPath;
}

QString Settings::remotePathForProjectTitle(const QString& title) {
    const ProcessPreferences& preferences = processPreferences();
    if (preferences.transferTitle.isNull() || title.isNull() || title != preferences.transferTitle)
        return QString();
    return preferences.transferRemotePath;
}

void Settings::setOpenDocumentPaths(const QStringList& paths, const QString& projectTitle) {
    QVariantMap history = readHistory();
    QVariant projectsValue = history.value(kProjects);
    QVariantMap projects =
        projectsValue.typeId() == QMetaType::QVariantMap ? projectsValue.toMap() : QVariantMap();
    QVariant projectValue = projects.value(projectTitle);
    QVariantMap project =
        projectValue.typeId() == QMetaType::QVariantMap ? projectValue.toMap() : QVariantMap();
    project.insert(kOpenDocuments, QVariant(paths).toList());
    projects.insert(projectTitle, project);
    history.insert(kProjects, projects);

    // The library folder may not exist yet on a fresh installation.
    QDir().mkpath(pathToLibraryDirectory());
    // A failed write keeps the previous file whole; nobody is told, as with every history write.
    PropertyList::writeFile(pathToHistoryFile(), history);
}

std::optional<QStringList> Settings::openDocumentPathsForProjectTitle(const QString& title) {
    QVariant projects = readHistory().value(kProjects);
    if (projects.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    QVariant project = projects.toMap().value(title);
    if (project.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    QVariant documents = project.toMap().value(kOpenDocuments);
    if (documents.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    QStringList paths;
    for (const QVariant& path : documents.toList()) {
        if (path.typeId() == QMetaType::QString)
            paths.append(path.toString());
    }
    return paths;
}

QString Settings::pathToLibraryDirectory() {
    if (!home().isEmpty())
        return cleanPath(home() + QStringLiteral("/Library"));
    return cleanPath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                     QStringLiteral("/Quorvel"));
}

QString Settings::pathToCacheDirectory() {
    if (!home().isEmpty())
        return cleanPath(home() + QStringLiteral("/Caches"));
    return cleanPath(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                     QStringLiteral("/Quorvel"));
}

QString Settings::pathToDocumentsDirectory() {
    if (!home().isEmpty())
        return cleanPath(home() + QStringLiteral("/Documents"));
    return cleanPath(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                     QStringLiteral("/Quorvel"));
}

QString Settings::pathToTemporaryDirectory() {
    QString path = !home().isEmpty()
                       ? home() + QStringLiteral("/tmp")
                       : QDir::tempPath() + QStringLiteral("/quorvel-%1").arg(::getuid());
    return cleanPath(makePrivateDirectory(cleanPath(path)));
}

QString Settings::pathToProjectsDirectory() {
    return _ensureExistanceOfPath(pathToLibraryDirectory() + QStringLiteral("/Projects"));
}

QString Settings::pathToWebsiteThumbnailsCacheDirectory() {
    return _ensureExistanceOfPath(pathToCacheDirectory() + QStringLiteral("/Website Thumbnails"));
}

QString Settings::pathToHistoryFile() {
    return pathToLibraryDirectory() + QStringLiteral("/History.plist");
}

QString Settings::_ensureExistanceOfPath(const QString& path) {
    QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        QDir().mkpath(path);
    return path;
}

std::unique_ptr<QSettings> Settings::userDefaults() {
    if (!home().isEmpty()) {
        return std::make_unique<QSettings>(
            cleanPath(home() + QStringLiteral("/Preferences/Quorvel.conf")),
            QSettings::NativeFormat);
    }
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Quorvel"), QStringLiteral("Quorvel"));
}

void Settings::resetProcessPreferences() {
    processPreferences() = ProcessPreferences();
}
