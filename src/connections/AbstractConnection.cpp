#include "connections/AbstractConnection.h"

#include "connections/FTPConnection.h"
#include "connections/FileConnection.h"
#include "connections/SFTPConnection.h"

namespace {

// The order in which schemes and titles are matched.
QList<const ConnectionClass*> lookupOrder() {
    return {&FTPConnection::connectionClass(), &SFTPConnection::connectionClass(),
            &FileConnection::connectionClass()};
}

} // namespace

QList<const ConnectionClass*> AbstractConnection::registeredProtocols() {
    return {&FTPConnection::connectionClass(), &SFTPConnection::connectionClass()};
}

const ConnectionClass* AbstractConnection::classForScheme(const QString& scheme) {
    for (const ConnectionClass* connectionClass : lookupOrder()) {
        if (connectionClass->scheme == scheme)
            return connectionClass;
    }
    return nullptr;
}

const ConnectionClass* AbstractConnection::classForTitle(const QString& title) {
    for (const ConnectionClass* connectionClass : lookupOrder()) {
        if (connectionClass->title == title)
            return connectionClass;
    }
    return nullptr;
}

std::shared_ptr<AbstractConnectionProtocol>
AbstractConnection::connectionWithScheme(const QString& scheme, const QString& host,
                                         const QString& port, const QString& username,
                                         const QString& password, const QString& basePath) {
    const ConnectionClass* connectionClass = classForScheme(scheme);
    if (!connectionClass)
        return nullptr;
    std::shared_ptr<AbstractConnectionProtocol> connection = connectionClass->create();
    connection->setScheme(scheme);
    connection->setHost(host);
    connection->setUsername(username);
    connection->setPassword(password);
    connection->setPort(port);
    connection->setBasePath(basePath);
    return connection;
}
