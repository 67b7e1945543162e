#pragma once

#include "connections/AbstractConnectionProtocol.h"

// Files on SFTP servers.
class SFTPConnection : public AbstractConnectionProtocol {
public:
    SFTPConnection();
    ~SFTPConnection() override;

    static const ConnectionClass& connectionClass();
    const ConnectionClass& classOfConnection() const override { return connectionClass(); }

    bool connectError(Error* error = nullptr) override;
    std::optional<QList<ConnectionItemAttributes>>
    contentsOfDirectoryAtPath(const QString& path, Error* error = nullptr) override;
    std::optional<QByteArray> contentsOfFileAtPath(const QString& path,
                                                   Error* error = nullptr) override;
    std::optional<ConnectionItemAttributes> attributesOfItemAtPath(const QString& path,
                                                                   Error* error = nullptr) override;
    bool createDirectoryAtPath(const QString& path, Error* error = nullptr) override;
    bool createFileAtPath(const QString& path, const std::optional<QByteArray>& contents,
                          Error* error = nullptr) override;
    bool moveItemAtPath(const QString& fromPath, const QString& toPath,
                        Error* error = nullptr) override;
    bool removeItemAtPath(const QString& path, Error* error = nullptr) override;
    bool uploadFileFromPath(const QString& localPath, const QString& path,
                            Error* error = nullptr) override;
    bool downloadFileFromPath(const QString& path, const QString& localPath,
                              Error* error = nullptr) override;
};
