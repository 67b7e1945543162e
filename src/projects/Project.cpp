#include "projects/Project.h"

const QString Project::entityName = QStringLiteral("Project");
const QString Connection::entityName = QStringLiteral("Connection");

QList<Connection*> Project::connections() const {
    QList<Connection*> result;
    for (ManagedObject* object : objectsForRelationship(QStringLiteral("connections")))
        result.append(static_cast<Connection*>(object));
    return result;
}

void Project::addConnectionsObject(Connection* connection) {
    addObjectToRelationship(connection, QStringLiteral("connections"));
}

void Project::removeConnectionsObject(Connection* connection) {
    removeObjectFromRelationship(connection, QStringLiteral("connections"));
}

Project* Connection::project() const {
    return static_cast<Project*>(objectForRelationship(QStringLiteral("project")));
}

void Connection::setProject(Project* project) {
    setObjectForRelationship(project, QStringLiteral("project"));
}

QString Connection::serviceName() const {
    // A missing value prints as the platform prints a nil object in a format.
    auto part = [](const QString& value) {
        return value.isNull() ? QStringLiteral("(null)") : value;
    };
    return QStringLiteral("%1://%2:%3%4")
        .arg(part(scheme()), part(host()), part(port()), part(path()));
}
