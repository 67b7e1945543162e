#include "core/Settings.h"
#include "platform/PropertyList.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Each test gets its own QUORVEL_HOME, so nothing leaks into the user's folders or other tests.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        qputenv("QUORVEL_HOME", home.path().toUtf8());
        Settings::resetProcessPreferences();
    }
    void TearDown() override {
        qunsetenv("QUORVEL_HOME");
        Settings::resetProcessPreferences();
    }
    QString homePath(const QString& relative) const { return home.path() + "/" + relative; }

    QTemporaryDir home;
};

mode_t modeOf(const QString& path) {
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}

TEST_F(SettingsTest, FreshInstallationAnswersItsDefaults) {
    EXPECT_FALSE(Settings::shouldWrapLines());
    EXPECT_EQ(Settings::defaultTextEncoding(), 0u);
    EXPECT_EQ(Settings::syntaxTheme(), "Panache");
    EXPECT_TRUE(Settings::shouldShowFileBrowser());
    EXPECT_FALSE(Settings::shouldSyncNavigation());
    EXPECT_TRUE(Settings::shouldShowLeftMargin());
    EXPECT_TRUE(Settings::shouldColorSyntax());
    EXPECT_EQ(Settings::font().family(), "Courier");
    EXPECT_EQ(Settings::font().pointSizeF(), 14.0);
    EXPECT_EQ(Settings::selectedTabIndexForProjectTitle("Site"), 0);
}

TEST_F(SettingsTest, PersistentPreferencesLiveInThePreferencesFolder) {
    Settings::setShouldWrapLines(true);
    Settings::setDefaultTextEncoding(0x80000A02u); // larger than a signed 32-bit value
    Settings::setSyntaxTheme("Midnight");
    EXPECT_TRUE(Settings::shouldWrapLines());
    EXPECT_EQ(Settings::defaultTextEncoding(), 0x80000A02u);
    EXPECT_EQ(Settings::syntaxTheme(), "Midnight");

    QSettings stored(homePath("Preferences/Quorvel.conf"), QSettings::NativeFormat);
    EXPECT_EQ(stored.value("shouldWrapLines").toBool(), true);
    EXPECT_EQ(stored.value("syntaxTheme").toString(), "Midnight");

    // A value of the wrong kind reads as the default rather than garbage.
    stored.setValue("defaultTextEncoding", "not a number");
    stored.sync();
    EXPECT_EQ(Settings::defaultTextEncoding(), 0u);
}

TEST_F(SettingsTest, ProcessPreferencesChangeUntilExit) {
    Settings::setShouldShowFileBrowser(false);
    Settings::setShouldSyncNavigation(true);
    Settings::setShouldShowLeftMargin(false);
    Settings::setShouldColorSyntax(false);
    Settings::setFont(QFont("Serif", 30));
    Settings::setSelectedTabIndex(3, "Site");
    EXPECT_FALSE(Settings::shouldShowFileBrowser());
    EXPECT_TRUE(Settings::shouldSyncNavigation());
    EXPECT_FALSE(Settings::shouldShowLeftMargin());
    EXPECT_FALSE(Settings::shouldColorSyntax());
    EXPECT_EQ(Settings::font().family(), "Courier");
    EXPECT_EQ(Settings::selectedTabIndexForProjectTitle("Site"), 0);
    EXPECT_FALSE(QFile::exists(homePath("Preferences/Quorvel.conf")));

    // A new process starts from the launch values again.
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QUORVEL_SETTINGS_CHILD", "1");
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=SettingsChildProcess.*", "--gtest_also_run_disabled_tests"});
    ASSERT_TRUE(child.waitForFinished(-1));
    EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardOutput().toStdString();
    EXPECT_TRUE(child.readAllStandardOutput().contains("[  PASSED  ] 1 test"));
}

TEST(SettingsChildProcess, StartsFromLaunchValues) {
    if (qEnvironmentVariableIsEmpty("QUORVEL_SETTINGS_CHILD"))
        GTEST_SKIP() << "run by ProcessPreferencesChangeUntilExit in a fresh process";
    EXPECT_TRUE(Settings::shouldShowFileBrowser());
    EXPECT_FALSE(Settings::shouldSyncNavigation());
    EXPECT_TRUE(Settings::shouldShowLeftMargin());
    EXPECT_TRUE(Settings::shouldColorSyntax());
}

