#pragma once

#include "connections/ConnectionItemAttributes.h"
#include "core/Error.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

class AbstractConnectionProtocol;

// What a connection class answers about itself, and how to make one. Each connection class
// has exactly one of these (its connectionClass()), so classes compare by address.
struct ConnectionClass {
    // The name shown to the user ("File", "FTP", "SFTP"); also the error domain of the
    // class's transport errors.
    QString title;
    // "file", "ftp", "sftp".
    QString scheme;
    // "21", "22"; a null string (none) for the local connection.
    QString defaultPort;
    // Creates an unconfigured instance.
    std::shared_ptr<AbstractConnectionProtocol> (*create)();
};

// Optional callbacks of a connection. Every one does nothing unless overridden, which is the
// same as a delegate that does not answer it. They arrive on the thread running the operation.
class AbstractConnectionProtocolDelegate {
public:
    virtual ~AbstractConnectionProtocolDelegate() = default;

    virtual void connectionWillStartRequest(AbstractConnectionProtocol* /*connection*/) {}
    virtual void connectionDidFinishRequest(AbstractConnectionProtocol* /*connection*/) {}
    virtual void
    connectionWillGetContentsOfDirectoryAtPath(AbstractConnectionProtocol* /*connection*/,
                                               const QString& /*path*/) {}
    virtual void
    connectionDidGetContentsOfDirectory(AbstractConnectionProtocol* /*connection*/,
                                        const QList<ConnectionItemAttributes>& /*contents*/,
                                        const QString& /*path*/) {}
    virtual void connectionDidCreateDirectoryAtPath(AbstractConnectionProtocol* /*connection*/,
                                                    const QString& /*path*/) {}
    // contents is none after an upload.
    virtual void connectionDidCreateFileAtPath(AbstractConnectionProtocol* /*connection*/,
                                               const QString& /*path*/,
                                               const std::optional<QByteArray>& /*contents*/) {}
    virtual void connectionDidMoveItemAtPath(AbstractConnectionProtocol* /*connection*/,
                                             const QString& /*fromPath*/,
                                             const QString& /*toPath*/) {}
    virtual void connectionDidRemoveItemAtPath(AbstractConnectionProtocol* /*connection*/,
                                               const QString& /*path*/) {}
};

// The one file-access interface over the project folder and the servers. Every operation
// blocks until done, answers a success flag or a value (none on failure) and fills the
// optional error out-parameter on failure. One operation at a time per object.
//
// String properties use a null QString for "none" (e.g. the port of the local connection).
class AbstractConnectionProtocol {
public:
    virtual ~AbstractConnectionProtocol() = default;

    AbstractConnectionProtocol(const AbstractConnectionProtocol&) = delete;
    AbstractConnectionProtocol& operator=(const AbstractConnectionProtocol&) = delete;

    // The class answers (title, scheme, default port) of this object's class.
    virtual const ConnectionClass& classOfConnection() const = 0;

    // Logs in where there is something to log into; learns entryPath().
    virtual bool connectError(Error* error = nullptr) = 0;
    // The entries of a directory in the order the store delivers them; none on failure, an
    // empty list for an empty directory.
    virtual std::optional<QList<ConnectionItemAttributes>>
    contentsOfDirectoryAtPath(const QString& path, Error* error = nullptr) = 0;
    virtual std::optional<QByteArray> contentsOfFileAtPath(const QString& path,
                                                           Error* error = nullptr) = 0;
    // None with the error untouched means the entry does not exist (remote connections).
    virtual std::optional<ConnectionItemAttributes>
    attributesOfItemAtPath(const QString& path, Error* error = nullptr) = 0;
    virtual bool createDirectoryAtPath(const QString& path, Error* error = nullptr) = 0;
    // Writes a whole file; none as contents means an empty file on the local connection.
    virtual bool createFileAtPath(const QString& path, const std::optional<QByteArray>& contents,
                                  Error* error = nullptr) = 0;
    virtual bool moveItemAtPath(const QString& fromPath, const QString& toPath,
                                Error* error = nullptr) = 0;
    // Removes a file, or a directory with everything below it.
    virtual bool removeItemAtPath(const QString& path, Error* error = nullptr) = 0;
    // Sends a device file (absolute path) to the connection's store, replacing an entry there.
    virtual bool uploadFileFromPath(const QString& localPath, const QString& path,
                                    Error* error = nullptr) = 0;
    // Copies an entry of the connection's store to a device file (absolute path).
    virtual bool downloadFileFromPath(const QString& path, const QString& localPath,
                                      Error* error = nullptr) = 0;

    // The exchange with the server, one message per line; none for the local connection.
    virtual QString transcript() const { return QString(); }

    // Not owned.
    AbstractConnectionProtocolDelegate* delegate() const { return m_delegate; }
    void setDelegate(AbstractConnectionProtocolDelegate* delegate) { m_delegate = delegate; }

    QString scheme() const { return m_scheme; }
    void setScheme(const QString& scheme) { m_scheme = scheme; }
    QString host() const { return m_host; }
    void setHost(const QString& host) { m_host = host; }
    // The port as text, e.g. "21"; none for the local connection.
    QString port() const { return m_port; }
    void setPort(const QString& port) { m_port = port; }
    QString username() const { return m_username; }
    void setUsername(const QString& username) { m_username = username; }
    QString password() const { return m_password; }
    void setPassword(const QString& password) { m_password = password; }
    // Local connection: the folder every path is relative to. Remote connections: the
    // project's remote folder, which the connection itself never applies.
    QString basePath() const { return m_basePath; }
    void setBasePath(const QString& basePath) { m_basePath = basePath; }

    // The directory the connection starts in: "/" for the local connection; the server's
    // login directory for remote ones once connectError() has learned it.
    QString entryPath() const { return m_entryPath; }

protected:
    AbstractConnectionProtocol() = default;

    void setEntryPath(const QString& entryPath) { m_entryPath = entryPath; }

private:
    QString m_entryPath;
    AbstractConnectionProtocolDelegate* m_delegate = nullptr;
    QString m_scheme;
    QString m_host;
    QString m_port;
    QString m_username;
    QString m_password;
    QString m_basePath;
};
