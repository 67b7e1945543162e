#pragma once

#include "core/Error.h"
#include "platform/ObjectStore.h"
#include "projects/Project.h"

#include <memory>
#include <optional>

// The project records in "Projects.sqlite" in the library folder, behind one shared editing
// context that every screen uses.
class ProjectStore {
public:
    // Builds the stack over the library folder's "Projects.sqlite" on the first call.
    static ProjectStore* sharedInstance();
    // Drops the shared store so the next call opens the file again (tests, other QUORVEL_HOME).
    static void resetSharedInstance();

    // A store over any file; the shared one uses the library folder's.
    explicit ProjectStore(const QString& storePath);
    ~ProjectStore();
    ProjectStore(const ProjectStore&) = delete;
    ProjectStore& operator=(const ProjectStore&) = delete;

    ManagedObjectContext* managedObjectContext() const { return managedObjectContext_.get(); }
    PersistentStoreCoordinator* persistentStoreCoordinator() const {
        return persistentStoreCoordinator_.get();
    }
    // Why the file could not be used (unreadable, not a database, another schema); the file is
    // then left as it was and nothing is ever saved into it.
    std::optional<Error> openingError() const { return openingError_; }

    // Answers NO when a project has exactly this title (case-sensitive), or when counting fails.
    bool projectTitleIsAvailable(const QString& title) const;

    // Every project in store order; none when the store is not open.
    std::optional<QList<Project*>> fetchAllProjects(Error* error = nullptr) const;
    Project* insertNewProject();
    Connection* insertNewConnection();
    bool save(Error* error = nullptr);

    static ManagedObjectModel managedObjectModel();
    static const QString errorDomain;

private:
    std::unique_ptr<PersistentStoreCoordinator> persistentStoreCoordinator_;
    std::unique_ptr<ManagedObjectContext> managedObjectContext_;
    std::optional<Error> openingError_;
};
