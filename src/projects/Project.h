#pragma once

#include "platform/ObjectStore.h"

#include <QList>
#include <QString>

class Connection;

// A project: a title (names its folder and keys its history), the web site's address without a
// scheme, and its server records.
class Project : public ManagedObject {
public:
    static const QString entityName;

    QString title() const { return stringForKey(QStringLiteral("title")); }
    void setTitle(const QString& title) { setValueForKey(title, QStringLiteral("title")); }
    QString website() const { return stringForKey(QStringLiteral("website")); }
    void setWebsite(const QString& website) { setValueForKey(website, QStringLiteral("website")); }

    // In store order; a project made by the editor has exactly one.
    QList<Connection*> connections() const;
    void addConnectionsObject(Connection* connection);
    void removeConnectionsObject(Connection* connection);
};

// One server record: scheme, host, port (text), user name and base path on the server.
class Connection : public ManagedObject {
public:
    static const QString entityName;

    QString scheme() const { return stringForKey(QStringLiteral("scheme")); }
    void setScheme(const QString& value) { setValueForKey(value, QStringLiteral("scheme")); }
    QString host() const { return stringForKey(QStringLiteral("host")); }
    void setHost(const QString& value) { setValueForKey(value, QStringLiteral("host")); }
    QString port() const { return stringForKey(QStringLiteral("port")); }
    void setPort(const QString& value) { setValueForKey(value, QStringLiteral("port")); }
    QString username() const { return stringForKey(QStringLiteral("username")); }
    void setUsername(const QString& value) { setValueForKey(value, QStringLiteral("username")); }
    QString path() const { return stringForKey(QStringLiteral("path")); }
    void setPath(const QString& value) { setValueForKey(value, QStringLiteral("path")); }

    Project* project() const;
    void setProject(Project* project);

    // The name of this server's password item: "scheme://host:portpath", "(null)" for a missing
    // value.
    QString serviceName() const;
};