TEST_F(SettingsTest, TransferPathsAreRememberedForOneProject) {
    EXPECT_TRUE(Settings::localPathForProjectTitle("A").isNull());
    Settings::setLocalPath("/local/a", "A");
    EXPECT_EQ(Settings::localPathForProjectTitle("A"), "/local/a");
    EXPECT_TRUE(Settings::remotePathForProjectTitle("A").isNull());

    Settings::setRemotePath("/remote/b", "B");
    EXPECT_EQ(Settings::localPathForProjectTitle("B"), "/local/a");
    EXPECT_EQ(Settings::remotePathForProjectTitle("B"), "/remote/b");
    EXPECT_TRUE(Settings::localPathForProjectTitle("A").isNull());
    EXPECT_TRUE(Settings::localPathForProjectTitle("b").isNull());
}

TEST_F(SettingsTest, HistoryKeepsEachProjectsOpenDocuments) {
    EXPECT_FALSE(Settings::openDocumentPathsForProjectTitle("Never").has_value());

    struct Case {
        QString title;
        QStringList paths;
    };
    const Case cases[] = {
        {"Blog", {"index.html", "css/site.css"}},
        {"example.com", {"/js/app.js"}}, // a title with a dot is still one project
        {"a.b.c", {"x"}},
        {"Empty", {}},
        {"Ünïcödé ✓", {"päth/ñame.txt"}},
    };
    for (const Case& c : cases)
        Settings::setOpenDocumentPaths(c.paths, c.title);
    for (const Case& c : cases) {
        auto paths = Settings::openDocumentPathsForProjectTitle(c.title);
        ASSERT_TRUE(paths.has_value()) << c.title.toStdString();
        EXPECT_EQ(*paths, c.paths) << c.title.toStdString();
    }
    EXPECT_FALSE(Settings::openDocumentPathsForProjectTitle("example").has_value());
    EXPECT_FALSE(Settings::openDocumentPathsForProjectTitle("a").has_value());

    // A later write replaces the project's list whole and leaves the others.
    Settings::setOpenDocumentPaths({"about.html"}, "Blog");
    EXPECT_EQ(Settings::openDocumentPathsForProjectTitle("Blog"), QStringList{"about.html"});
    EXPECT_EQ(Settings::openDocumentPathsForProjectTitle("example.com"), QStringList{"/js/app.js"});

    // The file is a property list with the titles as keys under "Projects".
    QVariantMap root = PropertyList::readFile(homePath("Library/History.plist")).toMap();
    QVariantMap project = root.value("Projects").toMap().value("example.com").toMap();
    EXPECT_EQ(project.value("Open Documents").toStringList(), QStringList{"/js/app.js"});
    // Nothing is left beside it from the atomic write.
    EXPECT_EQ(QDir(homePath("Library")).entryList(QDir::Files), QStringList{"History.plist"});
}

