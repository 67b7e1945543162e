#include "connections/RemoteConnection.h"

#include "connections/ListingAttributes.h"
#include "connections/RemoteNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QLoggingCategory>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <random>

Q_LOGGING_CATEGORY(lcRemote, "quorvel.connections.remote", QtInfoMsg)

namespace remotepaths {

QString trimmed(const QString& path) {
    QString result = path;
    while (result.size() > 1 && result.endsWith(u'/'))
        result.chop(1);
    return result;
}

QString lastComponent(const QString& path) {
    const QString p = trimmed(path);
    if (p == QLatin1String("/"))
        return QString();
    return p.mid(p.lastIndexOf(u'/') + 1);
}

QString parent(const QString& path) {
    const QString p = trimmed(path);
    const qsizetype slash = p.lastIndexOf(u'/');
    if (slash < 0)
        return QString();
    if (slash == 0)
        return QStringLiteral("/");
    return trimmed(p.left(slash));
}

QString join(const QString& folder, const QString& name) {
    if (folder.isEmpty())
        return name;
    if (folder.endsWith(u'/'))
        return folder + name;
    return folder + u'/' + name;
}

QString extension(const QString& path) {
    const QString name = lastComponent(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= 0)
        return QString();
    return name.mid(dot + 1);
}

} // namespace remotepaths

namespace {

size_t readFromDevice(char* buffer, size_t size, size_t count, void* device) {
    const qint64 read = static_cast<QIODevice*>(device)->read(buffer, qint64(size * count));
    if (read < 0)
        return CURL_READFUNC_ABORT;
    return size_t(read);
}

size_t writeToQFile(char* data, size_t size, size_t count, void* file) {
    const qint64 written = static_cast<QFile*>(file)->write(data, qint64(size * count));
    return written < 0 ? 0 : size_t(written);
}

} // namespace

RemoteConnection::RemoteConnection(const QString& domain) : m_domain(domain), m_session(domain) {
    m_random = [engine = std::mt19937(std::random_device{}())]() mutable {
        return uint32_t(engine());
    };
}

RemoteConnection::~RemoteConnection() = default;

QString RemoteConnection::transcript() const {
    return m_session.transcript();
}

QByteArray RemoteConnection::serverURL() const {
    QString h = host();
    QHostAddress address;
    if (address.setAddress(h) && address.protocol() == QAbstractSocket::IPv6Protocol)
        h = u'[' + h + u']';
    return (scheme() + QStringLiteral("://") + h + u':' + port() + u'/').toUtf8();
}

void RemoteConnection::beginRequest(Request request, const QByteArray& url, bool withTranscript) {
    // Anything but an upload or a listing may change a folder behind the remembered listing.
    if (request != Request::Upload && request != Request::Listing)
        m_recentListing = RecentListing();
    m_session.begin(url, username(), password(), withTranscript);
    applyProtocolOptions(request);
}

bool RemoteConnection::performRequest(Error* error, bool reset) {
    Error failure;
    if (m_session.perform(&failure, reset))
        return true;
    describeFailure(&failure);
    if (error)
        *error = failure;
    return false;
}

bool RemoteConnection::runCommands(const QList<QByteArray>& commands, const QByteArray& url,
                                   Error* error) {
    QByteArray scratch;
    beginRequest(Request::Command, url);
    CURL* handle = m_session.handle();
    curl_easy_setopt(handle, CURLOPT_QUOTE, m_session.commandList(commands));
    // Only the commands: no listing or transfer follows them.
    curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
    m_session.collectInto(&scratch);
    return performRequest(error);
}

bool RemoteConnection::checkPaths(std::initializer_list<QString> paths, Error* error) const {
    for (const QString& path : paths) {
        if (remotenames::isUnsafePath(path)) {
            setError(error, ConnectionGenericErrorDomain, ConnectionInvalidPathErrorCode,
                     QStringLiteral("Invalid path"));
            return false;
        }
    }
    return true;
}

void RemoteConnection::notifyWillStart() {
    if (delegate())
        delegate()->connectionWillStartRequest(this);
}

std::optional<QList<ConnectionItemAttributes>>
RemoteConnection::contentsOfDirectoryAtPath(const QString& path, Error* error) {
    qCDebug(lcRemote) << "contentsOfDirectoryAtPath" << path;
    if (!checkPaths({path}, error))
        return std::nullopt;
    if (reportsListings() && delegate())
        delegate()->connectionWillGetContentsOfDirectoryAtPath(this, path);
    QByteArray bytes;
    beginRequest(Request::Listing, urlForPath(path, true));
    m_session.collectInto(&bytes);
    if (!performRequest(error))
        return std::nullopt;
    QList<ConnectionItemAttributes> contents = connectionItemAttributesFromListing(bytes);
    if (reportsListings() && delegate())
        delegate()->connectionDidGetContentsOfDirectory(this, contents, path);
    return contents;
}

