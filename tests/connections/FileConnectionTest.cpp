#include "connections/FileConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

#include <sys/resource.h>
#include <sys/stat.h>

namespace {

// Writes down every callback in the order it arrives.
class RecordingDelegate : public AbstractConnectionProtocolDelegate {
public:
    QStringList events;

    void connectionWillStartRequest(AbstractConnectionProtocol*) override {
        events << QStringLiteral("will");
    }
    void connectionDidFinishRequest(AbstractConnectionProtocol*) override {
        events << QStringLiteral("finish");
    }
    void connectionWillGetContentsOfDirectoryAtPath(AbstractConnectionProtocol*,
                                                    const QString& path) override {
        events << QStringLiteral("willList ") + path;
    }
    void connectionDidGetContentsOfDirectory(AbstractConnectionProtocol*,
                                             const QList<ConnectionItemAttributes>&,
                                             const QString& path) override {
        events << QStringLiteral("didList ") + path;
    }
    void connectionDidCreateDirectoryAtPath(AbstractConnectionProtocol*,
                                            const QString& path) override {
        events << QStringLiteral("didCreateDirectory ") + path;
    }
    void connectionDidCreateFileAtPath(AbstractConnectionProtocol*, const QString& path,
                                       const std::optional<QByteArray>& contents) override {
        events << QStringLiteral("didCreateFile %1 %2")
                      .arg(path,
                           contents ? QString::fromUtf8(*contents) : QStringLiteral("(none)"));
    }
    void connectionDidMoveItemAtPath(AbstractConnectionProtocol*, const QString& from,
                                     const QString& to) override {
        events << QStringLiteral("didMove %1 %2").arg(from, to);
    }
    void connectionDidRemoveItemAtPath(AbstractConnectionProtocol*, const QString& path) override {
        events << QStringLiteral("didRemove ") + path;
    }
};

const Error untouched{QStringLiteral("untouched"), 42, QStringLiteral("sentinel")};

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QStringList namesIn(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Makes writes of more than `limit` bytes fail part-way (EFBIG) for as long as it lives, the
// way a full disk or a quota cuts a save short.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = m_saved;
        lowered.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }

private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = nullptr;
};

class FileConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_root.isValid());
        m_base = m_root.filePath(QStringLiteral("Site"));
        ASSERT_TRUE(QDir().mkpath(m_base));
        m_connection.setScheme(QStringLiteral("file"));
        m_connection.setHost(QStringLiteral("localhost"));
        m_connection.setBasePath(m_base);
        m_connection.setDelegate(&m_delegate);
    }

    QString inBase(const QString& relative) const { return m_base + QLatin1Char('/') + relative; }

    QTemporaryDir m_root;
    QString m_base;
    FileConnection m_connection;
    RecordingDelegate m_delegate;
};

TEST_F(FileConnectionTest, ConnectsWithoutCallbacksAndStartsAtRoot) {
    Error error = untouched;
    EXPECT_TRUE(m_connection.connectError(&error));
    EXPECT_EQ(error, untouched);
    EXPECT_TRUE(m_delegate.events.isEmpty());
    EXPECT_EQ(m_connection.entryPath(), "/");
    EXPECT_TRUE(m_connection.transcript().isNull());
}

TEST_F(FileConnectionTest, ListingGivesNamesTypesSizesAndDates) {
    writeFile(inBase("index.html"), "<html></html>");
    writeFile(inBase("css/site.css"), "body{}");
    writeFile(inBase(".htaccess"), "x");
    const QDateTime before = QFileInfo(inBase("index.html")).lastModified().toUTC();

    for (const char* path : {"/", "", ".", "css/.."}) {
        SCOPED_TRACE(path);
        m_delegate.events.clear();
        Error error = untouched;
        const auto contents =
            m_connection.contentsOfDirectoryAtPath(QString::fromUtf8(path), &error);
        ASSERT_TRUE(contents);
        EXPECT_EQ(error, untouched);
        EXPECT_EQ(m_delegate.events, QStringList({"will", "finish"}));

        QMap<QString, ConnectionItemAttributes> byName;
        for (const ConnectionItemAttributes& record : *contents)
            byName.insert(record.name, record);
        EXPECT_EQ(byName.keys(), QStringList({".htaccess", "css", "index.html"}));
        EXPECT_EQ(byName["css"].type, "directory");
        EXPECT_EQ(byName["index.html"].type, "file");
        EXPECT_EQ(byName["index.html"].size, 13);
        ASSERT_TRUE(byName["index.html"].mdate);
        EXPECT_EQ(byName["index.html"].mdate->toSecsSinceEpoch(), before.toSecsSinceEpoch());
        for (const ConnectionItemAttributes& record : *contents) {
            EXPECT_TRUE(record.size && record.mdate) << record.name.toStdString();
            EXPECT_FALSE(record.link);
            EXPECT_FALSE(record.isLink);
        }
    }
}

