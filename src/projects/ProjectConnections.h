#pragma once

#include "connections/AbstractConnectionProtocol.h"
#include "projects/Project.h"

#include <QString>

#include <memory>

// A project's two connections: the project folder on this machine and its server, with the
// server's password taken from the password store.
struct ProjectConnections {
    QString projectPath;
    std::shared_ptr<AbstractConnectionProtocol> localConnection;
    // None when the project has no server record or its scheme names no connection class.
    std::shared_ptr<AbstractConnectionProtocol> remoteConnection;

    // Creates the project folder if it is missing (a failure shows up when it is used).
    static ProjectConnections composeForProject(const Project* project);

    // The project's folder below the projects folder. A title is one folder name: a "/" in it
    // cannot lead elsewhere, and "", "." or ".." do not name the projects folder or its parent.
    static QString projectPathForTitle(const QString& title);
};
