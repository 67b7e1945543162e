#include "RemoteConnectionShared.h"

#include <curl/curl.h>

#include <functional>

#include <gtest/gtest.h>

using namespace remotetest;

namespace {

TEST_P(RemoteConnectionTest, WrongPasswordGivesTheLibcurlCodeAndText) {
    connection->setPassword("not-" + server.password);
    Error error;
    EXPECT_FALSE(connection->connectError(&error));
    EXPECT_EQ(error.domain, protocol().domain());
    EXPECT_EQ(error.code, int(CURLE_LOGIN_DENIED));
    EXPECT_FALSE(error.description.isEmpty());
}

TEST_P(RemoteConnectionTest, TemporaryNameNeverHitsAnExistingFile) {
    // The first numbers drawn name files that exist; the upload must draw again.
    struct Case {
        QString extension;
        QList<uint32_t> existing;
        QList<uint32_t> draws;
        uint32_t afterwards; // drawn once the list is used up
    };
    const Case cases[] = {
        {"jpg", {7, 8}, {7, 100007, 8, 9}, 11},
        {"png", {3, 4}, {3, 100004, 5}, 6},
    };
    QList<uint32_t> draws;
    uint32_t afterwards = 0;
    connection->setRandomSource(
        [&draws, &afterwards]() { return draws.isEmpty() ? afterwards : draws.takeFirst(); });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extension.toStdString());
        const QString sub = remote(c.extension);
        QStringList expected;
        for (uint32_t n : c.existing) {
            const QString name = QString::number(n) + "." + c.extension;
            put(sub + "/" + name, "existing " + name.toUtf8());
            expected << name;
        }
        draws = c.draws;
        afterwards = c.afterwards;
        const QString newName = "new." + c.extension;
        ASSERT_TRUE(writeFile(device(newName), "new file"));
        Error error;
        ASSERT_TRUE(connection->uploadFileFromPath(device(newName), sub + "/" + newName, &error))
            << error.description.toStdString();
        for (const QString& name : expected)
            EXPECT_EQ(readFile(local(sub + "/" + name)), "existing " + name.toUtf8());
        EXPECT_EQ(readFile(local(sub + "/" + newName)), "new file");
        expected << newName;
        EXPECT_EQ(sortedEntries(local(sub)), expected);
    }
}

TEST_P(RemoteConnectionTest, UploadOverAFolderFailsAndKeepsTheFolder) {
    put(remote("site/index.html"), "keep me");
    ASSERT_TRUE(writeFile(device("site"), "a file"));
    const qsizetype mark = logMark();
    Error error;
    EXPECT_FALSE(connection->uploadFileFromPath(device("site"), remote("site"), &error));
    EXPECT_EQ(error.description, "A folder named 'site' exists");
    EXPECT_EQ(readFile(local(remote("site/index.html"))), "keep me");
    EXPECT_EQ(sortedEntries(local(folder)), QStringList({"site"}));
    const QString log = logSince(mark);
    EXPECT_FALSE(log.contains(protocol().storeInLog())) << log.toStdString();
}

TEST_P(RemoteConnectionTest, EntriesAppearingBetweenUploadsOfAFolderAreHandled) {
    // A folder upload reads the folder once; entries made by someone else meanwhile must
    // neither break the upload of a file nor let a file replace a folder.
    ASSERT_TRUE(writeFile(device("first.html"), "first"));
    ASSERT_TRUE(writeFile(device("second.html"), "second"));
    ASSERT_TRUE(writeFile(device("folder"), "a file"));
    Error error;
    ASSERT_TRUE(connection->uploadFileFromPath(device("first.html"), remote("first.html"), &error))
        << error.description.toStdString();
    put(remote("second.html"), "made by someone else");
    put(remote("folder/inside.html"), "keep me");
    ASSERT_TRUE(
        connection->uploadFileFromPath(device("second.html"), remote("second.html"), &error))
        << error.description.toStdString();
    EXPECT_EQ(readFile(local(remote("second.html"))), "second");
    EXPECT_FALSE(connection->uploadFileFromPath(device("folder"), remote("folder"), &error));
    EXPECT_EQ(readFile(local(remote("folder/inside.html"))), "keep me");
}

