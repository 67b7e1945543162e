#include "connections/AbstractConnection.h"
#include "connections/FTPConnection.h"
#include "connections/FileConnection.h"
#include "connections/SFTPConnection.h"

#include <gtest/gtest.h>

namespace {

TEST(AbstractConnection, RegisteredProtocolsOfferFtpThenSftpButNotFile) {
    const QList<const ConnectionClass*> expected{&FTPConnection::connectionClass(),
                                                 &SFTPConnection::connectionClass()};
    EXPECT_EQ(AbstractConnection::registeredProtocols(), expected);
}

TEST(AbstractConnection, ClassAnswers) {
    struct Case {
        const ConnectionClass* connectionClass;
        const char* title;
        const char* scheme;
        QString defaultPort;
    };
    const Case cases[] = {
        {&FileConnection::connectionClass(), "File", "file", QString()},
        {&FTPConnection::connectionClass(), "FTP", "ftp", QStringLiteral("21")},
        {&SFTPConnection::connectionClass(), "SFTP", "sftp", QStringLiteral("22")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        EXPECT_EQ(c.connectionClass->title, QLatin1String(c.title));
        EXPECT_EQ(c.connectionClass->scheme, QLatin1String(c.scheme));
        EXPECT_EQ(c.connectionClass->defaultPort, c.defaultPort);
        EXPECT_EQ(c.connectionClass->defaultPort.isNull(), c.defaultPort.isNull());
        const std::shared_ptr<AbstractConnectionProtocol> instance = c.connectionClass->create();
        ASSERT_TRUE(instance);
        EXPECT_EQ(&instance->classOfConnection(), c.connectionClass);
    }
}

TEST(AbstractConnection, LookupByExactSchemeAndTitle) {
    struct Case {
        const char* key;
        const ConnectionClass* byScheme;
        const ConnectionClass* byTitle;
    };
    const Case cases[] = {
        {"ftp", &FTPConnection::connectionClass(), nullptr},
        {"FTP", nullptr, &FTPConnection::connectionClass()},
        {"sftp", &SFTPConnection::connectionClass(), nullptr},
        {"SFTP", nullptr, &SFTPConnection::connectionClass()},
        {"file", &FileConnection::connectionClass(), nullptr},
        {"File", nullptr, &FileConnection::connectionClass()},
        {"Ftp", nullptr, nullptr},
        {"ftp ", nullptr, nullptr},
        {"http", nullptr, nullptr},
        {"", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(AbstractConnection::classForScheme(QLatin1String(c.key)), c.byScheme);
        EXPECT_EQ(AbstractConnection::classForTitle(QLatin1String(c.key)), c.byTitle);
    }
}

TEST(AbstractConnection, FactoryConfiguresTheConnectionOfTheScheme) {
    const std::shared_ptr<AbstractConnectionProtocol> remote =
        AbstractConnection::connectionWithScheme("sftp", "example.org", "2222", "web", "secret",
                                                 "/var/www");
    ASSERT_TRUE(remote);
    EXPECT_EQ(&remote->classOfConnection(), &SFTPConnection::connectionClass());
    EXPECT_EQ(remote->scheme(), "sftp");
    EXPECT_EQ(remote->host(), "example.org");
    EXPECT_EQ(remote->port(), "2222");
    EXPECT_EQ(remote->username(), "web");
    EXPECT_EQ(remote->password(), "secret");
    EXPECT_EQ(remote->basePath(), "/var/www");
    EXPECT_EQ(remote->delegate(), nullptr);

    const std::shared_ptr<AbstractConnectionProtocol> local =
        AbstractConnection::connectionWithScheme("file", "localhost", QString(), QString(),
                                                 QString(), "/home/me/Projects/Site");
    ASSERT_TRUE(local);
    EXPECT_EQ(&local->classOfConnection(), &FileConnection::connectionClass());
    EXPECT_EQ(local->entryPath(), "/");
    EXPECT_TRUE(local->port().isNull());
    EXPECT_TRUE(local->transcript().isNull());
}

TEST(AbstractConnection, FactoryAnswersNoneForAnUnknownScheme) {
    for (const char* scheme : {"FTP", "http", ""}) {
        SCOPED_TRACE(scheme);
        EXPECT_FALSE(
            AbstractConnection::connectionWithScheme(scheme, "example.org", "21", "u", "p", "/"));
    }
}

} // namespace
