#pragma once

#include "connections/AbstractConnectionProtocol.h"
#include "connections/CurlSession.h"

#include <QElapsedTimer>
#include <QIODevice>
#include <QSet>

#include <cstdio>
#include <functional>

// What FTP and SFTP connections share: one libcurl handle for the object's life, listings
// parsed line by line, lookups through the parent's listing, recursive removal that deletes
// links instead of following them, uploads under a free temporary name moved into place only
// after the data arrived, downloads that replace the local file only on success.
class RemoteConnection : public AbstractConnectionProtocol {
public:
    ~RemoteConnection() override;

    QString transcript() const override;

    std::optional<QList<ConnectionItemAttributes>>
    contentsOfDirectoryAtPath(const QString& path, Error* error = nullptr) override;
    // Remote connections do not read files into memory.
    std::optional<QByteArray> contentsOfFileAtPath(const QString& path,
                                                   Error* error = nullptr) override;
    std::optional<ConnectionItemAttributes> attributesOfItemAtPath(const QString& path,
                                                                   Error* error = nullptr) override;
    bool removeItemAtPath(const QString& path, Error* error = nullptr) override;
    bool uploadFileFromPath(const QString& localPath, const QString& path,
                            Error* error = nullptr) override;
    bool downloadFileFromPath(const QString& path, const QString& localPath,
                              Error* error = nullptr) override;

    // Seconds to reach the server (30 by default), and seconds a request may go without a byte
    // moving or an answer arriving before it fails (60 by default).
    long connectTimeout() const { return m_session.connectTimeout; }
    void setConnectTimeout(long seconds) { m_session.connectTimeout = seconds; }
    long stallTimeout() const { return m_session.stallTimeout; }
    void setStallTimeout(long seconds) { m_session.stallTimeout = seconds; }

    // The numbers temporary upload names are drawn from (a random generator by default).
    void setRandomSource(std::function<uint32_t()> source) { m_random = std::move(source); }

protected:
    enum class Request { Login, Listing, Command, Upload, Download };

    explicit RemoteConnection(const QString& domain);

    CurlSession& session() { return m_session; }
    QString domain() const { return m_domain; }

    // The request URL of a server path, each segment percent-encoded.
    virtual QByteArray urlForPath(const QString& path, bool isDirectory) const = 0;
    // Sets the options one protocol adds to every request of a kind.
    virtual void applyProtocolOptions(Request request) = 0;
    // Whether listings tell the delegate before and after.
    virtual bool reportsListings() const = 0;
    // Whether a rename onto an existing file replaces it (FTP servers) or fails (SFTP).
    virtual bool renameReplacesFiles() const = 0;
    // Whether removing an entry that is not there tells the delegate it was removed.
    virtual bool reportsRemovalOfMissingEntries() const = 0;
    // The server command removing an entry: a directory, or a file or link.
    virtual QByteArray removeCommand(const QString& path, bool isDirectory) const = 0;
    // What runs after the data of an upload to the temporary path: drop the old entry (when
    // there is one) and rename the new one into place.
    virtual QList<QByteArray> commandsAfterUpload(const QString& temporaryPath, const QString& path,
                                                  bool replacesEntry) const = 0;
    // The transcript text of a failed request (the error-buffer text by default).
    virtual void describeFailure(Error* /*error*/) {}

    // "scheme://host:port/" with the host in brackets when it is an IPv6 address.
    QByteArray serverURL() const;

    // Starts a request with the common settings and the protocol's options for its kind.
    void beginRequest(Request request, const QByteArray& url, bool withTranscript = true);
    // Performs it: failure fills error (and the protocol may explain it further).
    bool performRequest(Error* error, bool reset = true);

    // Runs server commands through a request on the given URL that transfers nothing.
    bool runCommands(const QList<QByteArray>& commands, const QByteArray& url, Error* error);

    // Fails with "Invalid path" when a path could carry a second command to the server.
    bool checkPaths(std::initializer_list<QString> paths, Error* error) const;

    enum class Lookup { Found, Missing, Failed };
    // Finds an entry in its parent's listing; siblings (optional) receives that listing.
    Lookup lookUp(const QString& path, ConnectionItemAttributes* found,
                  QList<ConnectionItemAttributes>* siblings, Error* error);

    // Uploads from an open file (size known) or from a device read to its end.
    bool upload(std::FILE* file, qint64 size, QIODevice* device, const QString& path, Error* error);

    void notifyWillStart();

private:
    QString temporaryPath(const QString& path, const QList<ConnectionItemAttributes>& siblings);
    bool removeItem(const QString& path, Error* error, const ConnectionItemAttributes* known);

    // The listing an upload read last, with the uploads made into it since.
    struct RecentListing {
        QString folder;
        QList<ConnectionItemAttributes> contents;
        QElapsedTimer age;
        bool isValid() const { return age.isValid(); }
    };

    QString m_domain;
    CurlSession m_session;
    RecentListing m_recentListing;
    std::function<uint32_t()> m_random;
};

namespace remotepaths {

// The path without trailing separators ("/" stays "/").
QString trimmed(const QString& path);
// The last component: "/a/b" gives "b", "b" gives "b".
QString lastComponent(const QString& path);
// The folder part: "/a/b" gives "/a", "/b" gives "/", "b" gives "".
QString parent(const QString& path);
// Path-component appending: no doubled separator, an empty folder gives the name alone.
QString join(const QString& folder, const QString& name);
// The extension of the last component, without its dot; "" when there is none.
QString extension(const QString& path);

} // namespace remotepaths
