#include "RemoteConnectionShared.h"
#include "TestServers.h"

#include "connections/FTPConnection.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace remotetest;
using quorvel::test::PrivateServer;
using quorvel::test::ServerInfo;

namespace {

std::unique_ptr<FTPConnection> connectionTo(const ServerInfo& server) {
    auto connection = std::make_unique<FTPConnection>();
    connection->setScheme("ftp");
    connection->setHost(server.host);
    connection->setPort(server.port);
    connection->setUsername(server.user);
    connection->setPassword(server.password);
    return connection;
}

// The account starts in the server's root; the tests' files lie below it on this machine.
class FtpProtocol : public RemoteProtocol {
public:
    QString name() const override { return "Ftp"; }
    QString domain() const override { return "FTP"; }
    QString sharedServer() const override { return "ftp"; }
    QString folderFor(const ServerInfo&, const QString& name) const override { return "/" + name; }
    QString local(const ServerInfo& server, const QString& path) const override {
        return server.root + path;
    }
    std::unique_ptr<RemoteConnection> connectionTo(const ServerInfo& server,
                                                   const QString&) const override {
        return ::connectionTo(server);
    }
    QString privateServerKind() const override { return "ftp"; }
    QString storeInLog() const override { return "STOR"; }
    bool createsFiles() const override { return true; }
};

const FtpProtocol ftpProtocol;
INSTANTIATE_TEST_SUITE_P(Ftp, RemoteConnectionTest, ::testing::Values(&ftpProtocol), protocolName);

// Each test works in a folder of its own below the shared server's root.
class FtpTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto shared = quorvel::test::sharedServer("ftp");
        ASSERT_TRUE(shared) << "the FTP server fixture did not run";
        server = *shared;
        folder = "/" + QString::fromLatin1(
                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        QDir(local(folder)).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(local(folder)));
        connection = connectionTo(server);
        ASSERT_TRUE(localDir.isValid());
    }

    // Where a server path lies on this machine.
    QString local(const QString& path) const { return server.root + path; }
    QString remote(const QString& name) const { return folder + "/" + name; }
    qsizetype logMark() const { return server.readLog().size(); }
    QString logSince(qsizetype mark) const { return server.readLog().mid(mark); }

    ServerInfo server;
    QString folder;
    std::unique_ptr<FTPConnection> connection;
    QString device(const QString& name) const { return localDir.filePath(name); }

    QTemporaryDir localDir;
};

TEST_F(FtpTest, ConnectLearnsTheLoginFolderAndOneLoginServesTheSession) {
    const qsizetype mark = logMark();
    Error error;
    ASSERT_TRUE(connection->connectError(&error)) << error.description.toStdString();
    EXPECT_EQ(connection->entryPath(), "/");
    EXPECT_FALSE(connection->shouldUseActiveMode());

    ASSERT_TRUE(writeFile(local(remote("a.txt")), "alpha"));
    ASSERT_TRUE(connection->contentsOfDirectoryAtPath(folder));
    ASSERT_TRUE(connection->createDirectoryAtPath(remote("sub")));
    ASSERT_TRUE(connection->moveItemAtPath(remote("a.txt"), remote("b.txt")));
    ASSERT_TRUE(connection->removeItemAtPath(remote("b.txt")));

    const QString log = logSince(mark);
    EXPECT_EQ(log.count(QRegularExpression("^USER ", QRegularExpression::MultilineOption)), 1)
        << log.toStdString();
    // The password never reaches the transcript.
    EXPECT_TRUE(connection->transcript().contains("> PASS ****"));
    EXPECT_FALSE(connection->transcript().contains(server.password));
}

