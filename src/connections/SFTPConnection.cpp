#include "connections/SFTPConnection.h"

#include "connections/RemoteNames.h"
#include "core/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

SFTPConnection::SFTPConnection()
    : RemoteConnection(connectionClass().title),
      m_knownHostsPath(QDir(Settings::pathToLibraryDirectory()).filePath("known_hosts")) {
    setEntryPath(QStringLiteral(""));
}

SFTPConnection::~SFTPConnection() = default;

const ConnectionClass& SFTPConnection::connectionClass() {
    static const ConnectionClass answer{QStringLiteral("SFTP"), QStringLiteral("sftp"),
                                        QStringLiteral("22"),
                                        []() -> std::shared_ptr<AbstractConnectionProtocol> {
                                            return std::make_shared<SFTPConnection>();
                                        }};
    return answer;
}

QByteArray SFTPConnection::urlForPath(const QString& path, bool isDirectory) const {
    QString p = path;
    if (!p.startsWith(u'/'))
        p = QStringLiteral("~/") + p;
    if (!p.endsWith(u'/'))
        p += u'/';
    if (!isDirectory)
        p.chop(1);
    return serverURL() + remotenames::urlPath(p);
}

QByteArray SFTPConnection::quotedPath(const QString& path) {
    QByteArray quoted = "'";
    for (const char c : remotenames::encode(path)) {
        if (c == '\'' || c == '"' || c == '\\')
            quoted.append('\\');
        quoted.append(c);
    }
    quoted.append('\'');
    return quoted;
}

void SFTPConnection::applyProtocolOptions(Request request) {
    CURL* handle = session().handle();
    m_hostKeyChanged = false;
    curl_easy_setopt(handle, CURLOPT_SSH_HOSTKEYFUNCTION, &SFTPConnection::hostKeyCallback);
    curl_easy_setopt(handle, CURLOPT_SSH_HOSTKEYDATA, this);
    if (request == Request::Listing || request == Request::Command) {
        curl_easy_setopt(handle, CURLOPT_SSH_AUTH_TYPES, long(CURLSSH_AUTH_PASSWORD));
        curl_easy_setopt(handle, CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_NOCWD));
    }
}

QString SFTPConnection::knownHostName() const {
    QString h = host();
    if (h.contains(u':'))
        h = u'[' + h + u']';
    if (port().isEmpty() || port() == QLatin1String("22"))
        return h;
    if (!h.startsWith(u'['))
        h = u'[' + h + u']';
    return h + u':' + port();
}

int SFTPConnection::hostKeyCallback(void* connection, int, const char* key, size_t length) {
    return static_cast<SFTPConnection*>(connection)
        ->checkHostKey(QByteArray(key, qsizetype(length)));
}

int SFTPConnection::checkHostKey(const QByteArray& key) {
    // The key blob starts with its type name, as a 32-bit big-endian length and the bytes.
    if (key.size() < 4)
        return CURLKHMATCH_MISMATCH;
    const auto* bytes = reinterpret_cast<const unsigned char*>(key.constData());
    const quint32 typeLength = (quint32(bytes[0]) << 24) | (quint32(bytes[1]) << 16) |
                               (quint32(bytes[2]) << 8) | quint32(bytes[3]);
    if (typeLength == 0 || typeLength > quint32(key.size() - 4))
        return CURLKHMATCH_MISMATCH;
    const QByteArray type = key.mid(4, qsizetype(typeLength));
    const QByteArray encoded = key.toBase64();
    const QByteArray name = knownHostName().toUtf8();

    QFile file(m_knownHostsPath);
    QByteArray existing;
    if (file.open(QIODevice::ReadOnly)) {
        existing = file.readAll();
        file.close();
    }
    bool hostKnown = false;
    for (const QByteArray& rawLine : existing.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith('#') || line.startsWith('@'))
            continue;
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 3)
            continue;
        if (!fields[0].split(',').contains(name))
            continue;
        hostKnown = true;
        if (fields[1] == type && fields[2] == encoded)
            return CURLKHMATCH_OK;
    }
    if (hostKnown) {
        m_hostKeyChanged = true;
        return CURLKHMATCH_MISMATCH;
    }
    // First contact: remember the key.
    QDir().mkpath(QFileInfo(m_knownHostsPath).absolutePath());
    QSaveFile out(m_knownHostsPath);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(existing);
        if (!existing.isEmpty() && !existing.endsWith('\n'))
            out.write("\n");
        out.write(name + ' ' + type + ' ' + encoded + '\n');
        out.commit();
    }
    return CURLKHMATCH_OK;
}

