#include "app/Launcher.h"
#include "app/QuorvelAppDelegate.h"
#include "core/NavigationBar.h"
#include "core/Settings.h"
#include "platform/AlertView.h"
#include "platform/NavigationController.h"
#include "platform/Window.h"
#include "projects/ProjectStore.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

class RecordingDelegate : public QuorvelAppDelegate {
public:
    struct WizardCall {
        QString basePath;
        QStringList items;
    };
    QList<WizardCall> wizardCalls;

protected:
    ViewController* makeImportWizard(const std::shared_ptr<AbstractConnectionProtocol>& connection,
                                     const QStringList& items) override {
        wizardCalls.append({connection ? connection->basePath() : QString(), items});
        auto* wizard = new ViewController;
        wizard->setTitle("Import " + items.join(", "));
        return wizard;
    }
};

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        qputenv("QUORVEL_HOME", home.path().toUtf8());
        ProjectStore::resetSharedInstance();
    }
    void TearDown() override {
        ProjectStore::resetSharedInstance();
        qunsetenv("QUORVEL_HOME");
    }
    QString path(const QString& relative) const { return home.path() + "/" + relative; }
    static void write(const QString& file, const QByteArray& data) {
        QDir().mkpath(QFileInfo(file).path());
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(data);
    }
    static QByteArray read(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static QString storedVersion() {
        QVariant value = Settings::userDefaults()->value("LastKnownUpdate");
        return value.isValid() ? value.toString() : QString();
    }

    QTemporaryDir home;
};

TEST_F(AppTest, LaunchShowsTheProjectsScreenInAPortraitWindow) {
    NavigationBar::installAsDefault();
    RecordingDelegate delegate;
    EXPECT_TRUE(delegate.applicationDidFinishLaunchingWithOptions(qApp, std::nullopt));
    Window* window = delegate.window();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->size(), QSize(768, 1024));
    ASSERT_EQ(delegate.navigationController()->viewControllers().size(), 1);
    EXPECT_EQ(delegate.navigationController()->topViewController()->title(), "Projects");
    EXPECT_EQ(delegate.navigationController()->view()->window(), window);
    EXPECT_FALSE(delegate.launchOptions().has_value());
    EXPECT_TRUE(delegate.wizardCalls.isEmpty());

    QTest::qWait(50); // let the first layout and paint settle
    const QString shot = quorvel::test::outputDirectory() + "/app-launch.png";
    ASSERT_TRUE(window->grab().save(shot));
}

TEST_F(AppTest, OwnSchemeURLs) {
    RecordingDelegate delegate;
    struct Case {
        QString url;
        bool answer;
        QString stored; // null: nothing stored
    };
    const Case cases[] = {
        {"", false, QString()},
        {"https://example.org/?setVersion=9", true, QString()},
        {"file:///tmp/x.html", true, QString()},
        {"quorvel://other?setVersion=2.0", true, QString()},
        {"quorvel://debug", true, QString()},
        {"quorvel://debug?setversion=1", true, QString()},
        {"quorvel://debug?setVersion=1.0.3", true, "1.0.3"},
        {"quorvel://debug?a=1&setVersion=x&setVersion=y", true, "y"},
        {"quorvel://debug?a=1&setVersion=x&setVersion=y", true, "y"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url.toStdString());
        Settings::userDefaults()->remove("LastKnownUpdate");
        EXPECT_EQ(delegate.applicationHandleOpenURL(qApp, QUrl(c.url)), c.answer);
        EXPECT_EQ(storedVersion(), c.stored);
        EXPECT_EQ(storedVersion().isNull(), c.stored.isNull());
    }
    // A URL without the variable leaves a stored version alone.
    delegate.applicationHandleOpenURL(qApp, QUrl("quorvel://debug?setVersion=1.0.3"));
    delegate.applicationHandleOpenURL(qApp, QUrl("quorvel://debug?other=1"));
    EXPECT_EQ(storedVersion(), "1.0.3");
    // It is on disk at once, for the next launch.
    QSettings onDisk(path("Preferences/Quorvel.conf"), QSettings::NativeFormat);
    EXPECT_EQ(onDisk.value("LastKnownUpdate").toString(), "1.0.3");
}