TEST_P(RemoteConnectionTest, DownloadReplacesTheLocalFileOnlyOnSuccess) {
    put(remote("remote.txt"), "from the server");
    ASSERT_TRUE(writeFile(device("nested/target.txt"), "local copy"));
    Error error;
    ASSERT_TRUE(
        connection->downloadFileFromPath(remote("remote.txt"), device("nested/target.txt"), &error))
        << error.description.toStdString();
    EXPECT_EQ(readFile(device("nested/target.txt")), "from the server");

    ASSERT_TRUE(writeFile(device("nested/target.txt"), "local copy"));
    EXPECT_FALSE(connection->downloadFileFromPath(remote("missing.txt"),
                                                  device("nested/target.txt"), &error));
    EXPECT_EQ(error.domain, protocol().domain());
    EXPECT_EQ(readFile(device("nested/target.txt")), "local copy");
    EXPECT_EQ(sortedEntries(device("nested")), QStringList({"target.txt"}));

    // Missing local folders are made.
    ASSERT_TRUE(connection->downloadFileFromPath(remote("remote.txt"),
                                                 device("new/folder/copy.txt"), &error))
        << error.description.toStdString();
    EXPECT_EQ(readFile(device("new/folder/copy.txt")), "from the server");
}

TEST_P(RemoteConnectionTest, PathsWithLineBreaksAreRefusedAndNothingIsSent) {
    ASSERT_TRUE(connection->connectError());
    ASSERT_TRUE(writeFile(device("file"), "x"));
    put(remote("ok"), "ok");
    using Operation = std::function<bool(RemoteConnection&, const QString&, Error*)>;
    QList<QPair<const char*, Operation>> operations{
        {"list", [](RemoteConnection& c, const QString& p,
                    Error* e) { return bool(c.contentsOfDirectoryAtPath(p, e)); }},
        {"mkdir", [](RemoteConnection& c, const QString& p,
                     Error* e) { return c.createDirectoryAtPath(p, e); }},
        {"move from", [this](RemoteConnection& c, const QString& p,
                             Error* e) { return c.moveItemAtPath(p, remote("x"), e); }},
        {"move to", [this](RemoteConnection& c, const QString& p,
                           Error* e) { return c.moveItemAtPath(remote("ok"), p, e); }},
        {"remove",
         [](RemoteConnection& c, const QString& p, Error* e) { return c.removeItemAtPath(p, e); }},
        {"upload", [this](RemoteConnection& c, const QString& p,
                          Error* e) { return c.uploadFileFromPath(device("file"), p, e); }},
        {"download", [this](RemoteConnection& c, const QString& p,
                            Error* e) { return c.downloadFileFromPath(p, device("out"), e); }},
    };
    if (protocol().createsFiles()) {
        operations.append({"create", [](RemoteConnection& c, const QString& p, Error* e) {
                               return c.createFileAtPath(p, QByteArray("x"), e);
                           }});
    }
    for (const QString& path : {remote("a\nb"), remote("a\rDELE x"), remote("a\r\nrm ok"),
                                remote(QString("a") + QChar(0) + "b")}) {
        for (const auto& [name, operation] : operations) {
            SCOPED_TRACE(name);
            const qsizetype mark = logMark();
            Error error;
            EXPECT_FALSE(operation(*connection, path, &error));
            EXPECT_EQ(error, (Error{ConnectionGenericErrorDomain, ConnectionInvalidPathErrorCode,
                                    "Invalid path"}));
            EXPECT_EQ(logSince(mark), QString());
        }
    }
    EXPECT_EQ(sortedEntries(local(folder)), QStringList({"ok"}));
}

TEST_P(RemoteConnectionTest, AwkwardNamesRoundTrip) {
    const QStringList cases{
        "My Site/a#b 100%.html",
        "with space.txt",
        "question?.css",
        "Bob's page.html",
        "say \"hi\" \\ there.txt",
        QString::fromUtf8("caf\xc3\xa9 \xe2\x82\xac/\xe6\x97\xa5\xe6\x9c\xac.html"),
        QString::fromUtf8("\xc3\xbc"
                          "ber/\xe6\x97\xa5\xe6\x9c\xac 'x'.css"),
        "semi;colon.js",
        "~tilde.js",
    };
    for (const QString& name : cases) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray contents = "contents of " + name.toUtf8();
        ASSERT_TRUE(writeFile(device("up"), contents));
        Error error;
        ASSERT_TRUE(connection->uploadFileFromPath(device("up"), remote(name), &error))
            << error.description.toStdString();
        EXPECT_EQ(readFile(local(remote(name))), contents);
        // Once more onto the existing file: remove and rename with the awkward name.
        ASSERT_TRUE(connection->uploadFileFromPath(device("up"), remote(name), &error))
            << error.description.toStdString();
        EXPECT_EQ(readFile(local(remote(name))), contents);

        auto found = connection->attributesOfItemAtPath(remote(name), &error);
        ASSERT_TRUE(found) << error.description.toStdString();
        EXPECT_EQ(found->name, remotepaths::lastComponent(name));

        ASSERT_TRUE(connection->downloadFileFromPath(remote(name), device("down"), &error))
            << error.description.toStdString();
        EXPECT_EQ(readFile(device("down")), contents);

        // Moved twice, to names that stay awkward, then removed.
        QString from = remote(name);
        for (const QString& to : {remote(name) + " moved", remote(name) + " 'moved'"}) {
            SCOPED_TRACE(to.toStdString());
            ASSERT_TRUE(connection->moveItemAtPath(from, to, &error))
                << error.description.toStdString();
            EXPECT_EQ(readFile(local(to)), contents);
            from = to;
        }
        ASSERT_TRUE(connection->removeItemAtPath(from, &error)) << error.description.toStdString();
        EXPECT_FALSE(QFileInfo::exists(local(from)));
    }
}

