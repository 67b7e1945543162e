#pragma once

// Helpers shared by the FTP and SFTP tests: files on this machine, the connection's view of
// them, and a delegate that writes down what it hears.

#include "connections/AbstractConnectionProtocol.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <gtest/gtest.h>

namespace remotetest {

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A file of the given size whose bytes tell their position apart.
inline QByteArray patternBytes(qsizetype size, char seed = 'a') {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(seed + (i * 7 + i / 251) % 26);
    return bytes;
}

inline QStringList names(const QList<ConnectionItemAttributes>& contents) {
    QStringList result;
    for (const ConnectionItemAttributes& record : contents)
        result.append(record.name);
    result.sort();
    return result;
}

inline QStringList sortedEntries(const QString& folder) {
    QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                 QDir::Hidden | QDir::System);
    entries.sort();
    return entries;
}

struct RecordingDelegate : AbstractConnectionProtocolDelegate {
    QStringList calls;
    void connectionWillStartRequest(AbstractConnectionProtocol*) override { calls << "willStart"; }
    void connectionDidFinishRequest(AbstractConnectionProtocol*) override { calls << "didFinish"; }
    void connectionWillGetContentsOfDirectoryAtPath(AbstractConnectionProtocol*,
                                                    const QString& p) override {
        calls << "willList " + p;
    }
    void connectionDidGetContentsOfDirectory(AbstractConnectionProtocol*,
                                             const QList<ConnectionItemAttributes>&,
                                             const QString& p) override {
        calls << "didList " + p;
    }
    void connectionDidCreateDirectoryAtPath(AbstractConnectionProtocol*,
                                            const QString& p) override {
        calls << "didCreateDirectory " + p;
    }
    void connectionDidCreateFileAtPath(AbstractConnectionProtocol*, const QString& p,
                                       const std::optional<QByteArray>& contents) override {
        calls << QStringLiteral("didCreateFile %1 %2").arg(p, contents ? "bytes" : "none");
    }
    void connectionDidMoveItemAtPath(AbstractConnectionProtocol*, const QString& from,
                                     const QString& to) override {
        calls << "didMove " + from + " " + to;
    }
    void connectionDidRemoveItemAtPath(AbstractConnectionProtocol*, const QString& p) override {
        calls << "didRemove " + p;
    }
};

// An error already holding something, to see whether an operation touched it.
inline Error untouchedMarker() {
    return Error{QStringLiteral("marker"), 4242, QStringLiteral("untouched")};
}

} // namespace remotetest
