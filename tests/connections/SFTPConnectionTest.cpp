#include "RemoteConnectionShared.h"
#include "TestServers.h"

#include "connections/SFTPConnection.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace remotetest;
using quorvel::test::ServerInfo;

namespace {

std::unique_ptr<SFTPConnection> connectionTo(const ServerInfo& server, const QString& knownHosts) {
    auto connection = std::make_unique<SFTPConnection>();
    connection->setScheme("sftp");
    connection->setHost(server.host);
    connection->setPort(server.port);
    connection->setUsername(server.user);
    connection->setPassword(server.password);
    connection->setKnownHostsPath(knownHosts);
    return connection;
}

// Files made here belong to root; the account must be able to change them.
void giveToAccount(const ServerInfo& server, const QString& path) {
    ASSERT_EQ(QProcess::execute("chown", {"-hR", server.user + ":" + server.user, path}), 0);
}

// Server paths are this machine's; the tests work in the account's home.
class SftpProtocol : public RemoteProtocol {
public:
    QString name() const override { return "Sftp"; }
    QString domain() const override { return "SFTP"; }
    QString sharedServer() const override { return "sshd"; }
    QString folderFor(const ServerInfo& server, const QString& name) const override {
        return server.root + "/" + name;
    }
    QString local(const ServerInfo&, const QString& path) const override { return path; }
    void handOver(const ServerInfo& server, const QString& localPath) const override {
        giveToAccount(server, localPath);
    }
    std::unique_ptr<RemoteConnection> connectionTo(const ServerInfo& server,
                                                   const QString& knownHosts) const override {
        return ::connectionTo(server, knownHosts);
    }
    QString privateServerKind() const override { return "sshd"; }
    QString storeInLog() const override { return "WRITE"; }
    bool createsFiles() const override { return false; }
};

const SftpProtocol sftpProtocol;
INSTANTIATE_TEST_SUITE_P(Sftp, RemoteConnectionTest, ::testing::Values(&sftpProtocol),
                         protocolName);

// Each test works in a folder of its own in the test account's home, and keeps its own
// known-hosts file.
class SftpTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto shared = quorvel::test::sharedServer("sshd");
        ASSERT_TRUE(shared) << "the sshd fixture did not run";
        server = *shared;
        ASSERT_TRUE(localDir.isValid());
        folder =
            server.root + "/" +
            QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name());
        QDir(folder).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(folder));
        giveToAccount(folder);
        connection = makeConnection();
    }

    std::unique_ptr<SFTPConnection> makeConnection() const {
        return connectionTo(server, knownHosts());
    }
    void giveToAccount(const QString& path) const { ::giveToAccount(server, path); }
    void makeFile(const QString& path, const QByteArray& contents) const {
        ASSERT_TRUE(writeFile(path, contents));
        giveToAccount(folder);
    }

    QString remote(const QString& name) const { return folder + "/" + name; }
    QString device(const QString& name) const { return localDir.filePath(name); }
    QString knownHosts() const { return localDir.filePath("known_hosts"); }
    qsizetype logMark() const { return server.readLog().size(); }
    QString logSince(qsizetype mark) const { return server.readLog().mid(mark); }
    QString hostKeyLine(const QString& keyFile) const {
        const QList<QByteArray> fields = readFile(keyFile).simplified().split(' ');
        return QStringLiteral("[%1]:%2 %3 %4")
            .arg(server.host, server.port, QString::fromLatin1(fields.value(0)),
                 QString::fromLatin1(fields.value(1)));
    }

    ServerInfo server;
    QString folder;
    QTemporaryDir localDir;
    std::unique_ptr<SFTPConnection> connection;
};