TEST_F(FtpTest, ListingGivesRecordsAndEmptyFolderGivesEmptyList) {
    ASSERT_TRUE(QDir().mkpath(local(remote("empty"))));
    ASSERT_TRUE(QDir().mkpath(local(remote("dir"))));
    ASSERT_TRUE(writeFile(local(remote("file.html")), QByteArray(1234, 'x')));
    ASSERT_TRUE(QFile::link("dir", local(remote("link"))));

    auto empty = connection->contentsOfDirectoryAtPath(remote("empty"));
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->isEmpty());

    RecordingDelegate delegate;
    connection->setDelegate(&delegate);
    Error error;
    auto contents = connection->contentsOfDirectoryAtPath(folder, &error);
    ASSERT_TRUE(contents) << error.description.toStdString();
    EXPECT_EQ(names(*contents), QStringList({"dir", "empty", "file.html", "link"}));
    for (const ConnectionItemAttributes& record : *contents) {
        SCOPED_TRACE(record.name.toStdString());
        if (record.name == "file.html") {
            EXPECT_EQ(record.type, "file");
            EXPECT_EQ(record.size, 1234);
            EXPECT_TRUE(record.mdate);
            EXPECT_FALSE(record.isLink);
        } else if (record.name == "link") {
            EXPECT_EQ(record.type, "directory");
            EXPECT_TRUE(record.isLink);
            EXPECT_TRUE(record.link); // pyftpdlib shows links as lrwxrwxrwx
        } else {
            EXPECT_EQ(record.type, "directory");
            EXPECT_FALSE(record.isLink);
        }
    }
    EXPECT_EQ(delegate.calls, QStringList({"willList " + folder, "didList " + folder}));
}

TEST_F(FtpTest, AttributesOfMissingEntryGiveNoneAndLeaveTheErrorAlone) {
    ASSERT_TRUE(writeFile(local(remote("here.txt")), "1"));
    Error error = untouchedMarker();
    EXPECT_FALSE(connection->attributesOfItemAtPath(remote("gone.txt"), &error));
    EXPECT_EQ(error, untouchedMarker());

    auto found = connection->attributesOfItemAtPath(remote("here.txt"), &error);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->name, "here.txt");
    EXPECT_EQ(found->size, 1);
}

TEST_F(FtpTest, CreatingADirectoryTwiceSendsOneMkd) {
    const qsizetype mark = logMark();
    RecordingDelegate delegate;
    connection->setDelegate(&delegate);
    EXPECT_TRUE(connection->createDirectoryAtPath(remote("made")));
    EXPECT_TRUE(connection->createDirectoryAtPath(remote("made")));
    EXPECT_TRUE(QFileInfo(local(remote("made"))).isDir());
    EXPECT_EQ(logSince(mark).count("MKD "), 1);
    EXPECT_EQ(delegate.calls.count("didCreateDirectory " + remote("made")), 2);
}

TEST_F(FtpTest, UploadOntoAnExistingFileReplacesItOnlyAfterTheData) {
    ASSERT_TRUE(writeFile(local(remote("page.html")), "old"));
    ASSERT_TRUE(writeFile(device("page.html"), "new contents"));
    const qsizetype mark = logMark();
    RecordingDelegate delegate;
    connection->setDelegate(&delegate);
    Error error;
    ASSERT_TRUE(connection->uploadFileFromPath(device("page.html"), remote("page.html"), &error))
        << error.description.toStdString();
    EXPECT_EQ(readFile(local(remote("page.html"))), "new contents");
    EXPECT_EQ(sortedEntries(local(folder)), QStringList({"page.html"}));
    EXPECT_TRUE(delegate.calls.contains("didCreateFile " + remote("page.html") + " none"));

    // The data goes to a temporary name; the old file is deleted after it, then the rename.
    const QString log = logSince(mark);
    const QRegularExpression stor("^STOR (\\d+)\\.html$", QRegularExpression::MultilineOption);
    const auto match = stor.match(log);
    ASSERT_TRUE(match.hasMatch()) << log.toStdString();
    const qsizetype storAt = match.capturedStart();
    const qsizetype deleAt = log.indexOf("DELE page.html");
    const qsizetype rnfrAt = log.indexOf("RNFR " + match.captured(1) + ".html");
    const qsizetype rntoAt = log.indexOf("RNTO page.html");
    EXPECT_LT(storAt, deleAt);
    EXPECT_LT(deleAt, rnfrAt);
    EXPECT_LT(rnfrAt, rntoAt);
}

TEST_F(FtpTest, TemporaryNamesForTargetsWithoutExtensionOrFolder) {
    struct Case {
        QString target;        // as given to the upload
        QString pattern;       // the STOR argument expected
        QString finalOnServer; // where the file lands, from the root
    };
    const QString unique = folder.mid(1);
    const Case cases[] = {
        {remote("README"), "^STOR (\\d+)\\.$", remote("README")},
        // No folder part: the temporary name is relative too, never "/NNNNN.txt".
        {unique + "-bare.txt", "^STOR (\\d+)\\.txt$", "/" + unique + "-bare.txt"},
    };
    ASSERT_TRUE(writeFile(device("source"), "data"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target.toStdString());
        const qsizetype mark = logMark();
        Error error;
        ASSERT_TRUE(connection->uploadFileFromPath(device("source"), c.target, &error))
            << error.description.toStdString();
        const QString log = logSince(mark);
        EXPECT_TRUE(QRegularExpression(c.pattern, QRegularExpression::MultilineOption)
                        .match(log)
                        .hasMatch())
            << log.toStdString();
        EXPECT_EQ(readFile(local(c.finalOnServer)), "data");
        QFile::remove(local(c.finalOnServer));
    }
}

