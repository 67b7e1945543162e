#pragma once

#include "core/Error.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

// One directory entry as every connection reports it. "name" and "type" are always present;
// the other keys may be absent.
struct ConnectionItemAttributes {
    // The entry's own name, without any directory part.
    QString name;
    // "directory" for an entry that can be entered, "file" otherwise.
    QString type;
    // Size in bytes: always for local entries, for remote ones when the listing gives it.
    std::optional<int64_t> size;
    // Modification time (UTC): always for local entries, for remote ones when the listing
    // gives a non-zero time.
    std::optional<QDateTime> mdate;
    // Present (as the empty string) only on remote entries whose listing line begins with
    // "lrwxrwxrwx"; only its presence matters.
    std::optional<QString> link;
    // True for every remote entry whose listing line starts with "l", whatever its
    // permissions: a symbolic link that removal must delete itself and never descend into.
    // Local entries leave it false (links there are reported as plain files).
    bool isLink = false;

    bool isDirectory() const { return type == typeDirectory(); }

    static QString typeDirectory() { return QStringLiteral("directory"); }
    static QString typeFile() { return QStringLiteral("file"); }

    friend bool operator==(const ConnectionItemAttributes&,
                           const ConnectionItemAttributes&) = default;
};

// The domain of the errors a connection raises itself (rather than passing on the file
// system's or the transfer library's).
inline const QString ConnectionGenericErrorDomain = QStringLiteral("ConnectionGenericErrorDomain");

// Codes used with ConnectionGenericErrorDomain (and 1003 with the "SFTP" domain).
enum ConnectionErrorCode : int {
    // A read, create or download target that failed.
    ConnectionGenericErrorCode = 1001,
    // A path that is malformed or would reach outside the connection's folder; nothing is
    // touched and nothing is sent.
    ConnectionInvalidPathErrorCode = 1002,
    // An operation the connection does not offer.
    ConnectionOperationNotSupportedErrorCode = 1003,
};

// The domain of errors passed on from the local file system: the code is the errno value.
inline const QString ConnectionFileSystemErrorDomain = QStringLiteral("NSPOSIXErrorDomain");