TEST_F(SftpTest, ConnectLearnsTheHomeFolderAndRecordsTheHostKey) {
    const qsizetype mark = server.readDaemonLog().size();
    Error error;
    ASSERT_TRUE(connection->connectError(&error)) << error.description.toStdString();
    EXPECT_EQ(remotepaths::trimmed(connection->entryPath()), server.root);
    EXPECT_EQ(readFile(knownHosts()).trimmed(), hostKeyLine(server.hostKey).toUtf8());
    EXPECT_FALSE(connection->transcript().contains(server.password));

    // One login serves the whole session.
    ASSERT_TRUE(writeFile(device("a.txt"), "a"));
    ASSERT_TRUE(connection->uploadFileFromPath(device("a.txt"), remote("a.txt"), &error));
    ASSERT_TRUE(connection->moveItemAtPath(remote("a.txt"), remote("b.txt"), &error));
    ASSERT_TRUE(connection->removeItemAtPath(remote("b.txt"), &error));
    EXPECT_EQ(server.readDaemonLog().mid(mark).count("Accepted password"), 1);

    // The recorded key lets the next connection in.
    auto again = makeConnection();
    ASSERT_TRUE(again->connectError(&error)) << error.description.toStdString();
    EXPECT_EQ(readFile(knownHosts()).trimmed(), hostKeyLine(server.hostKey).toUtf8());
}

TEST_F(SftpTest, ChangedHostKeyIsRefusedBeforeAnythingIsSent) {
    ASSERT_TRUE(writeFile(knownHosts(), hostKeyLine(server.otherHostKey).toUtf8() + "\n"));
    ASSERT_TRUE(writeFile(device("page.html"), "page"));
    const qsizetype mark = server.readDaemonLog().size();
    Error error;
    EXPECT_FALSE(connection->connectError(&error));
    EXPECT_EQ(error.domain, "SFTP");
    EXPECT_EQ(error.code, int(CURLE_PEER_FAILED_VERIFICATION));
    EXPECT_TRUE(error.description.contains(server.host)) << error.description.toStdString();
    EXPECT_FALSE(connection->uploadFileFromPath(device("page.html"), remote("page.html"), &error));
    EXPECT_EQ(error.code, int(CURLE_PEER_FAILED_VERIFICATION));
    EXPECT_FALSE(QFileInfo::exists(remote("page.html")));
    // The server never saw a password or a login.
    const QString log = server.readDaemonLog().mid(mark);
    EXPECT_FALSE(log.contains("password")) << log.toStdString();
    EXPECT_FALSE(log.contains("session opened")) << log.toStdString();
    // The file still holds the key the user trusted.
    EXPECT_EQ(readFile(knownHosts()).trimmed(), hostKeyLine(server.otherHostKey).toUtf8());
}

TEST_F(SftpTest, ListingsOfHomeRelativeAndEmptyFolders) {
    ASSERT_TRUE(QDir().mkpath(remote("empty")));
    makeFile(remote("inside/file.txt"), "12345");
    const QString name = QFileInfo(folder).fileName();
    Error error;
    auto home = connection->contentsOfDirectoryAtPath("", &error);
    ASSERT_TRUE(home) << error.description.toStdString();
    EXPECT_TRUE(names(*home).contains(name));

    auto relative = connection->contentsOfDirectoryAtPath(name + "/inside", &error);
    ASSERT_TRUE(relative) << error.description.toStdString();
    ASSERT_EQ(relative->size(), 1);
    EXPECT_EQ(relative->at(0).name, "file.txt");
    EXPECT_EQ(relative->at(0).size, 5);
    EXPECT_EQ(relative->at(0).type, "file");

    auto empty = connection->contentsOfDirectoryAtPath(remote("empty"), &error);
    ASSERT_TRUE(empty) << error.description.toStdString();
    EXPECT_TRUE(empty->isEmpty());

    Error untouched = untouchedMarker();
    EXPECT_FALSE(connection->attributesOfItemAtPath(remote("inside/none.txt"), &untouched));
    EXPECT_EQ(untouched, untouchedMarker());
}

