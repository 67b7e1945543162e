#include "connections/SFTPConnection.h"

namespace {

// Until the transfer code lands every operation fails plainly rather than pretending.
void notImplemented(Error* error) {
    setError(error, SFTPConnection::connectionClass().title,
             ConnectionOperationNotSupportedErrorCode, QStringLiteral("Not implemented"));
}

} // namespace

SFTPConnection::SFTPConnection() {
    setEntryPath(QLatin1String(""));
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

bool SFTPConnection::connectError(Error* error) {
    notImplemented(error);
    return false;
}

std::optional<QList<ConnectionItemAttributes>>
SFTPConnection::contentsOfDirectoryAtPath(const QString& /*path*/, Error* error) {
    notImplemented(error);
    return std::nullopt;
}

std::optional<QByteArray> SFTPConnection::contentsOfFileAtPath(const QString& /*path*/,
                                                               Error* /*error*/) {
    return std::nullopt;
}

std::optional<ConnectionItemAttributes>
SFTPConnection::attributesOfItemAtPath(const QString& /*path*/, Error* error) {
    notImplemented(error);
    return std::nullopt;
}

bool SFTPConnection::createDirectoryAtPath(const QString& /*path*/, Error* error) {
    notImplemented(error);
    return false;
}

bool SFTPConnection::createFileAtPath(const QString& /*path*/,
                                      const std::optional<QByteArray>& /*contents*/, Error* error) {
    notImplemented(error);
    return false;
}

bool SFTPConnection::moveItemAtPath(const QString& /*fromPath*/, const QString& /*toPath*/,
                                    Error* error) {
    notImplemented(error);
    return false;
}

bool SFTPConnection::removeItemAtPath(const QString& /*path*/, Error* error) {
    notImplemented(error);
    return false;
}

bool SFTPConnection::uploadFileFromPath(const QString& /*localPath*/, const QString& /*path*/,
                                        Error* error) {
    notImplemented(error);
    return false;
}

bool SFTPConnection::downloadFileFromPath(const QString& /*path*/, const QString& /*localPath*/,
                                          Error* error) {
    notImplemented(error);
    return false;
}