std::optional<QByteArray> RemoteConnection::contentsOfFileAtPath(const QString&, Error*) {
    return std::nullopt;
}

RemoteConnection::Lookup RemoteConnection::lookUp(const QString& path,
                                                  ConnectionItemAttributes* found,
                                                  QList<ConnectionItemAttributes>* siblings,
                                                  Error* error) {
    const QString name = remotepaths::lastComponent(path);
    auto contents = contentsOfDirectoryAtPath(remotepaths::parent(path), error);
    if (!contents)
        return Lookup::Failed;
    if (siblings)
        *siblings = *contents;
    if (name.isEmpty())
        return Lookup::Missing;
    for (const ConnectionItemAttributes& record : *contents) {
        if (record.name == name) {
            if (found)
                *found = record;
            return Lookup::Found;
        }
    }
    return Lookup::Missing;
}

std::optional<ConnectionItemAttributes>
RemoteConnection::attributesOfItemAtPath(const QString& path, Error* error) {
    qCDebug(lcRemote) << "attributesOfItemAtPath" << path;
    ConnectionItemAttributes record;
    switch (lookUp(path, &record, nullptr, error)) {
    case Lookup::Found:
        return record;
    case Lookup::Missing:
        if (delegate())
            delegate()->connectionDidFinishRequest(this);
        return std::nullopt;
    case Lookup::Failed:
        break;
    }
    return std::nullopt;
}

bool RemoteConnection::removeItemAtPath(const QString& path, Error* error) {
    qCDebug(lcRemote) << "removeItemAtPath" << path;
    if (!checkPaths({path}, error))
        return false;
    return removeItem(path, error, nullptr);
}

bool RemoteConnection::removeItem(const QString& path, Error* error,
                                  const ConnectionItemAttributes* known) {
    notifyWillStart();
    ConnectionItemAttributes record;
    Error lookupError;
    // Entries below the first come from their folder's listing: no need to list it again.
    const Lookup lookup = known ? Lookup::Found : lookUp(path, &record, nullptr, &lookupError);
    if (known)
        record = *known;
    switch (lookup) {
    case Lookup::Missing:
        if (delegate() && reportsRemovalOfMissingEntries())
            delegate()->connectionDidRemoveItemAtPath(this, path);
        return true;
    case Lookup::Failed:
        // Not knowing whether the entry is there is not the same as it being gone.
        if (error)
            *error = lookupError;
        return false;
    case Lookup::Found:
        break;
    }
    // A link is removed itself: following it would empty the folder it points to, and a link
    // to "." or ".." would never end.
    const bool isDirectory = record.isDirectory() && !record.isLink;
    if (isDirectory) {
        auto children = contentsOfDirectoryAtPath(path, error);
        if (!children)
            return false;
        for (const ConnectionItemAttributes& child : *children) {
            if (child.name == QLatin1String(".") || child.name == QLatin1String(".."))
                continue;
            // Failures below show in the final removal of this folder.
            removeItem(remotepaths::join(path, child.name), nullptr, &child);
        }
    }
    const bool removed = runCommands({removeCommand(path, isDirectory)}, serverURL(), error);
    if (delegate())
        delegate()->connectionDidRemoveItemAtPath(this, path);
    return removed;
}

QString RemoteConnection::temporaryPath(const QString& path,
                                        const QList<ConnectionItemAttributes>& siblings) {
    QSet<QString> taken;
    for (const ConnectionItemAttributes& record : siblings)
        taken.insert(record.name);
    const QString folder = remotepaths::parent(path);
    const QString extension = remotepaths::extension(path);
    QString name;
    do {
        name = QString::number(m_random() % 100000u) + u'.' + extension;
    } while (taken.contains(name) || name == remotepaths::lastComponent(path));
    return folder.isEmpty() ? name : remotepaths::join(folder, name);
}

bool RemoteConnection::uploadFileFromPath(const QString& localPath, const QString& path,
                                          Error* error) {
    if (!checkPaths({path}, error))
        return false;
    std::FILE* file = std::fopen(QFile::encodeName(localPath).constData(), "rb");
    if (!file) {
        setError(error, ConnectionGenericErrorDomain, ConnectionGenericErrorCode,
                 QStringLiteral("Could not open file for upload."));
        return false;
    }
    qint64 size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        size = qint64(ftello(file));
        std::fseek(file, 0, SEEK_SET);
    }
    const bool uploaded = upload(file, size, nullptr, path, error);
    std::fclose(file);
    return uploaded;
}