TEST_F(SftpTest, DirectoriesAndTheUnsupportedCreateFile) {
    const qsizetype mark = logMark();
    Error error;
    EXPECT_TRUE(connection->createDirectoryAtPath(remote("made"), &error))
        << error.description.toStdString();
    EXPECT_TRUE(connection->createDirectoryAtPath(remote("made"), &error))
        << error.description.toStdString();
    EXPECT_TRUE(QFileInfo(remote("made")).isDir());
    EXPECT_EQ(logSince(mark).count("mkdir name"), 1);

    RecordingDelegate delegate;
    connection->setDelegate(&delegate);
    EXPECT_FALSE(connection->createFileAtPath(remote("new.txt"), QByteArray("x"), &error));
    EXPECT_EQ(error, (Error{"SFTP", 1003, "Operation not supported."}));
    EXPECT_FALSE(QFileInfo::exists(remote("new.txt")));
    EXPECT_TRUE(delegate.calls.isEmpty());
}

TEST_F(SftpTest, UploadOntoAnExistingFileRemovesItOnlyAfterTheData) {
    makeFile(remote("page.html"), "old");
    ASSERT_TRUE(writeFile(device("page.html"), "new contents"));
    const qsizetype mark = logMark();
    Error error;
    ASSERT_TRUE(connection->uploadFileFromPath(device("page.html"), remote("page.html"), &error))
        << error.description.toStdString();
    EXPECT_EQ(readFile(remote("page.html")), "new contents");
    EXPECT_EQ(sortedEntries(folder), QStringList({"page.html"}));

    // URLs of absolute paths give the server "//home/...".
    const QString log = logSince(mark).replace("\"//", "\"/");
    const auto written = QRegularExpression("close \"" + QRegularExpression::escape(folder) +
                                            "/(\\d+)\\.html\" bytes read 0 written 12")
                             .match(log);
    ASSERT_TRUE(written.hasMatch()) << log.toStdString();
    const qsizetype removedAt = log.indexOf("remove name \"" + remote("page.html") + "\"");
    const qsizetype renamedAt =
        log.indexOf("rename old \"" + remote(written.captured(1) + ".html") + "\"");
    EXPECT_LT(written.capturedStart(), removedAt) << log.toStdString();
    EXPECT_LT(removedAt, renamedAt) << log.toStdString();
}

TEST_F(SftpTest, NamesThatAreNotUtf8KeepTheirBytes) {
    const QByteArray rawName = QFile::encodeName(folder) + "/caf\xe9"
                                                           " 1.txt";
    const int fd = ::open(rawName.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "latin", 5), 5);
    ::close(fd);
    giveToAccount(folder);

    Error error;
    auto contents = connection->contentsOfDirectoryAtPath(folder, &error);
    ASSERT_TRUE(contents) << error.description.toStdString();
    ASSERT_EQ(contents->size(), 1);
    const QString name = contents->at(0).name;
    EXPECT_TRUE(name.startsWith("caf"));
    EXPECT_TRUE(name.endsWith(" 1.txt"));

    ASSERT_TRUE(connection->downloadFileFromPath(remote(name), device("latin.txt"), &error))
        << error.description.toStdString();
    EXPECT_EQ(readFile(device("latin.txt")), "latin");
    ASSERT_TRUE(connection->moveItemAtPath(remote(name), remote("utf8.txt"), &error))
        << error.description.toStdString();
    EXPECT_EQ(readFile(remote("utf8.txt")), "latin");
    EXPECT_NE(::access(rawName.constData(), F_OK), 0);
}

// Removing an entry that is not there succeeds without saying it was removed.
TEST_F(SftpTest, RemovingAMissingEntryDoesNotReportItRemoved) {
    RecordingDelegate delegate;
    connection->setDelegate(&delegate);
    Error error;
    EXPECT_TRUE(connection->removeItemAtPath(remote("never"), &error));
    EXPECT_FALSE(delegate.calls.contains("didRemove " + remote("never")));
}

TEST_F(SftpTest, RelativeDownloadPathIsInsideTheHomeFolder) {
    makeFile(remote("remote.txt"), "from the server");
    Error error;
    const QString relative = QFileInfo(folder).fileName() + "/remote.txt";
    ASSERT_TRUE(connection->downloadFileFromPath(relative, device("relative.txt"), &error))
        << error.description.toStdString();
    EXPECT_EQ(readFile(device("relative.txt")), "from the server");
}

} // namespace
