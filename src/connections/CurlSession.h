#pragma once

// One libcurl easy handle kept for the life of a remote connection, so that libcurl can keep
// the login open between requests. Each request sets its options, performs once and resets
// the handle, whatever the outcome.

#include "core/Error.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>

#include <curl/curl.h>

class CurlSession {
public:
    // domain: the error domain of transport failures ("FTP", "SFTP").
    explicit CurlSession(QString domain);
    ~CurlSession();
    CurlSession(const CurlSession&) = delete;
    CurlSession& operator=(const CurlSession&) = delete;

    CURL* handle() const { return handle_; }

    // Starts a request on the handle: URL, credentials, error buffer, verbose mode with the
    // transcript callback (unless withTranscript is false) and the time limits.
    void begin(const QByteArray& url, const QString& username, const QString& password,
               bool withTranscript = true);
    // Sets the time limits and the transcript callback again, after a failed perform that
    // keeps the rest of its options for a second attempt.
    void applyCommonOptions(bool withTranscript = true);

    // A list of commands kept alive until the end of the request.
    curl_slist* commandList(const QList<QByteArray>& commands);

    // Sets the memory writer into the given buffer.
    void collectInto(QByteArray* buffer);

    // Performs the request. Failure fills error with the domain, the libcurl code and the
    // error-buffer text. reset: reset the handle and free the command lists afterwards.
    bool perform(Error* error, bool reset = true);
    // Resets the handle and frees the command lists.
    void finish();

    CURLcode lastResult() const { return lastResult_; }

    QString transcript() const { return transcript_.join('\n'); }
    const QStringList& transcriptEntries() const { return transcript_; }

    // Seconds allowed to reach the server, and seconds a request may go without moving a byte
    // (or without an answer from the server) before it fails.
    long connectTimeout = 30;
    long stallTimeout = 60;

    static size_t writeToBuffer(char* data, size_t size, size_t count, void* buffer);
    static size_t writeToFile(char* data, size_t size, size_t count, void* file);

private:
    static int progressCallback(void* session, curl_off_t downloadTotal, curl_off_t downloaded,
                                curl_off_t uploadTotal, curl_off_t uploaded);
    static int debugCallback(CURL* handle, curl_infotype type, char* data, size_t size,
                             void* session);
    void record(curl_infotype type, const char* data, size_t size);

    CURLcode run();

    QString domain_;
    CURL* handle_ = nullptr;
    // Drives the handle (see run()); it also keeps the connections between requests.
    CURLM* multi_ = nullptr;
    char errorBuffer_[CURL_ERROR_SIZE] = {};
    QList<curl_slist*> lists_;
    CURLcode lastResult_ = CURLE_OK;
    // The stall watchdog: bytes moved so far and when that last changed.
    curl_off_t movedBytes_ = -1;
    QElapsedTimer sinceMoved_;
    bool stalled_ = false;
    QStringList transcript_;
    // The running count of the data message last recorded: "> " or "< ", and its bytes.
    QString dataPrefix_;
    qint64 dataBytes_ = 0;
};