TEST_F(FtpTest, CreateFileUploadsContentsAndEmptyMakesAZeroByteFile) {
    struct Case {
        const char* name;
        std::optional<QByteArray> contents;
        QByteArray expected;
    };
    const Case cases[] = {
        {"none.txt", std::nullopt, ""},
        {"empty.txt", QByteArray(""), ""},
        {"some.txt", QByteArray("hello\n"), "hello\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Error error;
        ASSERT_TRUE(connection->createFileAtPath(remote(c.name), c.contents, &error))
            << error.description.toStdString();
        ASSERT_TRUE(QFileInfo::exists(local(remote(c.name))));
        EXPECT_EQ(readFile(local(remote(c.name))), c.expected);
    }
    // A stream not yet open is opened and read to its end.
    QByteArray bytes = patternBytes(70000);
    QBuffer stream(&bytes);
    ASSERT_TRUE(connection->createFileAtPath(remote("stream.bin"), &stream));
    EXPECT_EQ(readFile(local(remote("stream.bin"))), bytes);
}

// Removing an entry that is not there succeeds and says it was removed.
TEST_F(FtpTest, RemovingAMissingEntryReportsItRemoved) {
    RecordingDelegate delegate;
    connection->setDelegate(&delegate);
    Error error;
    EXPECT_TRUE(connection->removeItemAtPath(remote("never"), &error));
    EXPECT_EQ(delegate.calls.first(), "willStart");
    EXPECT_EQ(delegate.calls.last(), "didRemove " + remote("never"));
}

TEST_F(FtpTest, TranscriptCountsDataInsteadOfHoldingIt) {
    const QByteArray contents = patternBytes(300000, 'k');
    ASSERT_TRUE(writeFile(device("big.bin"), contents));
    ASSERT_TRUE(connection->uploadFileFromPath(device("big.bin"), remote("big.bin")));
    ASSERT_TRUE(connection->downloadFileFromPath(remote("big.bin"), device("back.bin")));
    EXPECT_EQ(readFile(device("back.bin")), contents);
    const QString transcript = connection->transcript();
    EXPECT_TRUE(transcript.contains("> [300000 bytes of data]")) << transcript.toStdString();
    EXPECT_TRUE(transcript.contains("< [300000 bytes of data]")) << transcript.toStdString();
    EXPECT_FALSE(transcript.contains(QString::fromLatin1(contents.left(64))));
}

TEST(FtpActiveOnly, LoginFallsBackToActiveModeForTheSession) {
    auto server = quorvel::test::sharedServer("ftp_active");
    ASSERT_TRUE(server) << "the active-only FTP server fixture did not run";
    ASSERT_TRUE(QDir().mkpath(server->root + "/active"));
    ASSERT_TRUE(writeFile(server->root + "/active/file.txt", "over PORT"));
    auto connection = connectionTo(*server);
    Error error;
    ASSERT_TRUE(connection->connectError(&error)) << error.description.toStdString();
    EXPECT_TRUE(connection->shouldUseActiveMode());
    auto contents = connection->contentsOfDirectoryAtPath("/active", &error);
    ASSERT_TRUE(contents) << error.description.toStdString();
    EXPECT_EQ(names(*contents), QStringList({"file.txt"}));
    QTemporaryDir dir;
    ASSERT_TRUE(connection->uploadFileFromPath(server->root + "/active/file.txt",
                                               "/active/copy.txt", &error))
        << error.description.toStdString();
    EXPECT_EQ(readFile(server->root + "/active/copy.txt"), "over PORT");
    // Every data connection after the login is opened by the server.
    const QString log = server->readLog();
    const QString afterLogin = log.mid(log.lastIndexOf("PASV"));
    EXPECT_FALSE(afterLogin.mid(4).contains("PASV")) << log.toStdString();
    EXPECT_EQ(
        afterLogin.count(
            QRegularExpression("^(LIST|STOR|RETR)", QRegularExpression::MultilineOption)),
        afterLogin.count(QRegularExpression("^(PORT|EPRT) ", QRegularExpression::MultilineOption)))
        << log.toStdString();
}

TEST(FtpDroppedServer, InterruptedUploadLeavesTheOldFile) {
    PrivateServer server("ftp", "passive", 100000);
    ASSERT_TRUE(server.info());
    ASSERT_TRUE(writeFile(server.info()->root + "/site/index.html", "the live page"));
    QTemporaryDir dir;
    ASSERT_TRUE(writeFile(dir.filePath("index.html"), patternBytes(1000000)));
    auto connection = connectionTo(*server.info());
    connection->setStallTimeout(5);
    Error error;
    EXPECT_FALSE(
        connection->uploadFileFromPath(dir.filePath("index.html"), "/site/index.html", &error));
    EXPECT_EQ(error.domain, "FTP");
    EXPECT_EQ(readFile(server.info()->root + "/site/index.html"), "the live page");
}

} // namespace

