#include "platform/ObjectStore.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <sqlite3.h>

namespace {

const char kModelTable[] = "QuorvelObjectModel";
const QString kPrimaryKey = QStringLiteral("pk");

QString quoted(const QString& name) {
    QString escaped = name;
    escaped.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

void fail(ObjectStoreError* error, int code, const QString& description) {
    if (error)
        *error = ObjectStoreError{code, description};
}

QString sqliteMessage(sqlite3* db) {
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
}

// One prepared statement, finalised on every path.
class Statement {
public:
    Statement(sqlite3* db, const QString& sql) : db_(db) {
        result_ = sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt_, nullptr);
        prepared_ = result_ == SQLITE_OK && stmt_;
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return prepared_; }
    int result() const { return result_; }
    void bind(int index, const QVariant& value) {
        if (!value.isValid() || value.isNull()) {
            sqlite3_bind_null(stmt_, index);
        } else if (value.typeId() == QMetaType::LongLong) {
            sqlite3_bind_int64(stmt_, index, value.toLongLong());
        } else {
            QByteArray text = value.toString().toUtf8();
            sqlite3_bind_text(stmt_, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        }
    }
    int step() { return result_ = sqlite3_step(stmt_); }
    QVariant text(int column) const {
        if (sqlite3_column_type(stmt_, column) == SQLITE_NULL)
            return QVariant();
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return QString::fromUtf8(bytes, sqlite3_column_bytes(stmt_, column));
    }
    qint64 integer(int column) const { return sqlite3_column_int64(stmt_, column); }
    bool isNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
    int result_ = SQLITE_ERROR;
    bool prepared_ = false;
};

bool exec(sqlite3* db, const QString& sql, ObjectStoreError* error) {
    char* message = nullptr;
    int result = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    if (result != SQLITE_OK) {
        fail(error, result, message ? QString::fromUtf8(message) : sqliteMessage(db));
        sqlite3_free(message);
        return false;
    }
    return true;
}

// The to-one relationships of an entity are its foreign-key columns.
QStringList foreignKeys(const EntityDescription& entity) {
    QStringList keys;
    for (const RelationshipDescription& relationship : entity.relationships) {
        if (!relationship.toMany)
            keys.append(relationship.name);
    }
    return keys;
}

} // namespace

// ---- descriptions

const RelationshipDescription*
EntityDescription::relationship(const QString& relationshipName) const {
    for (const RelationshipDescription& r : relationships) {
        if (r.name == relationshipName)
            return &r;
    }
    return nullptr;
}

const EntityDescription* ManagedObjectModel::entity(const QString& name) const {
    for (const EntityDescription& e : entities) {
        if (e.name == name)
            return &e;
    }
    return nullptr;
}

// ---- ManagedObject

QVariant ManagedObject::valueForKey(const QString& attribute) const {
    return values_.value(attribute);
}

void ManagedObject::setValueForKey(const QVariant& value, const QString& attribute) {
    Q_ASSERT(entity_->attributes.contains(attribute));
    // Both an invalid value and a null string mean none.
    if (!value.isValid() || value.isNull() || value.toString().isNull())
        values_.remove(attribute);
    else
        values_.insert(attribute, value.toString());
}

QString ManagedObject::stringForKey(const QString& attribute) const {
    QVariant value = values_.value(attribute);
    return value.isValid() ? value.toString() : QString();
}

ManagedObject* ManagedObject::objectForRelationship(const QString& toOne) const {
    ManagedObject* object = toOne_.value(toOne);
    return object && context_ && context_->isLive(object) ? object : nullptr;
}

void ManagedObject::setObjectForRelationship(ManagedObject* object, const QString& toOne) {
    const RelationshipDescription* relationship = entity_->relationship(toOne);
    Q_ASSERT(relationship && !relationship->toMany);
    if (!relationship || relationship->toMany)
        return;
    if (object)
        toOne_.insert(toOne, object);
    else
        toOne_.remove(toOne);
}

QList<ManagedObject*> ManagedObject::objectsForRelationship(const QString& toMany) const {
    const RelationshipDescription* relationship = entity_->relationship(toMany);
    Q_ASSERT(relationship && relationship->toMany);
    QList<ManagedObject*> members;
    if (!relationship || !context_)
        return members;
    // The to-one side holds the link, so both directions always agree.
    for (const auto& candidate : context_->objects_) {
        if (candidate->entity_->name == relationship->destinationEntity &&
            context_->isLive(candidate.get()) &&
            candidate->toOne_.value(relationship->inverseName) == this)
            members.append(candidate.get());
    }
    return members;
}

void ManagedObject::addObjectToRelationship(ManagedObject* object, const QString& toMany) {
    const RelationshipDescription* relationship = entity_->relationship(toMany);
    Q_ASSERT(relationship && relationship->toMany);
    if (relationship && object)
        object->setObjectForRelationship(this, relationship->inverseName);
}

void ManagedObject::removeObjectFromRelationship(ManagedObject* object, const QString& toMany) {
    const RelationshipDescription* relationship = entity_->relationship(toMany);
    Q_ASSERT(relationship && relationship->toMany);
    if (relationship && object && object->toOne_.value(relationship->inverseName) == this)
        object->setObjectForRelationship(nullptr, relationship->inverseName);
}

bool ManagedObject::isUpdated() const {
    return state_ == State::Persisted && (values_ != savedValues_ || toOne_ != savedToOne_);
}

// ---- PersistentStoreCoordinator

PersistentStoreCoordinator::PersistentStoreCoordinator(ManagedObjectModel model)
    : model_(std::move(model)) {}

PersistentStoreCoordinator::~PersistentStoreCoordinator() {
    sqlite3_close(db_);
}

bool PersistentStoreCoordinator::checkSchema(sqlite3* db, bool* isEmpty,
                                             ObjectStoreError* error) const {
    *isEmpty = false;
    Statement count(db, QStringLiteral("SELECT count(*) FROM sqlite_master"));
    if (!count.ok() || count.step() != SQLITE_ROW) {
        fail(error, sqlite3_extended_errcode(db), sqliteMessage(db));
        return false;
    }
    if (count.integer(0) == 0) {
        *isEmpty = true;
        return true;
    }
    const QString foreign = QStringLiteral("the file holds data of another program or version");
    Statement identity(db, QStringLiteral("SELECT key, value FROM %1").arg(kModelTable));
    if (!identity.ok()) {
        fail(error, SQLITE_FORMAT, foreign);
        return false;
    }
    QHash<QString, QString> values;
    while (identity.step() == SQLITE_ROW)
        values.insert(identity.text(0).toString(), identity.text(1).toString());
    if (values.value(QStringLiteral("identifier")) != model_.identifier ||
        values.value(QStringLiteral("version")) != QString::number(model_.version)) {
        fail(error, SQLITE_FORMAT,
             foreign + QStringLiteral(" (%1 %2)")
                           .arg(values.value(QStringLiteral("identifier")),
                                values.value(QStringLiteral("version"))));
        return false;
    }
    for (const EntityDescription& entity : model_.entities) {
        Statement columns(db, QStringLiteral("PRAGMA table_info(%1)").arg(quoted(entity.name)));
        QSet<QString> present;
        while (columns.ok() && columns.step() == SQLITE_ROW)
            present.insert(columns.text(1).toString());
        QStringList needed = entity.attributes + foreignKeys(entity);
        needed.append(kPrimaryKey);
        for (const QString& column : needed) {
            if (!present.contains(column)) {
                fail(error, SQLITE_FORMAT,
                     foreign + QStringLiteral(" (no column %1 in %2)").arg(column, entity.name));
                return false;
            }
        }
    }
    return true;
}

bool PersistentStoreCoordinator::createSchema(ObjectStoreError* error) {
    QString sql = QStringLiteral("BEGIN IMMEDIATE;");
    sql += QStringLiteral("CREATE TABLE %1 (key TEXT PRIMARY KEY, value TEXT);").arg(kModelTable);
    QString identifier = model_.identifier;
    identifier.replace(QLatin1Char('\''), QStringLiteral("''"));
    sql += QStringLiteral("INSERT INTO %1 VALUES ('identifier', '%2'), ('version', '%3');")
               .arg(QString::fromLatin1(kModelTable), identifier, QString::number(model_.version));
    for (const EntityDescription& entity : model_.entities) {
        QStringList columns{kPrimaryKey + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT")};
        for (const QString& attribute : entity.attributes)
            columns.append(quoted(attribute) + QStringLiteral(" TEXT"));
        for (const RelationshipDescription& relationship : entity.relationships) {
            if (!relationship.toMany)
                columns.append(quoted(relationship.name) +
                               QStringLiteral(" INTEGER REFERENCES %1(pk)")
                                   .arg(quoted(relationship.destinationEntity)));
        }
        sql += QStringLiteral("CREATE TABLE %1 (%2);")
                   .arg(quoted(entity.name), columns.join(QStringLiteral(", ")));
    }
    sql += QStringLiteral("COMMIT;");
    if (!exec(db_, sql, error)) {
        exec(db_, QStringLiteral("ROLLBACK"), nullptr);
        return false;
    }
    return true;
}

bool PersistentStoreCoordinator::addSQLiteStore(const QString& path, ObjectStoreError* error) {
    const QString prefix =
        QStringLiteral("The project database \u201C%1\u201D could not be opened: ").arg(path);
    if (db_) {
        fail(error, SQLITE_MISUSE, prefix + QStringLiteral("a store is already open"));
        return false;
    }
    const QByteArray name = QFile::encodeName(path);
    ObjectStoreError failure;
    bool isEmpty = true;

    // Look first without the right to write, so a file we cannot use stays byte for byte as it was.
    if (QFileInfo::exists(path)) {
        sqlite3* reader = nullptr;
        int result = sqlite3_open_v2(name.constData(), &reader, SQLITE_OPEN_READONLY, nullptr);
        if (result == SQLITE_OK) {
            sqlite3_extended_result_codes(reader, 1);
            sqlite3_busy_timeout(reader, 5000);
        }
        bool usable = result == SQLITE_OK && checkSchema(reader, &isEmpty, &failure);
        if (result != SQLITE_OK)
            failure = ObjectStoreError{result, sqliteMessage(reader)};
        sqlite3_close(reader);
        // A transaction cut short by a crash needs the writer to roll it back before reading.
        const bool needsRecovery = !usable && (failure.code & 0xff) == SQLITE_READONLY;
        if (!usable && !needsRecovery) {
            fail(error, failure.code, prefix + failure.description);
            return false;
        }
    }

    sqlite3* db = nullptr;
    int result =
        sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (result != SQLITE_OK) {
        fail(error, result, prefix + sqliteMessage(db));
        sqlite3_close(db);
        return false;
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 5000);
    if (!checkSchema(db, &isEmpty, &failure)) {
        sqlite3_close(db);
        fail(error, failure.code, prefix + failure.description);
        return false;
    }
    db_ = db;
    path_ = path;
    if (isEmpty && !createSchema(&failure)) {
        sqlite3_close(db_);
        db_ = nullptr;
        fail(error, failure.code, prefix + failure.description);
        return false;
    }
    return true;
}

// ---- ManagedObjectContext

ManagedObject* ManagedObjectContext::registerObject(const EntityDescription& entity) {
    std::unique_ptr<ManagedObject> object =
        entity.instantiate ? entity.instantiate() : std::make_unique<ManagedObject>();
    object->entity_ = &entity;
    object->context_ = this;
    objects_.push_back(std::move(object));
    return objects_.back().get();
}

bool ManagedObjectContext::isLive(const ManagedObject* object) const {
    return object->context_ == this && object->state_ != ManagedObject::State::Dropped &&
           !object->deleted_;
}

bool ManagedObjectContext::setPersistentStoreCoordinator(PersistentStoreCoordinator* coordinator,
                                                         ObjectStoreError* error) {
    coordinator_ = coordinator;
    if (!coordinator || !coordinator->db_)
        return true;
    const ManagedObjectModel& model = coordinator->model_;
    QHash<QString, QHash<qint64, ManagedObject*>> byKey;
    QList<QPair<ManagedObject*, QHash<QString, qint64>>> links;
    for (const EntityDescription& entity : model.entities) {
        QStringList columns{kPrimaryKey};
        for (const QString& attribute : entity.attributes)
            columns.append(quoted(attribute));
        const QStringList keys = foreignKeys(entity);
        for (const QString& key : keys)
            columns.append(quoted(key));
        Statement select(coordinator->db_,
                         QStringLiteral("SELECT %1 FROM %2 ORDER BY pk")
                             .arg(columns.join(QStringLiteral(", ")), quoted(entity.name)));
        if (!select.ok()) {
            fail(error, select.result(), sqliteMessage(coordinator->db_));
            return false;
        }
        int result;
        while ((result = select.step()) == SQLITE_ROW) {
            ManagedObject* object = registerObject(entity);
            object->state_ = ManagedObject::State::Persisted;
            object->primaryKey_ = select.integer(0);
            int column = 1;
            for (const QString& attribute : entity.attributes) {
                QVariant value = select.text(column++);
                if (value.isValid())
                    object->values_.insert(attribute, value);
            }
            QHash<QString, qint64> targets;
            for (const QString& key : keys) {
                if (!select.isNull(column))
                    targets.insert(key, select.integer(column));
                ++column;
            }
            links.append({object, targets});
            byKey[entity.name].insert(object->primaryKey_, object);
        }
        if (result != SQLITE_DONE) {
            fail(error, result, sqliteMessage(coordinator->db_));
            return false;
        }
    }
    for (auto& [object, targets] : links) {
        for (auto it = targets.cbegin(); it != targets.cend(); ++it) {
            const RelationshipDescription* relationship = object->entity_->relationship(it.key());
            if (ManagedObject* target =
                    byKey.value(relationship->destinationEntity).value(it.value()))
                object->toOne_.insert(it.key(), target);
        }
        object->savedValues_ = object->values_;
        object->savedToOne_ = object->toOne_;
    }
    return true;
}

ManagedObject* ManagedObjectContext::insertNewObjectForEntityForName(const QString& entityName) {
    const EntityDescription* entity =
        coordinator_ ? coordinator_->model_.entity(entityName) : nullptr;
    Q_ASSERT(entity);
    return entity ? registerObject(*entity) : nullptr;
}

void ManagedObjectContext::deleteObject(ManagedObject* object) {
    if (!object || !isLive(object))
        return;
    object->deleted_ = true;
    for (const RelationshipDescription& relationship : object->entity_->relationships) {
        if (!relationship.toMany)
            continue;
        const QList<ManagedObject*> members = object->objectsForRelationship(relationship.name);
        for (ManagedObject* member : members) {
            if (relationship.deleteRule == RelationshipDescription::DeleteRule::Cascade)
                deleteObject(member);
            else
                member->toOne_.remove(relationship.inverseName);
        }
    }
}

std::optional<QList<ManagedObject*>> ManagedObjectContext::fetchAll(const QString& entityName,
                                                                    ObjectStoreError* error) const {
    if (!coordinator_ || !coordinator_->db_) {
        fail(error, SQLITE_CANTOPEN, QStringLiteral("The project database is not open."));
        return std::nullopt;
    }
    QList<ManagedObject*> result;
    for (const auto& object : objects_) {
        if (object->entity_->name == entityName && isLive(object.get()))
            result.append(object.get());
    }
    return result;
}

int ManagedObjectContext::countForEntity(const QString& entityName,
                                         const std::function<bool(const ManagedObject*)>& predicate,
                                         ObjectStoreError* error) const {
    std::optional<QList<ManagedObject*>> all = fetchAll(entityName, error);
    if (!all)
        return -1;
    int count = 0;
    for (const ManagedObject* object : *all) {
        if (!predicate || predicate(object))
            ++count;
    }
    return count;
}

bool ManagedObjectContext::hasChanges() const {
    for (const auto& object : objects_) {
        if (object->state_ == ManagedObject::State::Dropped)
            continue;
        if (object->isInserted() || object->deleted_ || object->isUpdated())
            return true;
    }
    return false;
}

bool ManagedObjectContext::save(ObjectStoreError* error) {
    if (!coordinator_ || !coordinator_->db_) {
        fail(error, SQLITE_CANTOPEN, QStringLiteral("The project database is not open."));
        return false;
    }
    if (!hasChanges())
        return true;
    sqlite3* db = coordinator_->db_;
    if (!exec(db, QStringLiteral("BEGIN IMMEDIATE"), error))
        return false;

    // Keys are given to new records only once the transaction has committed.
    QHash<ManagedObject*, qint64> newKeys;
    auto keyOf = [&](ManagedObject* object) -> QVariant {
        if (!object || !isLive(object))
            return QVariant();
        return object->state_ == ManagedObject::State::Persisted ? object->primaryKey_
                                                                 : newKeys.value(object);
    };
    auto abandon = [&](Statement* statement) {
        fail(error, statement ? statement->result() : sqlite3_extended_errcode(db),
             sqliteMessage(db));
        exec(db, QStringLiteral("ROLLBACK"), nullptr);
        return false;
    };

    for (const auto& holder : objects_) {
        ManagedObject* object = holder.get();
        if (!object->isInserted() || object->deleted_ || object->context_ != this)
            continue;
        const EntityDescription& entity = *object->entity_;
        QStringList columns, marks;
        for (const QString& attribute : entity.attributes) {
            columns.append(quoted(attribute));
            marks.append(QStringLiteral("?"));
        }
        QString sql = columns.isEmpty()
                          ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoted(entity.name))
                          : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                .arg(quoted(entity.name), columns.join(QStringLiteral(", ")),
                                     marks.join(QStringLiteral(", ")));
        Statement insert(db, sql);
        if (!insert.ok())
            return abandon(&insert);
        int index = 1;
        for (const QString& attribute : entity.attributes)
            insert.bind(index++, object->values_.value(attribute));
        if (insert.step() != SQLITE_DONE)
            return abandon(&insert);
        newKeys.insert(object, sqlite3_last_insert_rowid(db));
    }

    for (const auto& holder : objects_) {
        ManagedObject* object = holder.get();
        if (object->state_ == ManagedObject::State::Dropped || object->deleted_ ||
            object->context_ != this)
            continue;
        if (!object->isInserted() && !object->isUpdated())
            continue;
        const EntityDescription& entity = *object->entity_;
        const QStringList keys = foreignKeys(entity);
        QStringList assignments;
        for (const QString& column : entity.attributes + keys)
            assignments.append(quoted(column) + QStringLiteral(" = ?"));
        if (assignments.isEmpty())
            continue;
        Statement update(db, QStringLiteral("UPDATE %1 SET %2 WHERE pk = ?")
                                 .arg(quoted(entity.name), assignments.join(QStringLiteral(", "))));
        if (!update.ok())
            return abandon(&update);
        int index = 1;
        for (const QString& attribute : entity.attributes)
            update.bind(index++, object->values_.value(attribute));
        for (const QString& key : keys)
            update.bind(index++, keyOf(object->toOne_.value(key)));
        update.bind(index, keyOf(object));
        if (update.step() != SQLITE_DONE)
            return abandon(&update);
    }

    for (const auto& holder : objects_) {
        ManagedObject* object = holder.get();
        if (!object->deleted_ || object->state_ != ManagedObject::State::Persisted ||
            object->context_ != this)
            continue;
        Statement remove(
            db, QStringLiteral("DELETE FROM %1 WHERE pk = ?").arg(quoted(object->entity_->name)));
        if (!remove.ok())
            return abandon(&remove);
        remove.bind(1, object->primaryKey_);
        if (remove.step() != SQLITE_DONE)
            return abandon(&remove);
    }

    if (!exec(db, QStringLiteral("COMMIT"), error)) {
        exec(db, QStringLiteral("ROLLBACK"), nullptr);
        return false;
    }

    for (const auto& holder : objects_) {
        ManagedObject* object = holder.get();
        if (object->state_ == ManagedObject::State::Dropped || object->context_ != this)
            continue;
        if (object->deleted_) {
            object->state_ = ManagedObject::State::Dropped;
            object->context_ = nullptr;
            continue;
        }
        if (object->isInserted()) {
            object->state_ = ManagedObject::State::Persisted;
            object->primaryKey_ = newKeys.value(object);
        }
        // A link to a record that is gone is dropped with it.
        for (auto it = object->toOne_.begin(); it != object->toOne_.end();) {
            if (it.value()->context_ != this || it.value()->deleted_)
                it = object->toOne_.erase(it);
            else
                ++it;
        }
        object->savedValues_ = object->values_;
        object->savedToOne_ = object->toOne_;
    }
    return true;
}

void ManagedObjectContext::rollback() {
    for (const auto& holder : objects_) {
        ManagedObject* object = holder.get();
        if (object->state_ == ManagedObject::State::Dropped || object->context_ != this)
            continue;
        if (object->isInserted()) {
            object->state_ = ManagedObject::State::Dropped;
            object->context_ = nullptr;
            continue;
        }
        object->deleted_ = false;
        object->values_ = object->savedValues_;
        object->toOne_ = object->savedToOne_;
    }
}
