#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// Generic-password items (service, account) -> secret in the desktop's Secret Service, through
// libsecret. Answers are status codes of the tablet platform's keychain so that callers can
// keep its semantics. There is no fallback: without a Secret Service every call fails.
namespace SecureStore {

constexpr int32_t errSecSuccess = 0;
constexpr int32_t errSecNotAvailable = -25291; // no Secret Service or no default keyring
constexpr int32_t errSecDuplicateItem = -25299;
constexpr int32_t errSecItemNotFound = -25300;
constexpr int32_t errSecInteractionNotAllowed = -25308; // the keyring is locked
constexpr int32_t errSecInternalComponent = -2070;      // any other failure of the service

// Looks up the first item with this service and account. With wantData, also its secret: an
// item whose secret cannot be had answers success with an empty optional.
int32_t findItem(const QString& service, const QString& account, bool wantData,
                 std::optional<QByteArray>* data = nullptr);
// Adds an item to the default keyring.
int32_t addItem(const QString& service, const QString& account, const QString& label,
                const QByteArray& data);
// Replaces the secret of the items with this service and account.
int32_t updateItem(const QString& service, const QString& account, const QByteArray& data);
// Deletes every item with this service and account; item-not-found when there is none.
int32_t deleteItems(const QString& service, const QString& account);
// How many items have this service and account.
int32_t countItems(const QString& service, const QString& account, int* count);

} // namespace SecureStore
