#include "connections/FileConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

std::string encoded(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString lastComponent(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

void setFileSystemError(Error* error, int code, const QString& path) {
    setError(error, ConnectionFileSystemErrorDomain, code,
             QStringLiteral("%1: “%2”")
                 .arg(QString::fromStdString(std::generic_category().message(code)),
                      lastComponent(path)));
}

// The record of one entry, from the entry itself (a symbolic link is not followed, so it is
// reported as a file with its own size and date). Sets errno on failure.
std::optional<ConnectionItemAttributes> recordForEntry(const QString& fullPath,
                                                       const QString& name) {
    struct stat status;
    if (::lstat(encoded(fullPath).c_str(), &status) != 0)
        return std::nullopt;
    ConnectionItemAttributes record;
    record.name = name;
    record.type = S_ISDIR(status.st_mode) ? ConnectionItemAttributes::typeDirectory()
                                          : ConnectionItemAttributes::typeFile();
    record.size = int64_t(status.st_size);
    record.mdate = QDateTime::fromMSecsSinceEpoch(
        qint64(status.st_mtim.tv_sec) * 1000 + status.st_mtim.tv_nsec / 1000000, Qt::UTC);
    return record;
}

bool entryExists(const std::string& path) {
    struct stat status;
    return ::lstat(path.c_str(), &status) == 0;
}

// A name beside `path` that nothing uses yet, for work that is renamed into place.
std::string scratchPathBeside(const QString& path, const char* purpose) {
    const QFileInfo info(path);
    for (;;) {
        const QString name =
            QStringLiteral(".%1.%2-%3")
                .arg(info.fileName(), QLatin1String(purpose))
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        const std::string candidate = encoded(info.dir().filePath(name));
        if (!entryExists(candidate))
            return candidate;
    }
}

// Moves `from` onto `to`, replacing whatever is there (a file or a whole folder). The old
// target is only deleted once the new entry is in place; on failure it is put back.
bool replaceEntry(const std::string& from, const std::string& to, const QString& toPath) {
    if (::rename(from.c_str(), to.c_str()) == 0)
        return true;
    if (errno != EISDIR && errno != ENOTDIR && errno != ENOTEMPTY && errno != EEXIST)
        return false;
    const std::string aside = scratchPathBeside(toPath, "old");
    if (::rename(to.c_str(), aside.c_str()) != 0)
        return false;
    if (::rename(from.c_str(), to.c_str()) != 0) {
        ::rename(aside.c_str(), to.c_str());
        return false;
    }
    std::error_code ignored;
    fs::remove_all(aside, ignored);
    return true;
}

} // namespace

FileConnection::FileConnection() {
    setEntryPath(QStringLiteral("/"));
}

FileConnection::~FileConnection() = default;

const ConnectionClass& FileConnection::connectionClass() {
    static const ConnectionClass answer{QStringLiteral("File"), QStringLiteral("file"), QString(),
                                        []() -> std::shared_ptr<AbstractConnectionProtocol> {
                                            return std::make_shared<FileConnection>();
                                        }};
    return answer;
}

std::optional<QString> FileConnection::fullPathForPath(const QString& path, Error* error) const {
    const auto refuse = [&](const QString& why) -> std::optional<QString> {
        setError(error, ConnectionGenericErrorDomain, ConnectionInvalidPathErrorCode,
                 QStringLiteral("Invalid path: “%1” %2.").arg(path, why));
        return std::nullopt;
    };
    if (path.contains(QChar(0)))
        return refuse(QStringLiteral("contains a NUL character"));

    // ".." is resolved here, by the names, so the file system never climbs through a
    // symbolic link or out of the folder.
    QStringList components;
    for (const QString& component : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (component == QLatin1String("."))
            continue;
        if (component == QLatin1String("..")) {
            if (components.isEmpty())
                return refuse(QStringLiteral("leads outside the folder"));
            components.removeLast();
            continue;
        }
        components.append(component);
    }

    QString fullPath = basePath();
    while (fullPath.size() > 1 && fullPath.endsWith(QLatin1Char('/')))
        fullPath.chop(1);
    for (const QString& component : components) {
        if (!fullPath.isEmpty() && !fullPath.endsWith(QLatin1Char('/')))
            fullPath += QLatin1Char('/');
        fullPath += component;
    }
    return fullPath;
}

std::optional<QString> FileConnection::beginRequest(const QString& path, Error* error) {
    std::optional<QString> fullPath = fullPathForPath(path, error);
    if (fullPath && delegate())
        delegate()->connectionWillStartRequest(this);
    return fullPath;
}

bool FileConnection::connectError(Error* /*error*/) {
    return true;
}

std::optional<QList<ConnectionItemAttributes>>
FileConnection::contentsOfDirectoryAtPath(const QString& path, Error* error) {
    const std::optional<QString> fullPath = beginRequest(path, error);
    if (!fullPath)
        return std::nullopt;
    AbstractConnectionProtocolDelegate* const listener = delegate();

    std::optional<QList<ConnectionItemAttributes>> contents;
    std::error_code failure;
    fs::directory_iterator entries(encoded(*fullPath), failure);
    if (failure) {
        setFileSystemError(error, failure.value(), *fullPath);
    } else {
        contents.emplace();
        for (; entries != fs::directory_iterator(); entries.increment(failure)) {
            const QString name = QFile::decodeName(entries->path().filename().c_str());
            // An entry that vanished since the directory was read is left out.
            if (std::optional<ConnectionItemAttributes> record =
                    recordForEntry(*fullPath + QLatin1Char('/') + name, name))
                contents->append(*record);
        }
        if (failure) {
            setFileSystemError(error, failure.value(), *fullPath);
            contents.reset();
        }
    }

    if (listener)
        listener->connectionDidFinishRequest(this);
    return contents;
}

std::optional<QByteArray> FileConnection::contentsOfFileAtPath(const QString& path, Error* error) {
    const std::optional<QString> fullPath = beginRequest(path, error);
    if (!fullPath)
        return std::nullopt;
    AbstractConnectionProtocolDelegate* const listener = delegate();

    std::optional<QByteArray> contents;
    QFile file(*fullPath);
    if (file.open(QIODevice::ReadOnly)) {
        QByteArray bytes = file.readAll();
        if (file.error() == QFileDevice::NoError)
            contents = std::move(bytes);
    }
    if (!contents)
        setError(error, ConnectionGenericErrorDomain, ConnectionGenericErrorCode,
                 QStringLiteral("Couldn't retrieve contents of file."));

    if (listener)
        listener->connectionDidFinishRequest(this);
    return contents;
}

std::optional<ConnectionItemAttributes> FileConnection::attributesOfItemAtPath(const QString& path,
                                                                               Error* error) {
    const std::optional<QString> fullPath = beginRequest(path, error);
    if (!fullPath)
        return std::nullopt;
    AbstractConnectionProtocolDelegate* const listener = delegate();

    std::optional<ConnectionItemAttributes> record =
        recordForEntry(*fullPath, lastComponent(*fullPath));
    if (!record)
        setFileSystemError(error, errno, *fullPath);

    if (listener)
        listener->connectionDidFinishRequest(this);
    return record;
}

bool FileConnection::createDirectoryAtPath(const QString& path, Error* error) {
    const std::optional<QString> fullPath = beginRequest(path, error);
    if (!fullPath)
        return false;

    const std::string target = encoded(*fullPath);
    std::error_code failure;
    fs::create_directories(target, failure);
    bool created = !failure;
    if (created && !fs::is_directory(target, failure)) {
        // Something other than a folder already has the name.
        failure = std::make_error_code(std::errc::file_exists);
        created = false;
    }
    if (!created)
        setFileSystemError(error, failure.value(), *fullPath);

    if (delegate())
        delegate()->connectionDidCreateDirectoryAtPath(this, *fullPath);
    return created;
}

bool FileConnection::createFileAtPath(const QString& path,
                                      const std::optional<QByteArray>& contents, Error* error) {
    const std::optional<QString> fullPath = beginRequest(path, error);
    if (!fullPath)
        return false;

    bool created = false;
    QSaveFile file(*fullPath);
    if (file.open(QIODevice::WriteOnly)) {
        const QByteArray bytes = contents.value_or(QByteArray());
        if (file.write(bytes) == bytes.size())
            created = file.commit();
        else
            file.cancelWriting();
    }
    if (!created)
        setError(error, ConnectionGenericErrorDomain, ConnectionGenericErrorCode,
                 QStringLiteral("Operation failed: Couldn't create file."));

    if (delegate())
        delegate()->connectionDidCreateFileAtPath(this, *fullPath, contents);
    return created;
}

bool FileConnection::moveItemAtPath(const QString& fromPath, const QString& toPath, Error* error) {
    const std::optional<QString> from = fullPathForPath(fromPath, error);
    if (!from)
        return false;
    const std::optional<QString> to = fullPathForPath(toPath, error);
    if (!to)
        return false;
    if (delegate())
        delegate()->connectionWillStartRequest(this);

    const std::string source = encoded(*from);
    const std::string target = encoded(*to);
    // An existing target makes the move fail rather than being replaced.
    bool moved =
        ::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0;
    int code = moved ? 0 : errno;
    if (!moved && code == EXDEV) {
        // Another file system inside the folder: copy, then remove the original.
        if (entryExists(target)) {
            code = EEXIST;
        } else {
            std::error_code failure;
            fs::copy(source, target, fs::copy_options::recursive | fs::copy_options::copy_symlinks,
                     failure);
            if (!failure)
                fs::remove_all(source, failure);
            moved = !failure;
            code = failure.value();
        }
    }
    if (!moved)
        setFileSystemError(error, code, *from);

    if (delegate())
        delegate()->connectionDidMoveItemAtPath(this, fromPath, toPath);
    return moved;
}

bool FileConnection::removeItemAtPath(const QString& path, Error* error) {
    const std::optional<QString> fullPath = beginRequest(path, error);
    if (!fullPath)
        return false;

    const std::string target = encoded(*fullPath);
    std::error_code failure;
    if (!entryExists(target))
        failure = std::error_code(errno, std::generic_category());
    else
        fs::remove_all(target, failure);
    if (failure)
        setFileSystemError(error, failure.value(), *fullPath);

    if (delegate())
        delegate()->connectionDidRemoveItemAtPath(this, *fullPath);
    return !failure;
}

bool FileConnection::uploadFileFromPath(const QString& /*localPath*/, const QString& /*path*/,
                                        Error* /*error*/) {
    return false;
}

bool FileConnection::downloadFileFromPath(const QString& path, const QString& localPath,
                                          Error* error) {
    const std::optional<QString> fullPath = fullPathForPath(path, error);
    if (!fullPath || localPath.isEmpty() || localPath.contains(QChar(0)))
        return false;
    const std::string source = encoded(*fullPath);
    const std::string target = encoded(localPath);
    if (!entryExists(source))
        return false;

    const std::string scratch = scratchPathBeside(localPath, "download");
    std::error_code failure;
    fs::copy(source, scratch, fs::copy_options::recursive | fs::copy_options::copy_symlinks,
             failure);
    if (failure || !replaceEntry(scratch, target, localPath)) {
        std::error_code ignored;
        fs::remove_all(scratch, ignored);
        return false;
    }
    return true;
}
