#pragma once

#include "connections/RemoteConnection.h"

// Files on SSH servers through libcurl's SFTP support. The server's host key is checked
// against a known-hosts file: the first contact records it, a different key later refuses the
// connection before any credentials are sent.
class SFTPConnection : public RemoteConnection {
public:
    SFTPConnection();
    ~SFTPConnection() override;

    static const ConnectionClass& connectionClass();
    const ConnectionClass& classOfConnection() const override { return connectionClass(); }

    bool connectError(Error* error = nullptr) override;
    bool createDirectoryAtPath(const QString& path, Error* error = nullptr) override;
    // Not offered over SFTP: fails with 1003 "Operation not supported.".
    bool createFileAtPath(const QString& path, const std::optional<QByteArray>& contents,
                          Error* error = nullptr) override;
    bool moveItemAtPath(const QString& fromPath, const QString& toPath,
                        Error* error = nullptr) override;

    // The known-hosts file ("known_hosts" in the library folder by default), in OpenSSH's
    // format: "[host]:port type key" (plain "host" for port 22).
    QString knownHostsPath() const { return m_knownHostsPath; }
    void setKnownHostsPath(const QString& path) { m_knownHostsPath = path; }

    // A path in single quotes as libcurl's SFTP commands read it.
    static QByteArray quotedPath(const QString& path);

protected:
    QByteArray urlForPath(const QString& path, bool isDirectory) const override;
    void applyProtocolOptions(Request request) override;
    bool reportsListings() const override { return false; }
    bool reportsRemovalOfMissingEntries() const override { return false; }
    bool renameReplacesFiles() const override { return false; }
    QByteArray removeCommand(const QString& path, bool isDirectory) const override;
    QList<QByteArray> commandsAfterUpload(const QString& temporaryPath, const QString& path,
                                          bool replacesEntry) const override;
    void describeFailure(Error* error) override;

private:
    static int hostKeyCallback(void* connection, int type, const char* key, size_t length);
    int checkHostKey(const QByteArray& key);
    QString knownHostName() const;

    QString m_knownHostsPath;
    // Set when the last request met a key other than the recorded one.
    bool m_hostKeyChanged = false;
};