TEST_P(RemoteConnectionTest, RemovalDeletesATreeAndNeverFollowsLinks) {
    put(remote("tree/a.txt"), "a");
    put(remote("tree/sub dir/b.txt"), "b");
    put(remote("tree/sub dir/b's.txt"), "b's");
    put(remote("tree/sub dir/deeper/c.txt"), "c");
    ASSERT_TRUE(QDir().mkpath(local(remote("tree/empty"))));
    // A site's folder and the links shared hosts put next to it.
    put(remote("public_html/index.html"), "home");
    put(remote("public_html/css/site.css"), "css");
    put(remote("public_html/img/logo.png"), "logo");
    ASSERT_TRUE(QFile::link("public_html", local(remote("www"))));
    ASSERT_TRUE(QDir().mkpath(local(remote("nest"))));
    ASSERT_TRUE(QFile::link("..", local(remote("nest/up"))));
    ASSERT_TRUE(QFile::link(".", local(remote("nest/self"))));
    protocol().handOver(server, local(folder));

    RecordingDelegate delegate;
    connection->setDelegate(&delegate);
    Error error;
    ASSERT_TRUE(connection->removeItemAtPath(remote("tree"), &error))
        << error.description.toStdString();
    EXPECT_FALSE(QFileInfo::exists(local(remote("tree"))));
    EXPECT_TRUE(delegate.calls.contains("didRemove " + remote("tree")));

    ASSERT_TRUE(connection->removeItemAtPath(remote("www"), &error))
        << error.description.toStdString();
    EXPECT_FALSE(QFileInfo(local(remote("www"))).isSymLink());
    EXPECT_EQ(readFile(local(remote("public_html/index.html"))), "home");
    EXPECT_EQ(readFile(local(remote("public_html/css/site.css"))), "css");
    EXPECT_EQ(readFile(local(remote("public_html/img/logo.png"))), "logo");

    ASSERT_TRUE(connection->removeItemAtPath(remote("nest"), &error))
        << error.description.toStdString();
    EXPECT_FALSE(QFileInfo::exists(local(remote("nest"))));
    EXPECT_EQ(sortedEntries(local(folder)), QStringList({"public_html"}));
}

TEST_P(RemoteConnectionTest, DroppedServerOperationsFailInsteadOfHangingOrSucceeding) {
    quorvel::test::PrivateServer dropping(protocol().privateServerKind());
    ASSERT_TRUE(dropping.info());
    const ServerInfo& info = *dropping.info();
    const QString file = protocol().folderFor(info, "doomed.txt");
    ASSERT_TRUE(writeFile(protocol().local(info, file), "x"));
    protocol().handOver(info, protocol().local(info, file));
    auto dropped = protocol().connectionTo(info, device("dropped_known_hosts"));
    Error error;
    ASSERT_TRUE(dropped->connectError(&error)) << error.description.toStdString();
    ASSERT_TRUE(dropped->attributesOfItemAtPath(file));
    dropped->setConnectTimeout(2);
    dropped->setStallTimeout(2);

    // Frozen: the session stays open and nothing answers.
    dropping.pause();
    EXPECT_FALSE(dropped->contentsOfDirectoryAtPath(protocol().folderFor(info, ""), &error));
    EXPECT_EQ(error.domain, protocol().domain());
    dropping.resume();

    // Gone: removal cannot know the entry is gone, so it does not say so.
    dropping.stop();
    error = Error();
    RecordingDelegate delegate;
    dropped->setDelegate(&delegate);
    EXPECT_FALSE(dropped->removeItemAtPath(file, &error));
    EXPECT_EQ(error.domain, protocol().domain());
    EXPECT_NE(error.code, 0);
    EXPECT_FALSE(delegate.calls.contains("didRemove " + file));
    error = Error();
    EXPECT_FALSE(dropped->attributesOfItemAtPath(file, &error));
    EXPECT_EQ(error.domain, protocol().domain());
}

} // namespace