void SFTPConnection::describeFailure(Error* error) {
    if (!m_hostKeyChanged)
        return;
    error->description =
        QStringLiteral("The server %1 no longer shows the host key recorded for it. Someone may "
                       "be posing as the server, so nothing was sent. If the server's key was "
                       "changed on purpose, remove the line for %2 from %3.")
            .arg(host(), knownHostName(), m_knownHostsPath);
}

bool SFTPConnection::connectError(Error* error) {
    // PWD makes libcurl report the login directory as a 257 reply in the transcript.
    beginRequest(Request::Login, urlForPath(QString(), true));
    CURL* handle = session().handle();
    curl_easy_setopt(handle, CURLOPT_QUOTE, session().commandList({"pwd"}));
    curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
    QByteArray scratch;
    session().collectInto(&scratch);
    if (!performRequest(error))
        return false;
    const QStringList& entries = session().transcriptEntries();
    for (qsizetype i = entries.size() - 1; i >= 0; --i) {
        const QString text = entries.at(i).mid(2);
        if (text.size() > 2 && text.left(3) == QLatin1String("257")) {
            const qsizetype open = text.indexOf(u'"');
            const qsizetype close = open < 0 ? -1 : text.indexOf(u'"', open + 1);
            if (close > open)
                setEntryPath(text.mid(open + 1, close - open - 1));
            break;
        }
    }
    return true;
}

bool SFTPConnection::createDirectoryAtPath(const QString& path, Error* error) {
    if (!checkPaths({path}, error))
        return false;
    notifyWillStart();
    if (lookUp(path, nullptr, nullptr, nullptr) != Lookup::Found) {
        if (!runCommands({"mkdir " + quotedPath(path)}, urlForPath(QString(), true), error))
            return false;
    }
    if (delegate())
        delegate()->connectionDidCreateDirectoryAtPath(this, path);
    return true;
}

bool SFTPConnection::createFileAtPath(const QString&, const std::optional<QByteArray>&,
                                      Error* error) {
    setError(error, connectionClass().title, ConnectionOperationNotSupportedErrorCode,
             QStringLiteral("Operation not supported."));
    return false;
}

bool SFTPConnection::moveItemAtPath(const QString& fromPath, const QString& toPath, Error* error) {
    if (!checkPaths({fromPath, toPath}, error))
        return false;
    notifyWillStart();
    if (!runCommands({"rename " + quotedPath(fromPath) + ' ' + quotedPath(toPath)},
                     urlForPath(QString(), true), error))
        return false;
    if (delegate())
        delegate()->connectionDidMoveItemAtPath(this, fromPath, toPath);
    return true;
}

QByteArray SFTPConnection::removeCommand(const QString& path, bool isDirectory) const {
    return (isDirectory ? "rmdir " : "rm ") + quotedPath(path);
}

QList<QByteArray> SFTPConnection::commandsAfterUpload(const QString& temporaryPath,
                                                      const QString& path,
                                                      bool replacesEntry) const {
    // SFTP renames never replace an entry: the old one goes once the new data is complete.
    QList<QByteArray> commands;
    if (replacesEntry)
        commands.append("*rm " + quotedPath(path));
    commands.append("rename " + quotedPath(temporaryPath) + ' ' + quotedPath(path));
    return commands;
}