TEST_F(FileConnectionTest, ListingAnEmptyFolderIsAnEmptyListAndAMissingOneFails) {
    QDir(m_base).mkdir("empty");
    Error error = untouched;
    const auto empty = m_connection.contentsOfDirectoryAtPath("/empty", &error);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->isEmpty());
    EXPECT_EQ(error, untouched);

    m_delegate.events.clear();
    EXPECT_FALSE(m_connection.contentsOfDirectoryAtPath("/missing", &error));
    EXPECT_EQ(error.domain, ConnectionFileSystemErrorDomain);
    EXPECT_EQ(error.code, ENOENT);
    EXPECT_FALSE(error.description.isEmpty());
    EXPECT_EQ(m_delegate.events, QStringList({"will", "finish"}));

    writeFile(inBase("plain.txt"), "x");
    EXPECT_FALSE(m_connection.contentsOfDirectoryAtPath("/plain.txt", &error));
    EXPECT_EQ(error.code, ENOTDIR);
}

TEST_F(FileConnectionTest, SymbolicLinksAreListedAsFilesWithTheirOwnSizeAndDate) {
    QDir(m_base).mkdir("public_html");
    writeFile(inBase("public_html/index.html"), QByteArray(5000, 'x'));
    ASSERT_TRUE(QFile::link("public_html", inBase("www")));
    ASSERT_TRUE(QFile::link("nowhere", inBase("dangling")));

    const auto contents = m_connection.contentsOfDirectoryAtPath("/");
    ASSERT_TRUE(contents);
    QMap<QString, ConnectionItemAttributes> byName;
    for (const ConnectionItemAttributes& record : *contents)
        byName.insert(record.name, record);
    ASSERT_EQ(byName.keys(), QStringList({"dangling", "public_html", "www"}));
    for (const char* link : {"www", "dangling"}) {
        SCOPED_TRACE(link);
        struct stat status;
        ASSERT_EQ(::lstat(QFile::encodeName(inBase(link)).constData(), &status), 0);
        EXPECT_EQ(byName[link].type, "file");
        EXPECT_EQ(byName[link].size, int64_t(status.st_size));
        EXPECT_EQ(byName[link].mdate->toSecsSinceEpoch(), status.st_mtim.tv_sec);
    }

    const auto attributes = m_connection.attributesOfItemAtPath("www");
    ASSERT_TRUE(attributes);
    EXPECT_EQ(attributes->type, "file");
}

TEST_F(FileConnectionTest, ReadingAFile) {
    writeFile(inBase("notes.txt"), "hello\r\nworld");
    writeFile(inBase("empty.txt"), "");
    QDir(m_base).mkdir("folder");

    Error error = untouched;
    EXPECT_EQ(m_connection.contentsOfFileAtPath("/notes.txt", &error),
              QByteArray("hello\r\nworld"));
    EXPECT_EQ(m_connection.contentsOfFileAtPath("empty.txt", &error), QByteArray(""));
    EXPECT_EQ(error, untouched);
    EXPECT_EQ(m_delegate.events, QStringList({"will", "finish", "will", "finish"}));

    for (const char* path : {"missing.txt", "folder"}) {
        SCOPED_TRACE(path);
        m_delegate.events.clear();
        error = untouched;
        EXPECT_FALSE(m_connection.contentsOfFileAtPath(path, &error));
        EXPECT_EQ(error, (Error{ConnectionGenericErrorDomain, 1001,
                                "Couldn't retrieve contents of file."}));
        EXPECT_EQ(m_delegate.events, QStringList({"will", "finish"}));
    }
}

