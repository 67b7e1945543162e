#include "projects/KeychainAccess.h"

#include "platform/SecureStore.h"

#include <QStringDecoder>

const QString KeychainAccess::errorDomain = QStringLiteral("    UtilsErrorDomain");

namespace {

// Errors of this class carry a code and nothing else.
void fail(Error* error, int code) {
    setError(error, KeychainAccess::errorDomain, code, QString());
}

void clear(Error* error) {
    if (error)
        *error = Error{};
}

} // namespace

QString KeychainAccess::getPasswordForUsername(const QString& username, const QString& serviceName,
                                               Error* error) {
    if (username.isNull() || serviceName.isNull()) {
        fail(error, missingArgumentCode);
        return QString();
    }
    clear(error);
    // One lookup answers both whether the item exists and its secret.
    std::optional<QByteArray> data;
    int32_t status = SecureStore::findItem(serviceName, username, true, &data);
    if (status == SecureStore::errSecItemNotFound)
        return QString();
    if (status != SecureStore::errSecSuccess) {
        fail(error, status);
        return QString();
    }
    if (data) {
        // Bytes that are not UTF-8 are as unreadable as missing ones: storing a new password
        // then replaces the item instead of adding a second one beside it.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString password = decoder(*data);
        if (!decoder.hasError()) {
            // An empty password is a password, not a missing one.
            return password.isNull() ? QStringLiteral("") : password;
        }
    }
    fail(error, unreadablePasswordCode);
    return QString();
}

void KeychainAccess::storeUsername(const QString& username, const QString& password,
                                   const QString& serviceName, bool updateExisting, Error* error) {
    if (username.isNull() || password.isNull() || serviceName.isNull()) {
        fail(error, missingArgumentCode);
        return;
    }
    clear(error);
    Error failure;
    QString existing = getPasswordForUsername(username, serviceName, &failure);
    if (failure.code == unreadablePasswordCode) {
        // A damaged item is replaced rather than left to shadow the new password.
        failure = Error{};
        deleteItemForUsername(username, serviceName, &failure);
    }
    if (failure.code != 0) {
        if (error)
            *error = failure;
        return;
    }
    int32_t status = SecureStore::errSecSuccess;
    if (!existing.isNull()) {
        if (existing != password && updateExisting)
            status = SecureStore::updateItem(serviceName, username, password.toUtf8());
    } else {
        status = SecureStore::addItem(serviceName, username, serviceName, password.toUtf8());
    }
    if (status != SecureStore::errSecSuccess)
        fail(error, status);
}

void KeychainAccess::deleteItemForUsername(const QString& username, const QString& serviceName,
                                           Error* error) {
    if (username.isNull() || serviceName.isNull()) {
        fail(error, missingArgumentCode);
        return;
    }
    clear(error);
    int32_t status = SecureStore::deleteItems(serviceName, username);
    if (status != SecureStore::errSecSuccess)
        fail(error, status);
}
