#include "connections/FTPConnection.h"

namespace {

// Until the transfer code lands every operation fails plainly rather than pretending.
void notImplemented(Error* error) {
    setError(error, FTPConnection::connectionClass().title,
             ConnectionOperationNotSupportedErrorCode, QStringLiteral("Not implemented"));
}

} // namespace

FTPConnection::FTPConnection() {}

FTPConnection::~FTPConnection() = default;

const ConnectionClass& FTPConnection::connectionClass() {
    static const ConnectionClass answer{QStringLiteral("FTP"), QStringLiteral("ftp"),
                                        QStringLiteral("21"),
                                        []() -> std::shared_ptr<AbstractConnectionProtocol> {
                                            return std::make_shared<FTPConnection>();
                                        }};
    return answer;
}

bool FTPConnection::connectError(Error* error) {
    notImplemented(error);
    return false;
}

std::optional<QList<ConnectionItemAttributes>>
FTPConnection::contentsOfDirectoryAtPath(const QString& /*path*/, Error* error) {
    notImplemented(error);
    return std::nullopt;
}

std::optional<QByteArray> FTPConnection::contentsOfFileAtPath(const QString& /*path*/,
                                                              Error* /*error*/) {
    return std::nullopt;
}

std::optional<ConnectionItemAttributes>
FTPConnection::attributesOfItemAtPath(const QString& /*path*/, Error* error) {
    notImplemented(error);
    return std::nullopt;
}

bool FTPConnection::createDirectoryAtPath(const QString& /*path*/, Error* error) {
    notImplemented(error);
    return false;
}

bool FTPConnection::createFileAtPath(const QString& /*path*/,
                                     const std::optional<QByteArray>& /*contents*/, Error* error) {
    notImplemented(error);
    return false;
}

bool FTPConnection::moveItemAtPath(const QString& /*fromPath*/, const QString& /*toPath*/,
                                   Error* error) {
    notImplemented(error);
    return false;
}

bool FTPConnection::removeItemAtPath(const QString& /*path*/, Error* error) {
    notImplemented(error);
    return false;
}

bool FTPConnection::uploadFileFromPath(const QString& /*localPath*/, const QString& /*path*/,
                                       Error* error) {
    notImplemented(error);
    return false;
}

bool FTPConnection::downloadFileFromPath(const QString& /*path*/, const QString& /*localPath*/,
                                         Error* error) {
    notImplemented(error);
    return false;
}
