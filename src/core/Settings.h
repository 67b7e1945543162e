#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

class QSettings;

// The one place every part of the program asks for preferences, per-project history and the
// folders the program keeps its data in. Class operations only.
//
// Folders follow the XDG base directories; the environment variable QUORVEL_HOME moves all of
// them (and the user defaults) below one folder, for tests and side-by-side runs.
class Settings {
public:
    Settings() = delete;

    // Kept in the user defaults across launches.
    static bool shouldWrapLines();
    static void setShouldWrapLines(bool flag);
    static uint32_t defaultTextEncoding(); // 0: none chosen ("Automatic")
    static void setDefaultTextEncoding(uint32_t encoding);
    static QString syntaxTheme();
    static void setSyntaxTheme(const QString& title);

    // Held for the life of the process, starting from fixed values at every launch.
    static bool shouldShowFileBrowser();
    static void setShouldShowFileBrowser(bool flag);
    static bool shouldSyncNavigation();
    static void setShouldSyncNavigation(bool flag);
    static bool shouldShowLeftMargin();
    static void setShouldShowLeftMargin(bool flag);
    static bool shouldColorSyntax();
    static void setShouldColorSyntax(bool flag);

    // Constant answers.
    static QFont font();
    static void setFont(const QFont& font);
    static int32_t selectedTabIndexForProjectTitle(const QString& title);
    static void setSelectedTabIndex(int32_t index, const QString& projectTitle);

    // The last folders the transfers view showed, remembered for one project at a time.
    static void setLocalPath(const QString& path, const QString& projectTitle);
    static void setRemotePath(const QString& path, const QString& projectTitle);
    static QString localPathForProjectTitle(const QString& title);  // null when not remembered
    static QString remotePathForProjectTitle(const QString& title); // null when not remembered

    // The documents open in a project's tabs, kept in "History.plist" in the library folder.
    // The title is one key, whatever characters it holds.
    static void setOpenDocumentPaths(const QStringList& paths, const QString& projectTitle);
    static std::optional<QStringList> openDocumentPathsForProjectTitle(const QString& title);

    // Standard folders: absolute paths without a trailing separator.
    static QString pathToLibraryDirectory();
    static QString pathToCacheDirectory();
    static QString pathToDocumentsDirectory();
    static QString
    pathToTemporaryDirectory();               // private to the user (mode 0700), created if missing
    static QString pathToProjectsDirectory(); // created if missing
    static QString pathToWebsiteThumbnailsCacheDirectory(); // created if missing
    static QString pathToHistoryFile();

    // Creates a directory (with its parents) where nothing exists; leaves anything that exists.
    static QString _ensureExistanceOfPath(const QString& path);

    // The user defaults themselves, for the keys other parts own ("LastKnownUpdate").
    static std::unique_ptr<QSettings> userDefaults();

    // Puts the process-lifetime values back to their launch values (for tests).
    static void resetProcessPreferences();
};
