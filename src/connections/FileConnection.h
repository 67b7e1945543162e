#pragma once

#include "connections/AbstractConnectionProtocol.h"

// Files in a folder on the device (a project's folder): every path argument is relative to
// basePath(), and "/" names basePath() itself.
//
// Paths whose ".." components would climb above basePath() are refused with an
// ConnectionInvalidPathErrorCode error before anything is touched or any callback is sent.
class FileConnection : public AbstractConnectionProtocol {
public:
    FileConnection();
    ~FileConnection() override;

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
    // Replaces the file as a whole: the bytes go to a temporary file in the same folder that is
    // renamed over the target, so an interrupted write never leaves a truncated file.
    bool createFileAtPath(const QString& path, const std::optional<QByteArray>& contents,
                          Error* error = nullptr) override;
    bool moveItemAtPath(const QString& fromPath, const QString& toPath,
                        Error* error = nullptr) override;
    bool removeItemAtPath(const QString& path, Error* error = nullptr) override;
    // Does nothing and answers false: the project folder is never an upload target.
    bool uploadFileFromPath(const QString& localPath, const QString& path,
                            Error* error = nullptr) override;
    // A plain copy to another device path. The copy is made beside the target and renamed over
    // it only once complete, so a failed copy leaves an existing target as it was. The
    // target's folder is not created.
    bool downloadFileFromPath(const QString& path, const QString& localPath,
                              Error* error = nullptr) override;

    // basePath() joined with a path argument; none, with the error filled, when the argument
    // climbs out of basePath() or holds a NUL character.
    std::optional<QString> fullPathForPath(const QString& path, Error* error = nullptr) const;
    // The full path of a request's path, after telling the delegate the request starts; none,
    // and nothing told, for a path that is refused.
    std::optional<QString> beginRequest(const QString& path, Error* error);
};
