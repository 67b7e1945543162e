#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct sqlite3;

// A small object store over one SQLite file: entities with string attributes and one-to-many
// relationships kept in both directions, an editing context with insert, delete, fetch all (in
// store order), save as one transaction and rollback. A file that cannot be opened or holds
// another schema is reported and never written.

class ManagedObject;

struct RelationshipDescription {
    enum class DeleteRule { Nullify, Cascade };
    QString name;
    QString destinationEntity;
    QString inverseName;
    bool toMany = false;
    DeleteRule deleteRule = DeleteRule::Nullify;
};

struct EntityDescription {
    QString name;
    QStringList attributes; // strings; an absent value is none (SQL NULL)
    QList<RelationshipDescription> relationships;
    std::function<std::unique_ptr<ManagedObject>()> instantiate;

    const RelationshipDescription* relationship(const QString& relationshipName) const;
};

struct ManagedObjectModel {
    QString identifier; // written into the file; a file with another identifier is foreign
    int version = 1;
    QList<EntityDescription> entities;

    const EntityDescription* entity(const QString& name) const;
};

struct ObjectStoreError {
    int code = 0;
    QString description;
};

class ManagedObjectContext;

class ManagedObject {
public:
    ManagedObject() = default;
    virtual ~ManagedObject() = default;
    ManagedObject(const ManagedObject&) = delete;
    ManagedObject& operator=(const ManagedObject&) = delete;

    const EntityDescription& entity() const { return *entity_; }
    // None once the object has been dropped by a rollback or its deletion saved.
    ManagedObjectContext* managedObjectContext() const { return context_; }

    QVariant valueForKey(const QString& attribute) const;
    void setValueForKey(const QVariant& value, const QString& attribute);
    QString stringForKey(const QString& attribute) const; // null for none

    ManagedObject* objectForRelationship(const QString& toOne) const;
    void setObjectForRelationship(ManagedObject* object, const QString& toOne);
    // The members of a to-many relationship, in store order.
    QList<ManagedObject*> objectsForRelationship(const QString& toMany) const;
    void addObjectToRelationship(ManagedObject* object, const QString& toMany);
    void removeObjectFromRelationship(ManagedObject* object, const QString& toMany);

    bool isInserted() const { return state_ == State::Inserted; }
    bool isDeleted() const { return deleted_; }
    bool isUpdated() const;

private:
    friend class ManagedObjectContext;
    enum class State { Inserted, Persisted, Dropped };

    const EntityDescription* entity_ = nullptr;
    ManagedObjectContext* context_ = nullptr;
    State state_ = State::Inserted;
    bool deleted_ = false;
    qint64 primaryKey_ = 0;
    QHash<QString, QVariant> values_, savedValues_;
    QHash<QString, ManagedObject*> toOne_, savedToOne_;
};

// The file below a context: opened once, checked against the model before anything is written.
class PersistentStoreCoordinator {
public:
    explicit PersistentStoreCoordinator(ManagedObjectModel model);
    ~PersistentStoreCoordinator();
    PersistentStoreCoordinator(const PersistentStoreCoordinator&) = delete;
    PersistentStoreCoordinator& operator=(const PersistentStoreCoordinator&) = delete;

    const ManagedObjectModel& managedObjectModel() const { return model_; }
    // Opens or creates the SQLite file. On failure the file is left as it was.
    bool addSQLiteStore(const QString& path, ObjectStoreError* error = nullptr);
    bool hasStore() const { return db_ != nullptr; }
    QString storePath() const { return path_; }

private:
    friend class ManagedObjectContext;
    bool checkSchema(sqlite3* db, bool* isEmpty, ObjectStoreError* error) const;
    bool createSchema(ObjectStoreError* error);

    ManagedObjectModel model_;
    sqlite3* db_ = nullptr;
    QString path_;
};

class ManagedObjectContext {
public:
    ManagedObjectContext() = default;
    ManagedObjectContext(const ManagedObjectContext&) = delete;
    ManagedObjectContext& operator=(const ManagedObjectContext&) = delete;

    // Reads every record of the coordinator's store into the context.
    bool setPersistentStoreCoordinator(PersistentStoreCoordinator* coordinator,
                                       ObjectStoreError* error = nullptr);
    PersistentStoreCoordinator* persistentStoreCoordinator() const { return coordinator_; }

    ManagedObject* insertNewObjectForEntityForName(const QString& entityName);
    template <class T> T* insertNewObject(const QString& entityName) {
        return dynamic_cast<T*>(insertNewObjectForEntityForName(entityName));
    }
    // Marks the object deleted (and the members of its cascading relationships); saved later.
    void deleteObject(ManagedObject* object);

    // Every live record of the entity, saved ones in store order, then new ones as inserted.
    // None (with an error) when the context has no store.
    std::optional<QList<ManagedObject*>> fetchAll(const QString& entityName,
                                                  ObjectStoreError* error = nullptr) const;
    // -1 (with an error) when the context has no store.
    int countForEntity(const QString& entityName,
                       const std::function<bool(const ManagedObject*)>& predicate,
                       ObjectStoreError* error = nullptr) const;

    bool hasChanges() const;
    // Writes every insert, change and deletion in one transaction; nothing is written on failure.
    bool save(ObjectStoreError* error = nullptr);
    // Puts every record back as last saved; new records are dropped from the context.
    void rollback();

private:
    friend class ManagedObject;
    ManagedObject* registerObject(const EntityDescription& entity);
    bool isLive(const ManagedObject* object) const;

    PersistentStoreCoordinator* coordinator_ = nullptr;
    std::vector<std::unique_ptr<ManagedObject>> objects_;
};
