#include "projects/KeychainAccess.h"
#include "platform/SecureStore.h"
#include "projects/ProjectStore.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// Runs against a private gnome-keyring-daemon (tests/servers/keyring-session.sh).
namespace {

int itemCount(const QString& service, const QString& account) {
    int count = -1;
    EXPECT_EQ(SecureStore::countItems(service, account, &count), 0);
    return count;
}

// Every error of this class has the odd domain and nothing but a code.
void expectError(const Error& error, int code) {
    EXPECT_EQ(error.domain, "    UtilsErrorDomain");
    EXPECT_EQ(error.code, code);
    EXPECT_TRUE(error.description.isEmpty());
}

TEST(KeychainAccess, MissingItemsReadAsNoneAndCannotBeDeleted) {
    Error error{"stale", 1, "left from before"};
    EXPECT_TRUE(KeychainAccess::getPasswordForUsername("nobody", "ftp://never.example:21/", &error)
                    .isNull());
    EXPECT_EQ(error, Error{}); // cleared, not left as it was

    KeychainAccess::deleteItemForUsername("nobody", "ftp://never.example:21/", &error);
    expectError(error, -25300);
}

TEST(KeychainAccess, StoredPasswordsComeBackAndFollowUpdateExisting) {
    const QString service = "sftp://host.example:22/www";
    struct Step {
        const char* what;
        QString password;
        bool updateExisting;
        QString expected;
    };
    const Step steps[] = {
        {"first store", "pässwörd ✓", false, "pässwörd ✓"},
        {"same again", "pässwörd ✓", false, "pässwörd ✓"},
        {"another without update", "other", false, "pässwörd ✓"},
        {"same with update", "pässwörd ✓", true, "pässwörd ✓"},
        {"another with update", "new secret", true, "new secret"},
        {"empty with update", "", true, ""},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        Error error{"stale", 1, ""};
        KeychainAccess::storeUsername("anna", step.password, service, step.updateExisting, &error);
        EXPECT_EQ(error, Error{});
        QString password = KeychainAccess::getPasswordForUsername("anna", service, &error);
        EXPECT_EQ(error, Error{});
        EXPECT_FALSE(password.isNull());
        EXPECT_EQ(password, step.expected);
        EXPECT_EQ(itemCount(service, "anna"), 1);
    }
    // Other accounts of the same service are other items.
    EXPECT_TRUE(KeychainAccess::getPasswordForUsername("bert", service).isNull());

    Error error;
    KeychainAccess::deleteItemForUsername("anna", service, &error);
    EXPECT_EQ(error, Error{});
    EXPECT_TRUE(KeychainAccess::getPasswordForUsername("anna", service, &error).isNull());
    EXPECT_EQ(error, Error{});
    EXPECT_EQ(itemCount(service, "anna"), 0);
}

TEST(KeychainAccess, UnreadablePasswordIsReportedAndReplacedOnStore) {
    const QString service = "ftp://damaged.example:21/";
    ASSERT_EQ(SecureStore::addItem(service, "anna", service, QByteArray("\xff\xfe\xc3", 3)), 0);
    Error error;
    EXPECT_TRUE(KeychainAccess::getPasswordForUsername("anna", service, &error).isNull());
    expectError(error, -1999);

    // Even without updateExisting the damaged item gives way to the new password.
    KeychainAccess::storeUsername("anna", "fresh", service, false, &error);
    EXPECT_EQ(error, Error{});
    EXPECT_EQ(KeychainAccess::getPasswordForUsername("anna", service, &error), "fresh");
    EXPECT_EQ(itemCount(service, "anna"), 1);
}

TEST(KeychainAccess, MissingArgumentsAreRefused) {
    const QString none;
    struct Case {
        const char* what;
        std::function<void(Error*)> call;
    };
    const Case cases[] = {
        {"read without user",
         [&](Error* e) { KeychainAccess::getPasswordForUsername(none, "s", e); }},
        {"read without service",
         [&](Error* e) { KeychainAccess::getPasswordForUsername("u", none, e); }},
        {"store without user",
         [&](Error* e) { KeychainAccess::storeUsername(none, "p", "s", true, e); }},
        {"store without password",
         [&](Error* e) { KeychainAccess::storeUsername("u", none, "s", true, e); }},
        {"store without service",
         [&](Error* e) { KeychainAccess::storeUsername("u", "p", none, true, e); }},
        {"delete without user",
         [&](Error* e) { KeychainAccess::deleteItemForUsername(none, "s", e); }},
        {"delete without service",
         [&](Error* e) { KeychainAccess::deleteItemForUsername("u", none, e); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Error error;
        c.call(&error);
        expectError(error, -2000);
        c.call(nullptr); // no out-parameter: nothing to fill, nothing breaks
    }
    EXPECT_EQ(itemCount("s", "u"), 0);
    // An empty user name is a value, not a missing one.
    Error error;
    KeychainAccess::storeUsername("", "p", "ftp://anonymous.example:21", false, &error);
    EXPECT_EQ(error, Error{});
    EXPECT_EQ(KeychainAccess::getPasswordForUsername("", "ftp://anonymous.example:21"), "p");
}

TEST(KeychainAccess, ServiceNamesOfServerRecordsKeepTheirItemsApart) {
    QTemporaryDir dir;
    ProjectStore store(dir.filePath("Projects.sqlite"));
    auto record = [&](const QString& port, const QString& path) {
        Connection* connection = store.insertNewConnection();
        connection->setScheme("ftp");
        connection->setHost("ftp.example.org");
        connection->setPort(port);
        connection->setUsername("user");
        connection->setPath(path);
        return connection;
    };
    Connection* standard = record("21", "/www");
    Connection* otherPort = record("2121", "/www");
    Connection* noPort = record(QString(), "/www");
    Connection* noPath = record("21", QString());
    EXPECT_EQ(standard->serviceName(), "ftp://ftp.example.org:21/www");
    EXPECT_EQ(otherPort->serviceName(), "ftp://ftp.example.org:2121/www");
    EXPECT_EQ(noPort->serviceName(), "ftp://ftp.example.org:(null)/www");
    EXPECT_EQ(noPath->serviceName(), "ftp://ftp.example.org:21(null)");

    const QList<QPair<Connection*, QString>> passwords = {
        {standard, "one"}, {otherPort, "two"}, {noPort, "three"}, {noPath, "four"}};
    for (const auto& [connection, password] : passwords)
        KeychainAccess::storeUsername(connection->username(), password, connection->serviceName(),
                                      false);
    for (const auto& [connection, password] : passwords) {
        Error error;
        EXPECT_EQ(KeychainAccess::getPasswordForUsername(connection->username(),
                                                         connection->serviceName(), &error),
                  password);
        EXPECT_EQ(error, Error{});
    }
}

} // namespace

#include "core/Settings.h"
#include "projects/ProjectConnections.h"

#include <QFileInfo>

namespace {

class ProjectConnectionsTest : public ::testing::Test {
protected:
    void SetUp() override { qputenv("QUORVEL_HOME", home.path().toUtf8()); }
    void TearDown() override { qunsetenv("QUORVEL_HOME"); }
    Project* project(const QString& title, const QString& scheme, const QString& port) {
        Project* p = store.insertNewProject();
        p->setTitle(title);
        Connection* c = store.insertNewConnection();
        c->setScheme(scheme);
        c->setHost("files.example.org");
        c->setPort(port);
        c->setUsername("deploy");
        c->setPath("www");
        p->addConnectionsObject(c);
        return p;
    }
    QTemporaryDir home;
    ProjectStore store{home.filePath("Projects.sqlite")};
};

TEST_F(ProjectConnectionsTest, LocalFolderAndServerWithItsStoredPassword) {
    Project* site = project("example.com", "sftp", "2222");
    KeychainAccess::storeUsername("deploy", "s3cret", site->connections().first()->serviceName(),
                                  false);

    ProjectConnections connections = ProjectConnections::composeForProject(site);
    const QString folder = Settings::pathToProjectsDirectory() + "/example.com";
    EXPECT_EQ(connections.projectPath, folder);
    EXPECT_TRUE(QFileInfo(folder).isDir());

    ASSERT_TRUE(connections.localConnection);
    EXPECT_EQ(connections.localConnection->scheme(), "file");
    EXPECT_EQ(connections.localConnection->host(), "localhost");
    EXPECT_TRUE(connections.localConnection->port().isNull());
    EXPECT_TRUE(connections.localConnection->username().isNull());
    EXPECT_TRUE(connections.localConnection->password().isNull());
    EXPECT_EQ(connections.localConnection->basePath(), folder);

    ASSERT_TRUE(connections.remoteConnection);
    EXPECT_EQ(connections.remoteConnection->scheme(), "sftp");
    EXPECT_EQ(connections.remoteConnection->host(), "files.example.org");
    EXPECT_EQ(connections.remoteConnection->port(), "2222");
    EXPECT_EQ(connections.remoteConnection->username(), "deploy");
    EXPECT_EQ(connections.remoteConnection->password(), "s3cret");
    EXPECT_EQ(connections.remoteConnection->basePath(), "www");
}

TEST_F(ProjectConnectionsTest, MissingPasswordUnknownSchemeAndOddTitles) {
    ProjectConnections noPassword =
        ProjectConnections::composeForProject(project("Blog", "ftp", "21"));
    ASSERT_TRUE(noPassword.remoteConnection);
    EXPECT_TRUE(noPassword.remoteConnection->password().isNull());

    ProjectConnections unknown =
        ProjectConnections::composeForProject(project("Gopher", "gopher", "70"));
    EXPECT_TRUE(unknown.localConnection);
    EXPECT_FALSE(unknown.remoteConnection);

    Project* bare = store.insertNewProject();
    bare->setTitle("Bare");
    ProjectConnections noServer = ProjectConnections::composeForProject(bare);
    EXPECT_TRUE(noServer.localConnection);
    EXPECT_FALSE(noServer.remoteConnection);

    // Every title stays one folder directly below the projects folder.
    const QString projects = Settings::pathToProjectsDirectory();
    for (const QString& title :
         {QString("../../escape"), QString(".."), QString("."), QString(""), QString("a/b")}) {
        Project* odd = store.insertNewProject();
        odd->setTitle(title);
        const QString path = ProjectConnections::composeForProject(odd).projectPath;
        EXPECT_EQ(QFileInfo(path).absolutePath(), projects) << title.toStdString();
        EXPECT_TRUE(QFileInfo(path).isDir()) << title.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(home.filePath("escape")));
}

} // namespace