TEST_F(FileConnectionTest, AttributesNameTheLastComponentAndReportMissingEntries) {
    writeFile(inBase("css/site.css"), "body{}");

    Error error = untouched;
    auto record = m_connection.attributesOfItemAtPath("/css/site.css", &error);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->name, "site.css");
    EXPECT_EQ(record->type, "file");
    EXPECT_EQ(record->size, 6);
    EXPECT_EQ(error, untouched);
    EXPECT_EQ(m_delegate.events, QStringList({"will", "finish"}));

    record = m_connection.attributesOfItemAtPath("/", &error);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->name, "Site");
    EXPECT_EQ(record->type, "directory");

    m_delegate.events.clear();
    EXPECT_FALSE(m_connection.attributesOfItemAtPath("/css/gone.css", &error));
    EXPECT_EQ(error.domain, ConnectionFileSystemErrorDomain);
    EXPECT_EQ(error.code, ENOENT);
    EXPECT_EQ(m_delegate.events, QStringList({"will", "finish"}));
}

TEST_F(FileConnectionTest, CreatingFolders) {
    Error error = untouched;
    EXPECT_TRUE(m_connection.createDirectoryAtPath("/a/b/c", &error));
    EXPECT_TRUE(QFileInfo(inBase("a/b/c")).isDir());
    EXPECT_TRUE(m_connection.createDirectoryAtPath("a/b", &error));
    EXPECT_EQ(error, untouched);
    EXPECT_EQ(m_delegate.events, QStringList({"will", "didCreateDirectory " + inBase("a/b/c"),
                                              "will", "didCreateDirectory " + inBase("a/b")}));

    // A file in the way fails, and the callback still follows.
    writeFile(inBase("taken"), "x");
    m_delegate.events.clear();
    EXPECT_FALSE(m_connection.createDirectoryAtPath("taken", &error));
    EXPECT_EQ(error.domain, ConnectionFileSystemErrorDomain);
    EXPECT_NE(error.code, 0);
    EXPECT_EQ(readFile(inBase("taken")), "x");
    EXPECT_EQ(m_delegate.events, QStringList({"will", "didCreateDirectory " + inBase("taken")}));
}

