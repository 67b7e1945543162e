#pragma once

#include "core/Error.h"

#include <QString>

// Server passwords in the secure password store, one generic-password item per server:
// account = the user name, service (and label) = the server's service name, data = the password
// in UTF-8. A null QString stands for a missing value.
//
// Each operation clears the error out-parameter (code 0, empty domain) when it starts its real
// work and fills it on failure: -2000 for a missing argument, -1999 for an item whose password
// cannot be read, otherwise the store's own status (-25300: no such item).
class KeychainAccess {
public:
    KeychainAccess() = delete;

    static const QString errorDomain; // "    UtilsErrorDomain"
    static constexpr int missingArgumentCode = -2000;
    static constexpr int unreadablePasswordCode = -1999;
    static constexpr int itemNotFoundCode = -25300;

    // Null when there is no item (without an error) or on failure (with one).
    static QString getPasswordForUsername(const QString& username, const QString& serviceName,
                                          Error* error = nullptr);
    static void storeUsername(const QString& username, const QString& password,
                              const QString& serviceName, bool updateExisting,
                              Error* error = nullptr);
    static void deleteItemForUsername(const QString& username, const QString& serviceName,
                                      Error* error = nullptr);
};