TEST_F(AppTest, OwnSchemeLaunchURLIsOnlyRemembered) {
    RecordingDelegate delegate;
    const QUrl url("quorvel://debug?setVersion=1.0.3");
    delegate.applicationDidFinishLaunchingWithOptions(
        qApp, QVariantMap{{QuorvelAppDelegate::launchOptionsURLKey, url}});
    EXPECT_TRUE(delegate.wizardCalls.isEmpty());
    EXPECT_FALSE(delegate.launchOptions().has_value());
    EXPECT_EQ(QDir(Settings::pathToTemporaryDirectory()).entryList(QDir::Files), QStringList{});
}

TEST_F(AppTest, HandedOverDocumentIsCopiedAndItsInboxCopyRemoved) {
    // The user's own file, handed over as the launcher does.
    const QString userFile = path("work/site/index.html");
    write(userFile, "<html>hello</html>");
    const auto url = Launcher::urlForArgument(userFile);
    ASSERT_TRUE(url && url->isLocalFile());
    const QString inboxCopy = url->toLocalFile();
    EXPECT_EQ(QFileInfo(inboxCopy).absolutePath(), Settings::pathToDocumentsDirectory() + "/Inbox");

    RecordingDelegate delegate;
    delegate.applicationDidFinishLaunchingWithOptions(
        qApp, QVariantMap{{QuorvelAppDelegate::launchOptionsURLKey, *url}});
    const QString temporary = Settings::pathToTemporaryDirectory();
    EXPECT_EQ(read(temporary + "/index.html"), "<html>hello</html>");
    ASSERT_EQ(delegate.wizardCalls.size(), 1);
    EXPECT_EQ(delegate.wizardCalls[0].basePath, temporary);
    EXPECT_EQ(delegate.wizardCalls[0].items, QStringList{"index.html"});
    // The wizard comes up in a tinted form sheet over the projects screen.
    ViewController* projects = delegate.navigationController()->topViewController();
    auto* sheet = qobject_cast<NavigationController*>(projects->modalViewController());
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->modalPresentationStyle(), ModalPresentationStyle::FormSheet);
    EXPECT_EQ(sheet->modalTransitionStyle(), ModalTransitionStyle::CrossDissolve);
    EXPECT_EQ(sheet->navigationBar()->tintColor(), QColor::fromRgbF(0.46f, 0.53f, 0.60f, 1.0f));
    EXPECT_EQ(sheet->topViewController()->title(), "Import index.html");
    QTest::qWait(400); // past the sheet's fade-in
    ASSERT_TRUE(
        delegate.window()->grab().save(quorvel::test::outputDirectory() + "/app-handed-over.png"));
    EXPECT_FALSE(delegate.launchOptions().has_value());
    EXPECT_FALSE(QFileInfo::exists(inboxCopy));
    EXPECT_FALSE(QFileInfo::exists(Settings::pathToDocumentsDirectory() + "/Inbox"));
    // The user's file and its folder are untouched.
    EXPECT_EQ(read(userFile), "<html>hello</html>");

    // A file handed over from any other folder is copied, and its folder left alone.
    write(path("work/other/style.css"), "a{}");
    write(temporary + "/style.css", "stale");
    delegate.applicationDidReceiveURLFromAnotherStart(
        qApp, QUrl::fromLocalFile(path("work/other/style.css")));
    EXPECT_EQ(read(temporary + "/style.css"), "a{}");
    EXPECT_EQ(read(path("work/other/style.css")), "a{}");
    ASSERT_EQ(delegate.wizardCalls.size(), 2);
    EXPECT_EQ(delegate.wizardCalls[1].items, QStringList{"style.css"});
    // The second wizard is stacked over the first rather than dropped.
    ASSERT_NE(sheet->modalViewController(), nullptr);
    EXPECT_EQ(qobject_cast<NavigationController*>(sheet->modalViewController())
                  ->topViewController()
                  ->title(),
              "Import style.css");
    EXPECT_EQ(QDir(temporary).entryList(QDir::Files), (QStringList{"index.html", "style.css"}));
    // The temporary folder is the user's alone.
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(temporary).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(AppTest, InboxKeepsOtherWaitingDocuments) {
    const auto first =
        Launcher::urlForArgument((write(path("a/doc.txt"), "one"), path("a/doc.txt")));
    const auto second =
        Launcher::urlForArgument((write(path("b/doc.txt"), "two"), path("b/doc.txt")));
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second); // same name, two copies
    EXPECT_EQ(QFileInfo(second->toLocalFile()).fileName(), "doc-1.txt");

    RecordingDelegate delegate;
    delegate.applicationDidFinishLaunchingWithOptions(
        qApp, QVariantMap{{QuorvelAppDelegate::launchOptionsURLKey, *first}});
    EXPECT_EQ(read(second->toLocalFile()), "two");
    delegate.applicationDidReceiveURLFromAnotherStart(qApp, *second);
    EXPECT_EQ(read(Settings::pathToTemporaryDirectory() + "/doc-1.txt"), "two");
    EXPECT_FALSE(QFileInfo::exists(Settings::pathToDocumentsDirectory() + "/Inbox"));
}