TEST_F(FileConnectionTest, CreatingFiles) {
    struct Case {
        const char* path;
        std::optional<QByteArray> contents;
        QByteArray expected;
        const char* reported;
    };
    writeFile(inBase("old.html"), "previous contents that are longer");
    const Case cases[] = {
        {"new.html", QByteArray("<p>new</p>"), "<p>new</p>", "<p>new</p>"},
        {"/nothing.txt", std::nullopt, "", "(none)"},
        {"empty.txt", QByteArray(""), "", ""},
        {"old.html", QByteArray("short"), "short", "short"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        m_delegate.events.clear();
        Error error = untouched;
        EXPECT_TRUE(m_connection.createFileAtPath(c.path, c.contents, &error));
        EXPECT_EQ(error, untouched);
        QString relative = QString::fromUtf8(c.path);
        if (relative.startsWith(QLatin1Char('/')))
            relative.remove(0, 1);
        const QString full = inBase(relative);
        EXPECT_EQ(readFile(full), c.expected);
        EXPECT_EQ(
            m_delegate.events,
            QStringList({"will", QStringLiteral("didCreateFile %1 %2").arg(full, c.reported)}));
    }
    // Nothing but the files themselves is left in the folder.
    EXPECT_EQ(namesIn(m_base), QStringList({"empty.txt", "new.html", "nothing.txt", "old.html"}));
}

TEST_F(FileConnectionTest, ReplacingAFileKeepsItsPermissions) {
    writeFile(inBase("run.cgi"), "old");
    const QByteArray path = QFile::encodeName(inBase("run.cgi"));
    ASSERT_EQ(::chmod(path.constData(), 0740), 0);
    ASSERT_TRUE(m_connection.createFileAtPath("run.cgi", QByteArray("new")));
    struct stat status;
    ASSERT_EQ(::stat(path.constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0740u);
    EXPECT_EQ(readFile(inBase("run.cgi")), "new");
}

TEST_F(FileConnectionTest, AFailedCreateReportsAndStillCallsBack) {
    Error error = untouched;
    EXPECT_FALSE(m_connection.createFileAtPath("no/such/folder/x.txt", QByteArray("x"), &error));
    EXPECT_EQ(error, (Error{ConnectionGenericErrorDomain, 1001,
                            "Operation failed: Couldn't create file."}));
    EXPECT_EQ(m_delegate.events,
              QStringList({"will", "didCreateFile " + inBase("no/such/folder/x.txt") + " x"}));

    QDir(m_base).mkdir("folder");
    EXPECT_FALSE(m_connection.createFileAtPath("folder", QByteArray("x"), &error));
    EXPECT_TRUE(QFileInfo(inBase("folder")).isDir());
}

TEST_F(FileConnectionTest, AWriteCutShortLeavesTheOldFileWhole) {
    const QByteArray original(3000, 'o');
    writeFile(inBase("index.html"), original);
    Error error = untouched;
    bool created = true;
    {
        FileSizeLimit limit(4096);
        created = m_connection.createFileAtPath("index.html", QByteArray(64 * 1024, 'n'), &error);
    }
    EXPECT_FALSE(created);
    EXPECT_EQ(error.code, 1001);
    EXPECT_EQ(readFile(inBase("index.html")), original);
    EXPECT_EQ(namesIn(m_base), QStringList({"index.html"}));
}

TEST_F(FileConnectionTest, Moving) {
    writeFile(inBase("a.txt"), "a");
    writeFile(inBase("b.txt"), "b");
    QDir(m_base).mkdir("dir");

    Error error = untouched;
    EXPECT_TRUE(m_connection.moveItemAtPath("/a.txt", "dir/c.txt", &error));
    EXPECT_EQ(error, untouched);
    EXPECT_EQ(readFile(inBase("dir/c.txt")), "a");
    EXPECT_FALSE(QFileInfo::exists(inBase("a.txt")));
    EXPECT_EQ(m_delegate.events, QStringList({"will", "didMove /a.txt dir/c.txt"}));

    // An existing target is not replaced; the callback follows all the same.
    m_delegate.events.clear();
    EXPECT_FALSE(m_connection.moveItemAtPath("b.txt", "/dir/c.txt", &error));
    EXPECT_EQ(error.domain, ConnectionFileSystemErrorDomain);
    EXPECT_EQ(error.code, EEXIST);
    EXPECT_EQ(readFile(inBase("b.txt")), "b");
    EXPECT_EQ(readFile(inBase("dir/c.txt")), "a");
    EXPECT_EQ(m_delegate.events, QStringList({"will", "didMove b.txt /dir/c.txt"}));

    m_delegate.events.clear();
    EXPECT_FALSE(m_connection.moveItemAtPath("gone.txt", "here.txt", &error));
    EXPECT_EQ(error.code, ENOENT);
    EXPECT_EQ(m_delegate.events, QStringList({"will", "didMove gone.txt here.txt"}));

    EXPECT_TRUE(m_connection.moveItemAtPath("dir", "renamed dir"));
    EXPECT_EQ(readFile(inBase("renamed dir/c.txt")), "a");
}

TEST_F(FileConnectionTest, MovingAcrossFileSystemsCopiesThenRemoves) {
    QTemporaryDir elsewhere(QStringLiteral("/dev/shm/quorvel-XXXXXX"));
    struct stat here, there;
    if (!elsewhere.isValid() || ::stat(QFile::encodeName(m_base).constData(), &here) != 0 ||
        ::stat(QFile::encodeName(elsewhere.path()).constData(), &there) != 0 ||
        here.st_dev == there.st_dev)
        GTEST_SKIP() << "no second file system to move across";
    ASSERT_TRUE(QFile::link(elsewhere.path(), inBase("mounted")));
    writeFile(elsewhere.filePath("tree/a.txt"), "a");
    writeFile(inBase("b.txt"), "b");

    Error error = untouched;
    EXPECT_TRUE(m_connection.moveItemAtPath("mounted/tree", "tree", &error));
    EXPECT_EQ(readFile(inBase("tree/a.txt")), "a");
    EXPECT_FALSE(QFileInfo::exists(elsewhere.filePath("tree")));
    EXPECT_TRUE(m_connection.moveItemAtPath("b.txt", "mounted/b.txt", &error));
    EXPECT_EQ(readFile(elsewhere.filePath("b.txt")), "b");
    EXPECT_EQ(error, untouched);

    writeFile(inBase("c.txt"), "c");
    EXPECT_FALSE(m_connection.moveItemAtPath("c.txt", "mounted/b.txt", &error));
    EXPECT_EQ(error.code, EEXIST);
    EXPECT_EQ(readFile(elsewhere.filePath("b.txt")), "b");
    EXPECT_EQ(readFile(inBase("c.txt")), "c");
}

TEST_F(FileConnectionTest, Removing) {
    writeFile(inBase("tree/a/b/c.txt"), "c");
    writeFile(inBase("tree/d.txt"), "d");
    writeFile(inBase("single.txt"), "s");
    // A link inside the removed tree goes; what it points at stays.
    writeFile(inBase("keep/precious.txt"), "p");
    ASSERT_TRUE(QFile::link("../keep", inBase("tree/link")));

    Error error = untouched;
    EXPECT_TRUE(m_connection.removeItemAtPath("/tree", &error));
    EXPECT_TRUE(m_connection.removeItemAtPath("single.txt", &error));
    EXPECT_EQ(error, untouched);
    EXPECT_EQ(namesIn(m_base), QStringList({"keep"}));
    EXPECT_EQ(readFile(inBase("keep/precious.txt")), "p");
    EXPECT_EQ(m_delegate.events, QStringList({"will", "didRemove " + inBase("tree"), "will",
                                              "didRemove " + inBase("single.txt")}));

    m_delegate.events.clear();
    EXPECT_FALSE(m_connection.removeItemAtPath("single.txt", &error));
    EXPECT_EQ(error.domain, ConnectionFileSystemErrorDomain);
    EXPECT_EQ(error.code, ENOENT);
    EXPECT_EQ(m_delegate.events, QStringList({"will", "didRemove " + inBase("single.txt")}));
}

TEST_F(FileConnectionTest, UploadDoesNothing) {
    const QString outside = m_root.filePath("device.txt");
    writeFile(outside, "x");
    Error error = untouched;
    EXPECT_FALSE(m_connection.uploadFileFromPath(outside, "device.txt", &error));
    EXPECT_EQ(error, untouched);
    EXPECT_TRUE(m_delegate.events.isEmpty());
    EXPECT_TRUE(namesIn(m_base).isEmpty());
}

TEST_F(FileConnectionTest, DownloadCopiesAndReplaces) {
    writeFile(inBase("css/site.css"), "body{}");
    writeFile(inBase("img/logo.svg"), "<svg/>");
    const QString target = m_root.filePath("out/site.css");
    writeFile(target, "an older and longer copy");

    Error error = untouched;
    EXPECT_TRUE(m_connection.downloadFileFromPath("/css/site.css", target, &error));
    EXPECT_EQ(readFile(target), "body{}");
    // A folder copies whole, and replaces a file of the same name.
    EXPECT_TRUE(m_connection.downloadFileFromPath("img", m_root.filePath("out/site.css"), &error));
    EXPECT_EQ(readFile(m_root.filePath("out/site.css/logo.svg")), "<svg/>");
    EXPECT_EQ(error, untouched);
    EXPECT_TRUE(m_delegate.events.isEmpty());
    EXPECT_EQ(namesIn(m_root.filePath("out")), QStringList({"site.css"}));
    EXPECT_EQ(readFile(inBase("css/site.css")), "body{}");
}

TEST_F(FileConnectionTest, AFailedDownloadLeavesTheTargetAlone) {
    const QString target = m_root.filePath("out/page.html");
    writeFile(target, "the only copy");
    writeFile(inBase("big.html"), QByteArray(64 * 1024, 'b'));

    Error error = untouched;
    EXPECT_FALSE(m_connection.downloadFileFromPath("missing.html", target, &error));
    EXPECT_FALSE(
        m_connection.downloadFileFromPath("big.html", m_root.filePath("nowhere/x.html"), &error));
    EXPECT_FALSE(QFileInfo::exists(m_root.filePath("nowhere")));
    bool copied = true;
    {
        FileSizeLimit limit(4096);
        copied = m_connection.downloadFileFromPath("big.html", target, &error);
    }
    EXPECT_FALSE(copied);
    EXPECT_EQ(error, untouched);
    EXPECT_TRUE(m_delegate.events.isEmpty());
    EXPECT_EQ(readFile(target), "the only copy");
    EXPECT_EQ(namesIn(m_root.filePath("out")), QStringList({"page.html"}));
}

TEST_F(FileConnectionTest, PathsThatClimbOutOfTheFolderAreRefused) {
    const QString outside = m_root.filePath("outside.txt");
    writeFile(outside, "outside");
    writeFile(inBase("inside.txt"), "inside");
    QDir(m_base).mkdir("sub");

    using Operation = std::function<bool(FileConnection&, const QString&, Error*)>;
    const std::pair<const char*, Operation> operations[] = {
        {"list", [](FileConnection& c, const QString& p,
                    Error* e) { return bool(c.contentsOfDirectoryAtPath(p, e)); }},
        {"read", [](FileConnection& c, const QString& p,
                    Error* e) { return bool(c.contentsOfFileAtPath(p, e)); }},
        {"attributes", [](FileConnection& c, const QString& p,
                          Error* e) { return bool(c.attributesOfItemAtPath(p, e)); }},
        {"mkdir", [](FileConnection& c, const QString& p,
                     Error* e) { return c.createDirectoryAtPath(p, e); }},
        {"create", [](FileConnection& c, const QString& p,
                      Error* e) { return c.createFileAtPath(p, QByteArray("overwritten"), e); }},
        {"move from", [](FileConnection& c, const QString& p,
                         Error* e) { return c.moveItemAtPath(p, "moved.txt", e); }},
        {"move to", [](FileConnection& c, const QString& p,
                       Error* e) { return c.moveItemAtPath("inside.txt", p, e); }},
        {"remove",
         [](FileConnection& c, const QString& p, Error* e) { return c.removeItemAtPath(p, e); }},
        {"download",
         [](FileConnection& c, const QString& p, Error* e) {
             return c.downloadFileFromPath(p, QDir::temp().filePath("quorvel-never-written"), e);
         }},
    };
    const char* paths[] = {"..",
                           "../outside.txt",
                           "/../outside.txt",
                           "sub/../../outside.txt",
                           "./../outside.txt",
                           "sub/../..",
                           "a/b/../../../outside.txt",
                           "../Site/../outside.txt"};
    for (const auto& [name, operation] : operations) {
        for (const char* path : paths) {
            SCOPED_TRACE(std::string(name) + " " + path);
            m_delegate.events.clear();
            Error error = untouched;
            EXPECT_FALSE(operation(m_connection, QString::fromUtf8(path), &error));
            EXPECT_EQ(error.domain, ConnectionGenericErrorDomain);
            EXPECT_EQ(error.code, ConnectionInvalidPathErrorCode);
            EXPECT_TRUE(error.description.startsWith("Invalid path"))
                << error.description.toStdString();
            EXPECT_TRUE(m_delegate.events.isEmpty());
        }
    }
    EXPECT_EQ(readFile(outside), "outside");
    EXPECT_EQ(readFile(inBase("inside.txt")), "inside");
    EXPECT_EQ(namesIn(m_root.path()), QStringList({"Site", "outside.txt"}));
    EXPECT_EQ(namesIn(m_base), QStringList({"inside.txt", "sub"}));
    EXPECT_FALSE(QFileInfo::exists(QDir::temp().filePath("quorvel-never-written")));
}

TEST_F(FileConnectionTest, DotDotThatStaysInsideIsAccepted) {
    writeFile(inBase("css/site.css"), "body{}");
    EXPECT_EQ(m_connection.contentsOfFileAtPath("img/../css/site.css"), QByteArray("body{}"));
    EXPECT_EQ(m_connection.fullPathForPath("css/./../css//site.css/"), inBase("css/site.css"));
    EXPECT_EQ(m_connection.fullPathForPath("/"), m_base);
    EXPECT_EQ(m_connection.fullPathForPath("css/.."), m_base);
}

TEST_F(FileConnectionTest, CallbacksAreOptional) {
    m_connection.setDelegate(nullptr);
    writeFile(inBase("a.txt"), "a");
    EXPECT_TRUE(m_connection.contentsOfDirectoryAtPath("/"));
    EXPECT_TRUE(m_connection.createDirectoryAtPath("d"));
    EXPECT_TRUE(m_connection.createFileAtPath("d/f", QByteArray("f")));
    EXPECT_TRUE(m_connection.moveItemAtPath("d/f", "d/g"));
    EXPECT_TRUE(m_connection.removeItemAtPath("d"));

    // A delegate that overrides nothing is as good as none.
    AbstractConnectionProtocolDelegate silent;
    m_connection.setDelegate(&silent);
    EXPECT_TRUE(m_connection.createFileAtPath("b.txt", QByteArray("b")));
}

} // namespace
