#pragma once

#include "connections/AbstractConnectionProtocol.h"

#include <QList>
#include <QString>

#include <memory>

// The registry and factory of connection classes. It has no instances.
class AbstractConnection {
public:
    AbstractConnection() = delete;

    // The classes a user can choose for a server: FTP, then SFTP. The local file connection
    // is not offered.
    static QList<const ConnectionClass*> registeredProtocols();
    // The first of FTP, SFTP, File whose scheme equals the argument exactly; none otherwise.
    static const ConnectionClass* classForScheme(const QString& scheme);
    // The same over the classes' titles.
    static const ConnectionClass* classForTitle(const QString& title);
    // A new connection of the class for the scheme, configured from the arguments; none when
    // no class has the scheme.
    static std::shared_ptr<AbstractConnectionProtocol>
    connectionWithScheme(const QString& scheme, const QString& host, const QString& port,
                         const QString& username, const QString& password, const QString& basePath);
};