bool RemoteConnection::upload(std::FILE* file, qint64 size, QIODevice* device, const QString& path,
                              Error* error) {
    qCDebug(lcRemote) << "upload" << path;
    notifyWillStart();
    const QString folder = remotepaths::parent(path);
    const QString name = remotepaths::lastComponent(path);
    ConnectionItemAttributes existing;
    QList<ConnectionItemAttributes> siblings;
    Lookup lookup;
    // Uploads of a whole folder would otherwise list the folder once per file. A recent listing
    // made by this connection serves instead. Where a rename does not replace a file, the old
    // entry is then deleted after the data whether or not the listing showed it, since it may
    // have appeared since; a folder that appeared since makes the rename fail.
    const bool cached = m_recentListing.isValid() && m_recentListing.folder == folder &&
                        m_recentListing.age.elapsed() < 10000;
    if (cached) {
        siblings = m_recentListing.contents;
        lookup = Lookup::Missing;
        for (const ConnectionItemAttributes& record : siblings) {
            if (record.name == name) {
                existing = record;
                lookup = Lookup::Found;
            }
        }
    } else {
        Error ignored;
        // A failed listing usually means the folder is missing; the upload creates it.
        lookup = lookUp(path, &existing, &siblings, &ignored);
    }
    const bool replaces = lookup == Lookup::Found || (cached && !renameReplacesFiles());
    if (lookup == Lookup::Found && existing.isDirectory() && !existing.isLink) {
        setError(error, ConnectionGenericErrorDomain, ConnectionGenericErrorCode,
                 QStringLiteral("A folder named '%1' exists").arg(existing.name));
        return false;
    }
    const QString temporary = temporaryPath(path, siblings);

    beginRequest(Request::Upload, urlForPath(temporary, false));
    CURL* handle = m_session.handle();
    curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
    // Only when the folder could not be listed: libcurl is much slower with the option on.
    if (lookup == Lookup::Failed)
        curl_easy_setopt(handle, CURLOPT_FTP_CREATE_MISSING_DIRS, 1L);
    curl_easy_setopt(handle, CURLOPT_POSTQUOTE,
                     m_session.commandList(commandsAfterUpload(temporary, path, replaces)));
    if (file) {
        curl_easy_setopt(handle, CURLOPT_READDATA, file);
    } else {
        curl_easy_setopt(handle, CURLOPT_READFUNCTION, &readFromDevice);
        curl_easy_setopt(handle, CURLOPT_READDATA, device);
    }
    if (size >= 0)
        curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE, curl_off_t(size));
    if (!performRequest(error)) {
        m_recentListing = RecentListing();
        return false;
    }
    if (lookup != Lookup::Failed) {
        // What the folder holds now, for the next upload into it.
        m_recentListing.folder = folder;
        m_recentListing.contents = siblings;
        m_recentListing.contents.removeIf(
            [&name](const ConnectionItemAttributes& record) { return record.name == name; });
        ConnectionItemAttributes record;
        record.name = name;
        record.type = ConnectionItemAttributes::typeFile();
        m_recentListing.contents.append(record);
        if (!cached)
            m_recentListing.age.start();
    }
    if (delegate())
        delegate()->connectionDidCreateFileAtPath(this, path, std::nullopt);
    return true;
}

bool RemoteConnection::downloadFileFromPath(const QString& path, const QString& localPath,
                                            Error* error) {
    qCDebug(lcRemote) << "downloadFileFromPath" << path << localPath;
    if (!checkPaths({path}, error))
        return false;
    notifyWillStart();
    const QFileInfo target(localPath);
    QDir().mkpath(target.absolutePath());
    // The data goes to a new file beside the target, which replaces the target only once
    // everything arrived: a failed download leaves the old file as it was.
    QTemporaryFile part(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                        QStringLiteral(".part-XXXXXX"));
    if (!part.open()) {
        setError(error, ConnectionGenericErrorDomain, ConnectionGenericErrorCode,
                 QStringLiteral("Could not open file for download."));
        return false;
    }
    beginRequest(Request::Download, urlForPath(path, false));
    curl_easy_setopt(m_session.handle(), CURLOPT_WRITEFUNCTION, &writeToQFile);
    curl_easy_setopt(m_session.handle(), CURLOPT_WRITEDATA, static_cast<QFile*>(&part));
    if (!performRequest(error))
        return false;
    if (!part.flush()) {
        setError(error, ConnectionGenericErrorDomain, ConnectionGenericErrorCode,
                 QStringLiteral("Could not open file for download."));
        return false;
    }
    part.close();
    const QFile::Permissions permissions =
        target.exists()
            ? QFile::permissions(localPath)
            : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
    QFile::setPermissions(part.fileName(), permissions);
    if (std::rename(QFile::encodeName(part.fileName()).constData(),
                    QFile::encodeName(localPath).constData()) != 0) {
        setError(error, ConnectionGenericErrorDomain, ConnectionGenericErrorCode,
                 QStringLiteral("Could not open file for download."));
        return false;
    }
    part.setAutoRemove(false);
    return true;
}