TEST_F(AppTest, LauncherArguments) {
    write(path("site/page.html"), "p");
    struct Case {
        QString argument;
        bool accepted;
        QString scheme;
    };
    const Case cases[] = {
        {"quorvel://debug?setVersion=1.0.3", true, "quorvel"},
        {"https://example.org/", true, "https"},
        {path("site/page.html"), true, "file"},
        {QUrl::fromLocalFile(path("site/page.html")).toString(), true, "file"},
        {path("site/missing.html"), false, ""},
        {path("site"), false, ""},
        {"relative-missing.txt", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument.toStdString());
        QString message;
        auto url = Launcher::urlForArgument(c.argument, &message);
        EXPECT_EQ(url.has_value(), c.accepted);
        if (url)
            EXPECT_EQ(url->scheme(), c.scheme);
        else
            EXPECT_FALSE(message.isEmpty());
    }
    EXPECT_EQ(read(path("site/page.html")), "p");
}

TEST_F(AppTest, InstanceChannelCarriesURLs) {
    EXPECT_FALSE(InstanceChannel::sendToRunningInstance(QUrl("quorvel://debug")));
    InstanceChannel channel;
    ASSERT_TRUE(channel.listen());
    QSignalSpy urls(&channel, &InstanceChannel::urlReceived);
    QSignalSpy activations(&channel, &InstanceChannel::activationRequested);
    const QUrl sent("quorvel://debug?a=1&setVersion=x%20y&setVersion=y");
    ASSERT_TRUE(InstanceChannel::sendToRunningInstance(sent));
    ASSERT_TRUE(InstanceChannel::sendToRunningInstance(QUrl()));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return urls.size() == 1 && activations.size() == 1; }, 30000));
    ASSERT_EQ(urls.size(), 1);
    EXPECT_EQ(urls[0][0].toUrl(), sent);
    EXPECT_EQ(activations.size(), 1);
}

TEST_F(AppTest, UnusableProjectDatabaseIsReportedAndLeftAlone) {
    const QByteArray garbage = "not a database, but the user's data all the same\n";
    write(path("Library/Projects.sqlite"), garbage);
    AlertView* alert = nullptr;
    auto problem = QuorvelAppDelegate::checkProjectStore(&alert);
    ASSERT_TRUE(problem.has_value());
    EXPECT_TRUE(problem->contains(path("Library/Projects.sqlite")));
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), "Error");
    EXPECT_EQ(alert->message(), *problem);
    EXPECT_EQ(alert->numberOfButtons(), 1);
    EXPECT_EQ(alert->buttonTitleAtIndex(0), "OK");
    ASSERT_TRUE(alert->isVisible());
    QPointer<QWidget> window = Window::keyWindow();
    ASSERT_TRUE(window && window->isVisible());
    QTest::qWait(300); // past the alert's fade-in
    ASSERT_TRUE(window->grab().save(quorvel::test::outputDirectory() + "/app-database-error.png"));
    alert->clickButtonAtIndex(0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window || !window->isVisible(); }, 30000));
    EXPECT_EQ(read(path("Library/Projects.sqlite")), garbage);

    ProjectStore::resetSharedInstance();
    QFile::remove(path("Library/Projects.sqlite"));
    EXPECT_FALSE(QuorvelAppDelegate::checkProjectStore().has_value());
}

} // namespace
