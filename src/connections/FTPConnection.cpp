#include "connections/FTPConnection.h"

#include "connections/RemoteNames.h"

#include <QBuffer>

FTPConnection::FTPConnection() : RemoteConnection(connectionClass().title) {}

FTPConnection::~FTPConnection() = default;

const ConnectionClass& FTPConnection::connectionClass() {
    static const ConnectionClass answer{QStringLiteral("FTP"), QStringLiteral("ftp"),
                                        QStringLiteral("21"),
                                        []() -> std::shared_ptr<AbstractConnectionProtocol> {
                                            return std::make_shared<FTPConnection>();
                                        }};
    return answer;
}

QByteArray FTPConnection::urlForPath(const QString& path, bool isDirectory) const {
    QString p = path;
    if (!p.isEmpty() && !p.endsWith(u'/'))
        p += u'/';
    if (!isDirectory && !p.isEmpty())
        p.chop(1);
    return serverURL() + remotenames::urlPath(p);
}

void FTPConnection::applyProtocolOptions(Request request) {
    CURL* handle = session().handle();
    if (request != Request::Login && m_shouldUseActiveMode) {
        curl_easy_setopt(handle, CURLOPT_FTP_USE_EPRT, 0L);
        curl_easy_setopt(handle, CURLOPT_FTPPORT, "-");
    }
    if (request == Request::Download)
        curl_easy_setopt(handle, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_NOCWD));
}

QString FTPConnection::commandPath(const QString& path) const {
    if (path.startsWith(u'/') || entryPath().isEmpty())
        return path;
    return remotepaths::join(entryPath(), path);
}

bool FTPConnection::connectError(Error* error) {
    QByteArray scratch;
    CURL* handle = session().handle();
    beginRequest(Request::Login, urlForPath(QString(), true));
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, 30L);
    session().collectInto(&scratch);
    Error failure;
    bool connected = performRequest(&failure, false);
    if (!connected) {
        // The server may refuse passive data connections: the same login once more with
        // active mode, keeping the time limit and the writer of the first attempt.
        beginRequest(Request::Login, urlForPath(QString(), true));
        curl_easy_setopt(handle, CURLOPT_FTP_USE_EPRT, 0L);
        curl_easy_setopt(handle, CURLOPT_FTPPORT, "-");
        connected = performRequest(&failure, false);
        if (connected)
            m_shouldUseActiveMode = true;
    }
    if (connected) {
        char* entry = nullptr;
        if (curl_easy_getinfo(handle, CURLINFO_FTP_ENTRY_PATH, &entry) == CURLE_OK && entry)
            setEntryPath(remotenames::decode(QByteArray(entry)));
    }
    session().finish();
    if (!connected && error)
        *error = failure;
    return connected;
}

bool FTPConnection::createDirectoryAtPath(const QString& path, Error* error) {
    if (!checkPaths({path}, error))
        return false;
    notifyWillStart();
    if (lookUp(path, nullptr, nullptr, nullptr) != Lookup::Found) {
        const QByteArray command = "MKD " + remotenames::encode(commandPath(path));
        if (!runCommands({command}, serverURL(), error))
            return false;
    }
    if (delegate())
        delegate()->connectionDidCreateDirectoryAtPath(this, path);
    return true;
}

bool FTPConnection::createFileAtPath(const QString& path, const std::optional<QByteArray>& contents,
                                     Error* error) {
    QByteArray bytes = contents.value_or(QByteArray());
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return createFileAtPath(path, &buffer, error);
}

bool FTPConnection::createFileAtPath(const QString& path, QIODevice* stream, Error* error) {
    if (!checkPaths({path}, error))
        return false;
    if (!stream)
        return true;
    if (!stream->isOpen() && !stream->open(QIODevice::ReadOnly)) {
        setError(error, ConnectionGenericErrorDomain, ConnectionGenericErrorCode,
                 QStringLiteral("Operation failed: Couldn't create file."));
        return false;
    }
    // An empty stream still makes an empty file: the caller asked for one to exist.
    const qint64 size = stream->isSequential() ? -1 : stream->size() - stream->pos();
    return upload(nullptr, size, stream, path, error);
}

bool FTPConnection::moveItemAtPath(const QString& fromPath, const QString& toPath, Error* error) {
    if (!checkPaths({fromPath, toPath}, error))
        return false;
    notifyWillStart();
    const bool moved = runCommands({"RNFR " + remotenames::encode(commandPath(fromPath)),
                                    "RNTO " + remotenames::encode(commandPath(toPath))},
                                   serverURL(), error);
    if (delegate())
        delegate()->connectionDidMoveItemAtPath(this, fromPath, toPath);
    return moved;
}

QByteArray FTPConnection::removeCommand(const QString& path, bool isDirectory) const {
    return (isDirectory ? "RMD " : "DELE ") + remotenames::encode(commandPath(path));
}

QList<QByteArray> FTPConnection::commandsAfterUpload(const QString& temporaryPath,
                                                     const QString& path,
                                                     bool replacesEntry) const {
    // libcurl has changed into the folder of the temporary file; the old file goes only now
    // that the new data is complete, and a failure to delete it is left for RNTO to report.
    QList<QByteArray> commands;
    const QByteArray name = remotenames::encode(remotepaths::lastComponent(path));
    if (replacesEntry)
        commands.append("*DELE " + name);
    commands.append("RNFR " + remotenames::encode(remotepaths::lastComponent(temporaryPath)));
    commands.append("RNTO " + name);
    return commands;
}
