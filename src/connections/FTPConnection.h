#pragma once

#include "connections/RemoteConnection.h"

// Files on FTP servers, through libcurl. Passive data connections first; when the server
// refuses them at login the connection uses active mode for the rest of its life.
class FTPConnection : public RemoteConnection {
public:
    FTPConnection();
    ~FTPConnection() override;

    static const ConnectionClass& connectionClass();
    const ConnectionClass& classOfConnection() const override { return connectionClass(); }

    bool connectError(Error* error = nullptr) override;
    bool createDirectoryAtPath(const QString& path, Error* error = nullptr) override;
    // Uploads the bytes as the whole file; none or empty contents make an empty file.
    bool createFileAtPath(const QString& path, const std::optional<QByteArray>& contents,
                          Error* error = nullptr) override;
    // Uploads what the stream holds (opened for reading when it is not open yet).
    bool createFileAtPath(const QString& path, QIODevice* stream, Error* error = nullptr);
    bool moveItemAtPath(const QString& fromPath, const QString& toPath,
                        Error* error = nullptr) override;

    bool shouldUseActiveMode() const { return m_shouldUseActiveMode; }

protected:
    QByteArray urlForPath(const QString& path, bool isDirectory) const override;
    void applyProtocolOptions(Request request) override;
    bool reportsListings() const override { return true; }
    bool reportsRemovalOfMissingEntries() const override { return true; }
    bool renameReplacesFiles() const override { return true; }
    QByteArray removeCommand(const QString& path, bool isDirectory) const override;
    QList<QByteArray> commandsAfterUpload(const QString& temporaryPath, const QString& path,
                                          bool replacesEntry) const override;

private:
    // A relative path names an entry below the login directory; commands run wherever the
    // last request left the server, so they get the login directory in front when known.
    QString commandPath(const QString& path) const;

    bool m_shouldUseActiveMode = false;
};
