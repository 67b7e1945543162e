#include "projects/ProjectStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& data) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}

// Runs SQL straight on the file, as another program would.
void runSql(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    char* message = nullptr;
    int result = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    EXPECT_EQ(result, SQLITE_OK) << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
}

int countRows(const QString& path, const char* table) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    int count = -1;
    if (sqlite3_prepare_v2(db, QByteArray("SELECT count(*) FROM ").append(table).constData(), -1,
                           &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        count = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return count;
}

QStringList titles(const ProjectStore& store) {
    QStringList result;
    auto projects = store.fetchAllProjects();
    if (projects) {
        for (Project* project : *projects)
            result.append(project->title());
    }
    return result;
}

Project* addProject(ProjectStore& store, const QString& title, const QString& port = "21") {
    Project* project = store.insertNewProject();
    project->setTitle(title);
    project->setWebsite(title.toLower() + ".example.org");
    Connection* connection = store.insertNewConnection();
    connection->setScheme("ftp");
    connection->setHost("ftp." + title.toLower() + ".example.org");
    connection->setPort(port);
    connection->setUsername("user");
    connection->setPath("/www");
    project->addConnectionsObject(connection);
    return project;
}

class ProjectStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath("Projects.sqlite"); }
};

TEST_F(ProjectStoreTest, SavedRecordsComeBackWithBothDirectionsOfTheirRelationship) {
    {
        ProjectStore store(path());
        ASSERT_FALSE(store.openingError().has_value())
            << store.openingError()->description.toStdString();
        EXPECT_EQ(titles(store), QStringList{});
        Project* project = addProject(store, "Blog");
        Connection* connection = project->connections().value(0);
        ASSERT_NE(connection, nullptr);
        EXPECT_EQ(connection->project(), project);
        connection->setPort(QString()); // none stays none, not ""
        connection->setUsername("");
        ASSERT_TRUE(store.save());
        EXPECT_FALSE(store.managedObjectContext()->hasChanges());
    }
    ProjectStore reopened(path());
    auto projects = reopened.fetchAllProjects();
    ASSERT_TRUE(projects && projects->size() == 1);
    Project* project = projects->first();
    EXPECT_EQ(project->title(), "Blog");
    EXPECT_EQ(project->website(), "blog.example.org");
    ASSERT_EQ(project->connections().size(), 1);
    Connection* connection = project->connections().first();
    EXPECT_EQ(connection->project(), project);
    EXPECT_EQ(connection->scheme(), "ftp");
    EXPECT_EQ(connection->host(), "ftp.blog.example.org");
    EXPECT_TRUE(connection->port().isNull());
    EXPECT_TRUE(connection->username().isEmpty());
    EXPECT_FALSE(connection->username().isNull());
    EXPECT_EQ(connection->path(), "/www");
    EXPECT_EQ(connection->serviceName(), "ftp://ftp.blog.example.org:(null)/www");
}

TEST_F(ProjectStoreTest, ProjectsKeepStoreOrderThroughRemovalsAndReopening) {
    {
        ProjectStore store(path());
        for (const char* title : {"Zeta", "Alpha", "Mid"})
            addProject(store, title);
        ASSERT_TRUE(store.save());
        Project* alpha = store.fetchAllProjects()->at(1);
        store.managedObjectContext()->deleteObject(alpha);
        addProject(store, "Beta");
        EXPECT_EQ(titles(store), (QStringList{"Zeta", "Mid", "Beta"}));
        ASSERT_TRUE(store.save());
        EXPECT_EQ(alpha->managedObjectContext(), nullptr);
    }
    ProjectStore reopened(path());
    EXPECT_EQ(titles(reopened), (QStringList{"Zeta", "Mid", "Beta"}));
    // The removed project's server record went with it.
    EXPECT_EQ(countRows(path(), "Connection"), 3);
}

TEST_F(ProjectStoreTest, RollbackRestoresSavedStateAndDropsNewRecords) {
    ProjectStore store(path());
    Project* kept = addProject(store, "Kept");
    Project* removed = addProject(store, "Removed");
    ASSERT_TRUE(store.save());
    const QByteArray before = readAll(path());

    Project* fresh = addProject(store, "Fresh");
    Connection* freshConnection = fresh->connections().first();
    kept->setTitle("Renamed");
    kept->connections().first()->setHost("changed.example.org");
    Connection* moved = removed->connections().first();
    moved->setProject(kept);
    store.managedObjectContext()->deleteObject(removed);
    EXPECT_EQ(titles(store), (QStringList{"Renamed", "Fresh"}));
    EXPECT_EQ(kept->connections().size(), 2);

    store.managedObjectContext()->rollback();
    EXPECT_EQ(titles(store), (QStringList{"Kept", "Removed"}));
    EXPECT_EQ(kept->connections().first()->host(), "ftp.kept.example.org");
    EXPECT_EQ(kept->connections().size(), 1);
    EXPECT_EQ(moved->project(), removed);
    EXPECT_EQ(fresh->managedObjectContext(), nullptr);
    EXPECT_EQ(freshConnection->managedObjectContext(), nullptr);
    EXPECT_TRUE(store.projectTitleIsAvailable("Fresh"));
    EXPECT_FALSE(store.managedObjectContext()->hasChanges());

    // Nothing reached the file, and a save after the rollback writes nothing new either.
    EXPECT_EQ(readAll(path()), before);
    ASSERT_TRUE(store.save());
    ProjectStore reopened(path());
    EXPECT_EQ(titles(reopened), (QStringList{"Kept", "Removed"}));
    EXPECT_EQ(countRows(path(), "Connection"), 2);
}

