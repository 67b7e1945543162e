#pragma once

// The tests whose behaviour is the same over FTP and SFTP (RemoteConnectionSharedTest.cpp),
// and what each protocol's test program tells them about itself. A program instantiates
// RemoteConnectionTest with its protocol:
//     INSTANTIATE_TEST_SUITE_P(Ftp, RemoteConnectionTest, ::testing::Values(&ftpProtocol),
//                              remotetest::protocolName);

#include "RemoteTestSupport.h"
#include "TestServers.h"

#include "connections/RemoteConnection.h"

#include <QTemporaryDir>

#include <memory>

namespace remotetest {

using quorvel::test::ServerInfo;

class RemoteProtocol {
public:
    virtual ~RemoteProtocol() = default;

    virtual QString name() const = 0;   // in the tests' names
    virtual QString domain() const = 0; // of the errors the server and libcurl give
    virtual QString sharedServer() const = 0;
    // The folder a test works in, as the connection names it, from a name of its own.
    virtual QString folderFor(const ServerInfo& server, const QString& name) const = 0;
    // Where a server path lies on this machine.
    virtual QString local(const ServerInfo& server, const QString& path) const = 0;
    // Lets the test account change what this machine made at a local path and below it.
    virtual void handOver(const ServerInfo& /*server*/, const QString& /*localPath*/) const {}
    virtual std::unique_ptr<RemoteConnection> connectionTo(const ServerInfo& server,
                                                           const QString& knownHosts) const = 0;
    // The kind of quorvel::test::PrivateServer that speaks the protocol.
    virtual QString privateServerKind() const = 0;
    // What the server's log shows when a file is stored.
    virtual QString storeInLog() const = 0;
    virtual bool createsFiles() const = 0;
};

inline std::string protocolName(const ::testing::TestParamInfo<const RemoteProtocol*>& info) {
    return info.param->name().toStdString();
}

// Each test works in a folder of its own on the protocol's shared server.
class RemoteConnectionTest : public ::testing::TestWithParam<const RemoteProtocol*> {
protected:
    void SetUp() override {
        auto shared = quorvel::test::sharedServer(protocol().sharedServer());
        ASSERT_TRUE(shared) << "the server fixture did not run";
        server = *shared;
        ASSERT_TRUE(localDir.isValid());
        const QString testName =
            QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name())
                .replace('/', '-');
        folder = protocol().folderFor(server, testName);
        QDir(local(folder)).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(local(folder)));
        protocol().handOver(server, local(folder));
        connection = protocol().connectionTo(server, device("known_hosts"));
    }

    const RemoteProtocol& protocol() const { return *GetParam(); }
    QString local(const QString& path) const { return protocol().local(server, path); }
    QString remote(const QString& name) const { return folder + "/" + name; }
    QString device(const QString& name) const { return localDir.filePath(name); }
    // Makes a file on the server, as someone else than the connection would.
    void put(const QString& path, const QByteArray& contents) const {
        ASSERT_TRUE(writeFile(local(path), contents));
        protocol().handOver(server, local(folder));
    }
    qsizetype logMark() const { return server.readLog().size(); }
    QString logSince(qsizetype mark) const { return server.readLog().mid(mark); }

    ServerInfo server;
    QString folder;
    QTemporaryDir localDir;
    std::unique_ptr<RemoteConnection> connection;
};

} // namespace remotetest
