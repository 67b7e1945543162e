#include "projects/ProjectConnections.h"

#include "connections/AbstractConnection.h"
#include "core/Settings.h"
#include "projects/KeychainAccess.h"

#include <QDir>

QString ProjectConnections::projectPathForTitle(const QString& title) {
    QString name = title;
    name.replace(QLatin1Char('/'), QLatin1Char(':'));
    if (name.isEmpty() || name == QStringLiteral(".") || name == QStringLiteral(".."))
        name.prepend(QLatin1Char('_'));
    return Settings::pathToProjectsDirectory() + QLatin1Char('/') + name;
}

ProjectConnections ProjectConnections::composeForProject(const Project* project) {
    ProjectConnections result;
    if (!project)
        return result;
    result.projectPath = projectPathForTitle(project->title());
    QDir().mkpath(result.projectPath);

    result.localConnection = AbstractConnection::connectionWithScheme(
        QStringLiteral("file"), QStringLiteral("localhost"), QString(), QString(), QString(),
        result.projectPath);

    const QList<Connection*> records = project->connections();
    if (records.isEmpty())
        return result;
    const Connection* record = records.first();
    // Without a password the server is still reachable for anonymous or key logins.
    const QString password =
        KeychainAccess::getPasswordForUsername(record->username(), record->serviceName());
    result.remoteConnection =
        AbstractConnection::connectionWithScheme(record->scheme(), record->host(), record->port(),
                                                 record->username(), password, record->path());
    return result;
}