TEST_F(ProjectStoreTest, TitleAvailabilityIsExactAndSeesUnsavedRecords) {
    ProjectStore store(path());
    addProject(store, "Site");
    ASSERT_TRUE(store.save());
    addProject(store, "Draft");
    struct Case {
        QString title;
        bool available;
    };
    const Case cases[] = {{"Site", false},  {"site", true}, {"SITE", true}, {"Site ", true},
                          {"Draft", false}, {"", true},     {"Sit", true}};
    for (const Case& c : cases)
        EXPECT_EQ(store.projectTitleIsAvailable(c.title), c.available) << c.title.toStdString();
}

TEST_F(ProjectStoreTest, SaveIsOneTransaction) {
    {
        ProjectStore store(path());
        addProject(store, "Existing");
        ASSERT_TRUE(store.save());
    }
    // Another program makes inserting a server record fail half way through a save.
    runSql(path(), "CREATE TRIGGER refuse BEFORE INSERT ON Connection BEGIN SELECT RAISE(ABORT, "
                   "'refused'); END;");
    ProjectStore store(path());
    ASSERT_FALSE(store.openingError().has_value())
        << store.openingError()->description.toStdString();
    store.fetchAllProjects()->first()->setWebsite("changed.example.org");
    addProject(store, "New");
    Error error;
    EXPECT_FALSE(store.save(&error));
    EXPECT_EQ(error.domain, ProjectStore::errorDomain);
    EXPECT_TRUE(error.description.contains("refused")) << error.description.toStdString();
    EXPECT_TRUE(store.managedObjectContext()->hasChanges());
    EXPECT_EQ(countRows(path(), "Project"), 1);

    ProjectStore reopened(path());
    EXPECT_EQ(titles(reopened), QStringList{"Existing"});
    EXPECT_EQ(reopened.fetchAllProjects()->first()->website(), "existing.example.org");
}

TEST_F(ProjectStoreTest, SaveCutShortByACrashIsRolledBackAtTheNextOpening) {
    {
        ProjectStore store(path());
        addProject(store, "Before");
        ASSERT_TRUE(store.save());
    }
    // A process dies in the middle of a large save, after some pages reached the file.
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        sqlite3* db = nullptr;
        sqlite3_open(QFile::encodeName(path()).constData(), &db);
        sqlite3_exec(
            db,
            "PRAGMA cache_size = 1; BEGIN;"
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000)"
            "  INSERT INTO Project (title, website) SELECT 'crash ' || i, hex(randomblob(64)) FROM "
            "n;",
            nullptr, nullptr, nullptr);
        ::_exit(QFile::exists(path() + "-journal") ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "no journal was left behind";

    ProjectStore store(path());
    EXPECT_FALSE(store.openingError().has_value())
        << store.openingError()->description.toStdString();
    EXPECT_EQ(titles(store), QStringList{"Before"});
}

TEST_F(ProjectStoreTest, UnusableFilesAreRefusedAndLeftByteIdentical) {
    // A database of some other program.
    const QString foreign = dir.filePath("foreign.sqlite");
    runSql(foreign, "CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT); INSERT INTO notes "
                    "VALUES (1, 'x');");
    // Our table names, but written by someone else.
    const QString lookalike = dir.filePath("lookalike.sqlite");
    runSql(lookalike, "CREATE TABLE Project (pk INTEGER PRIMARY KEY, title TEXT, website TEXT);"
                      "CREATE TABLE Connection (pk INTEGER PRIMARY KEY, scheme TEXT);");
    // A store of ours whose tables lost a column.
    const QString damaged = dir.filePath("damaged.sqlite");
    {
        ProjectStore store(damaged);
        addProject(store, "Site");
        ASSERT_TRUE(store.save());
    }
    runSql(damaged, "ALTER TABLE Connection DROP COLUMN path;");
    // Not a database at all, and a database whose pages were overwritten.
    const QString text = dir.filePath("text.sqlite");
    writeAll(text, "These are not the records you are looking for.\n");
    const QString garbled = dir.filePath("garbled.sqlite");
    {
        ProjectStore store(garbled);
        addProject(store, "Site");
        ASSERT_TRUE(store.save());
    }
    QByteArray bytes = readAll(garbled);
    for (qsizetype i = 16; i < bytes.size(); ++i)
        bytes[i] = char(i * 7);
    writeAll(garbled, bytes);

    for (const QString& file : {foreign, lookalike, damaged, text, garbled}) {
        SCOPED_TRACE(file.toStdString());
        const QByteArray before = readAll(file);
        {
            ProjectStore store(file);
            ASSERT_TRUE(store.openingError().has_value());
            EXPECT_TRUE(store.openingError()->description.contains(file));
            EXPECT_FALSE(store.fetchAllProjects().has_value());
            EXPECT_FALSE(store.projectTitleIsAvailable("Anything"));
            addProject(store, "Another");
            EXPECT_FALSE(store.save());
        }
        EXPECT_EQ(readAll(file), before);
        EXPECT_FALSE(QFile::exists(file + "-journal"));
    }
}

TEST_F(ProjectStoreTest, SharedInstanceLivesInTheLibraryFolder) {
    qputenv("QUORVEL_HOME", dir.path().toUtf8());
    ProjectStore::resetSharedInstance();
    ProjectStore* store = ProjectStore::sharedInstance();
    EXPECT_EQ(ProjectStore::sharedInstance(), store);
    EXPECT_FALSE(store->openingError().has_value());
    EXPECT_TRUE(QFile::exists(dir.filePath("Library/Projects.sqlite")));
    ProjectStore::resetSharedInstance();
    qunsetenv("QUORVEL_HOME");
}

} // namespace