TEST_F(SettingsTest, UnreadableHistoryCountsAsEmptyAndIsReplaced) {
    const QByteArray broken[] = {"garbage <plist", "",
                                 "<?xml version=\"1.0\"?><plist><array/></plist>",
                                 "<?xml version=\"1.0\"?><plist><dict><key>Projects</key>"
                                 "<string>oops</string></dict></plist>"};
    for (const QByteArray& content : broken) {
        QDir().mkpath(homePath("Library"));
        QFile file(homePath("Library/History.plist"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        EXPECT_FALSE(Settings::openDocumentPathsForProjectTitle("Site").has_value());
        Settings::setOpenDocumentPaths({"a.html"}, "Site");
        EXPECT_EQ(Settings::openDocumentPathsForProjectTitle("Site"), QStringList{"a.html"})
            << content.toStdString();
    }
}

TEST_F(SettingsTest, FoldersMoveBelowQuorvelHome) {
    const QString root = QFileInfo(home.path()).canonicalFilePath();
    EXPECT_EQ(Settings::pathToLibraryDirectory(), root + "/Library");
    EXPECT_EQ(Settings::pathToCacheDirectory(), root + "/Caches");
    EXPECT_EQ(Settings::pathToDocumentsDirectory(), root + "/Documents");
    EXPECT_EQ(Settings::pathToProjectsDirectory(), root + "/Library/Projects");
    EXPECT_EQ(Settings::pathToWebsiteThumbnailsCacheDirectory(),
              root + "/Caches/Website Thumbnails");
    EXPECT_TRUE(QFileInfo(root + "/Library/Projects").isDir());
    EXPECT_TRUE(QFileInfo(root + "/Caches/Website Thumbnails").isDir());

    // The temporary folder is private to the user, even when it was left open before.
    QDir().mkpath(root + "/tmp");
    ::chmod(QFile::encodeName(root + "/tmp").constData(), 0755);
    EXPECT_EQ(Settings::pathToTemporaryDirectory(), root + "/tmp");
    EXPECT_EQ(modeOf(root + "/tmp"), mode_t(0700));

    // Deleted folders come back at the next request.
    QDir(root + "/Library/Projects").removeRecursively();
    Settings::pathToProjectsDirectory();
    EXPECT_TRUE(QFileInfo(root + "/Library/Projects").isDir());
}

TEST_F(SettingsTest, FoldersFollowXdgWithoutQuorvelHome) {
    qunsetenv("QUORVEL_HOME");
    QTemporaryDir xdg;
    const QString root = xdg.path();
    struct Variable {
        const char* name;
        QString value;
    };
    const Variable variables[] = {{"XDG_DATA_HOME", root + "/data"},
                                  {"XDG_CACHE_HOME", root + "/cache"},
                                  {"XDG_CONFIG_HOME", root + "/config"},
                                  {"HOME", root + "/home"},
                                  {"TMPDIR", root + "/tmp"}};
    QList<QPair<const char*, QByteArray>> saved;
    for (const Variable& v : variables) {
        saved.append({v.name, qgetenv(v.name)});
        qputenv(v.name, v.value.toUtf8());
    }
    QDir().mkpath(root + "/tmp");

    EXPECT_EQ(Settings::pathToLibraryDirectory(), root + "/data/Quorvel");
    EXPECT_EQ(Settings::pathToCacheDirectory(), root + "/cache/Quorvel");
    EXPECT_EQ(Settings::pathToDocumentsDirectory(), root + "/home/Documents/Quorvel");
    const QString temporary = root + QString("/tmp/quorvel-%1").arg(::getuid());
    EXPECT_EQ(Settings::pathToTemporaryDirectory(), temporary);
    EXPECT_EQ(modeOf(temporary), mode_t(0700));

    // A name taken by a link in the shared temporary folder is not used.
    QDir(temporary).removeRecursively();
    QDir().mkpath(root + "/elsewhere");
    ASSERT_TRUE(QFile::link(root + "/elsewhere", temporary));
    const QString fallback = Settings::pathToTemporaryDirectory();
    EXPECT_NE(fallback, temporary);
    EXPECT_TRUE(fallback.startsWith(temporary + "-"));
    EXPECT_EQ(modeOf(fallback), mode_t(0700));

    Settings::setSyntaxTheme("Dusk");
    EXPECT_EQ(Settings::syntaxTheme(), "Dusk");
    Settings::userDefaults()->sync();
    EXPECT_TRUE(QFile::exists(root + "/config/Quorvel/Quorvel.conf"));

    for (const auto& [name, value] : saved) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
}

TEST_F(SettingsTest, EnsureExistenceCreatesFoldersAndLeavesWhatIsThere) {
    const QString nested = homePath("a/b/c");
    EXPECT_EQ(Settings::_ensureExistanceOfPath(nested), nested);
    EXPECT_TRUE(QFileInfo(nested).isDir());

    const QString file = homePath("plain.txt");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("keep me");
    f.close();
    EXPECT_EQ(Settings::_ensureExistanceOfPath(file), file);
    EXPECT_TRUE(QFileInfo(file).isFile());
    QFile check(file);
    ASSERT_TRUE(check.open(QIODevice::ReadOnly));
    EXPECT_EQ(check.readAll(), "keep me");
}

} // namespace
