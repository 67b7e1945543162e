#include "projects/ProjectStore.h"

#include "core/Settings.h"

#include <QDir>
#include <QFileInfo>

const QString ProjectStore::errorDomain = QStringLiteral("NSSQLiteErrorDomain");

namespace {

std::unique_ptr<ProjectStore>& sharedStore() {
    static std::unique_ptr<ProjectStore> store;
    return store;
}

Error toError(const ObjectStoreError& failure) {
    return Error{ProjectStore::errorDomain, failure.code, failure.description};
}

} // namespace

ProjectStore* ProjectStore::sharedInstance() {
    std::unique_ptr<ProjectStore>& store = sharedStore();
    if (!store)
        store = std::make_unique<ProjectStore>(Settings::pathToLibraryDirectory() +
                                               QStringLiteral("/Projects.sqlite"));
    return store.get();
}

void ProjectStore::resetSharedInstance() {
    sharedStore().reset();
}

ManagedObjectModel ProjectStore::managedObjectModel() {
    using Rule = RelationshipDescription::DeleteRule;
    ManagedObjectModel model;
    model.identifier = QStringLiteral("Quorvel Projects");
    model.version = 1;
    // A project's server records are of no use without it, so they go with it.
    model.entities.append(EntityDescription{
        Project::entityName,
        {QStringLiteral("title"), QStringLiteral("website")},
        {RelationshipDescription{QStringLiteral("connections"), Connection::entityName,
                                 QStringLiteral("project"), true, Rule::Cascade}},
        [] { return std::make_unique<Project>(); }});
    model.entities.append(EntityDescription{
        Connection::entityName,
        {QStringLiteral("scheme"), QStringLiteral("host"), QStringLiteral("port"),
         QStringLiteral("username"), QStringLiteral("path")},
        {RelationshipDescription{QStringLiteral("project"), Project::entityName,
                                 QStringLiteral("connections"), false, Rule::Nullify}},
        [] { return std::make_unique<Connection>(); }});
    return model;
}

ProjectStore::ProjectStore(const QString& storePath)
    : persistentStoreCoordinator_(
          std::make_unique<PersistentStoreCoordinator>(managedObjectModel())),
      managedObjectContext_(std::make_unique<ManagedObjectContext>()) {
    QDir().mkpath(QFileInfo(storePath).path());
    ObjectStoreError failure;
    if (!persistentStoreCoordinator_->addSQLiteStore(storePath, &failure))
        openingError_ = toError(failure);
    if (!managedObjectContext_->setPersistentStoreCoordinator(persistentStoreCoordinator_.get(),
                                                              &failure))
        openingError_ = toError(failure);
}

ProjectStore::~ProjectStore() = default;

bool ProjectStore::projectTitleIsAvailable(const QString& title) const {
    int count = managedObjectContext_->countForEntity(
        Project::entityName, [&](const ManagedObject* object) {
            return static_cast<const Project*>(object)->title() == title;
        });
    return count == 0;
}

std::optional<QList<Project*>> ProjectStore::fetchAllProjects(Error* error) const {
    ObjectStoreError failure;
    auto objects = managedObjectContext_->fetchAll(Project::entityName, &failure);
    if (!objects) {
        if (error)
            *error = toError(failure);
        return std::nullopt;
    }
    QList<Project*> projects;
    for (ManagedObject* object : *objects)
        projects.append(static_cast<Project*>(object));
    return projects;
}

Project* ProjectStore::insertNewProject() {
    return managedObjectContext_->insertNewObject<Project>(Project::entityName);
}

Connection* ProjectStore::insertNewConnection() {
    return managedObjectContext_->insertNewObject<Connection>(Connection::entityName);
}

bool ProjectStore::save(Error* error) {
    ObjectStoreError failure;
    if (managedObjectContext_->save(&failure))
        return true;
    if (error)
        *error = toError(failure);
    return false;
}