namespace {

TEST(FtpListings, FourServerFormatsEndToEnd) {
    auto server = quorvel::test::sharedServer("ftp_canned");
    ASSERT_TRUE(server) << "the canned-listing FTP server fixture did not run";
    // What Unix, EPLF, VMS and Windows servers send, with the lines a listing must drop:
    // the block total, an entry without a name, names reaching out of the folder, dot entries.
    const QByteArray listing = "total 96\r\n"
                               "-rw-r--r-- 1 web staff 2048 Mar 3 14:05 index.html\r\n"
                               "drwxr-xr-x 3 web 4096 Nov 21 2009 images\r\n"
                               "lrwxrwxrwx 1 web staff 12 Feb 2 09:30 current -> release-7\r\n"
                               "+i1234.5678,m1262304000,/,\tdocs\r\n"
                               "ARCHIVE.DIR;1 2 14-MAR-2005 10:42 [WEB] (RWE,RWE,RE,RE)\r\n"
                               "07-04-01 08:15PM <DIR> public\r\n"
                               "11-30-98 12:05AM 4315 old.htm\r\n"
                               "drwxr-xr-x 2 web staff 512 Apr 9 2011 \r\n"
                               "-rw-r--r-- 1 web staff 1 Mar 3 14:05 ../../etc/passwd\r\n"
                               "07-04-01 08:15PM 10 ..\\x/../y\r\n"
                               "drwxr-xr-x 2 web staff 512 Apr 9 2011 .\r\n"
                               "drwxr-xr-x 2 web staff 512 Apr 9 2011 ..\r\n"
                               "-rw-r--r-- 1 web staff 7 Mar 3 14:05 caf\xc3\xa9.html\r\n";
    ASSERT_TRUE(writeFile(server->root + "/formats/.canned-listing", listing));

    auto connection = connectionTo(*server);
    Error error;
    auto contents = connection->contentsOfDirectoryAtPath("/formats", &error);
    ASSERT_TRUE(contents) << error.description.toStdString();

    struct Expected {
        QString name;
        QString type;
        std::optional<int64_t> size;
        QString mdate; // ISO form, or empty when not checked
        bool isLink;
    };
    const QList<Expected> expected{
        {"index.html", "file", 2048, "", false},
        {"images", "directory", 4096, "2009-11-21T00:00:00Z", false},
        {"current", "directory", 12, "", true},
        {"docs", "directory", std::nullopt, "2010-01-01T00:00:00Z", false},
        {"ARCHIVE", "directory", std::nullopt, "2005-03-14T10:42:00Z", false},
        {"public", "directory", std::nullopt, "2001-07-04T20:15:00Z", false},
        {"old.htm", "file", 4315, "1998-11-30T00:05:00Z", false},
        {QString::fromUtf8("caf\xc3\xa9.html"), "file", 7, "", false},
    };
    QStringList got;
    for (const ConnectionItemAttributes& record : *contents)
        got << record.name;
    ASSERT_EQ(contents->size(), expected.size()) << got.join(" | ").toStdString();
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const Expected& e = expected[i];
        const ConnectionItemAttributes& record = contents->at(i);
        SCOPED_TRACE(e.name.toStdString());
        EXPECT_EQ(record.name, e.name);
        EXPECT_EQ(record.type, e.type);
        EXPECT_EQ(record.size, e.size);
        EXPECT_EQ(record.isLink, e.isLink);
        if (!e.mdate.isEmpty()) {
            ASSERT_TRUE(record.mdate);
            EXPECT_EQ(record.mdate->toString(Qt::ISODate), e.mdate);
        }
    }
}

} // namespace
