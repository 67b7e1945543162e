#include "connections/CurlSession.h"

#include "connections/RemoteNames.h"

#include <cstdio>

CurlSession::CurlSession(QString domain) : domain_(std::move(domain)) {
    static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
    Q_UNUSED(initialised);
    handle_ = curl_easy_init();
    multi_ = curl_multi_init();
}

CurlSession::~CurlSession() {
    finish();
    if (handle_)
        curl_easy_cleanup(handle_);
    if (multi_)
        curl_multi_cleanup(multi_);
}

void CurlSession::begin(const QByteArray& url, const QString& username, const QString& password,
                        bool withTranscript) {
    errorBuffer_[0] = '\0';
    curl_easy_setopt(handle_, CURLOPT_URL, url.constData());
    const QByteArray user = remotenames::encode(username);
    const QByteArray pass = remotenames::encode(password);
    // Separate options instead of "user:password": a ":" in the user name stays in the name.
    curl_easy_setopt(handle_, CURLOPT_USERNAME, user.constData());
    curl_easy_setopt(handle_, CURLOPT_PASSWORD, pass.constData());
    applyCommonOptions(withTranscript);
}

void CurlSession::applyCommonOptions(bool withTranscript) {
    curl_easy_setopt(handle_, CURLOPT_ERRORBUFFER, errorBuffer_);
    curl_easy_setopt(handle_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle_, CURLOPT_CONNECTTIMEOUT, connectTimeout);
    curl_easy_setopt(handle_, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle_, CURLOPT_LOW_SPEED_TIME, stallTimeout);
    curl_easy_setopt(handle_, CURLOPT_SERVER_RESPONSE_TIMEOUT, stallTimeout);
    // libcurl's low-speed limit does not watch every phase (an SFTP server that stops answering
    // a command would hold the request for minutes), so a watchdog does as well.
    curl_easy_setopt(handle_, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle_, CURLOPT_XFERINFOFUNCTION, &CurlSession::progressCallback);
    curl_easy_setopt(handle_, CURLOPT_XFERINFODATA, this);
    if (withTranscript) {
        curl_easy_setopt(handle_, CURLOPT_VERBOSE, 1L);
        curl_easy_setopt(handle_, CURLOPT_DEBUGFUNCTION, &CurlSession::debugCallback);
        curl_easy_setopt(handle_, CURLOPT_DEBUGDATA, this);
    } else {
        curl_easy_setopt(handle_, CURLOPT_VERBOSE, 0L);
    }
}

curl_slist* CurlSession::commandList(const QList<QByteArray>& commands) {
    curl_slist* list = nullptr;
    for (const QByteArray& command : commands)
        list = curl_slist_append(list, command.constData());
    lists_.append(list);
    return list;
}

void CurlSession::collectInto(QByteArray* buffer) {
    curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, &CurlSession::writeToBuffer);
    curl_easy_setopt(handle_, CURLOPT_WRITEDATA, buffer);
}

bool CurlSession::perform(Error* error, bool reset) {
    errorBuffer_[0] = '\0';
    dataPrefix_.clear();
    movedBytes_ = -1;
    stalled_ = false;
    sinceMoved_.start();
    lastResult_ = run();
    QString text = errorBuffer_[0] ? QString::fromUtf8(errorBuffer_)
                                   : QString::fromUtf8(curl_easy_strerror(lastResult_));
    if (stalled_ && lastResult_ == CURLE_ABORTED_BY_CALLBACK)
        text = QStringLiteral("The server did not answer for %1 seconds.").arg(stallTimeout);
    if (reset)
        finish();
    if (lastResult_ == CURLE_OK)
        return true;
    setError(error, domain_, int(lastResult_), text);
    return false;
}

// One blocking transfer, as curl_easy_perform does it, but waking at least every 10 ms:
// libcurl 7.88 sometimes loses track of the FTP data connection it has just set up and then
// sleeps a whole second before going on, which made uploads of many small files crawl.
CURLcode CurlSession::run() {
    if (!handle_ || !multi_)
        return CURLE_FAILED_INIT;
    if (curl_multi_add_handle(multi_, handle_) != CURLM_OK)
        return CURLE_FAILED_INIT;
    CURLcode result = CURLE_OK;
    bool finished = false;
    int running = 1;
    while (!finished) {
        if (curl_multi_perform(multi_, &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == handle_) {
                result = message->data.result;
                finished = true;
            }
        }
        if (finished || running == 0)
            break;
        long timeout = -1;
        curl_multi_timeout(multi_, &timeout);
        const int wait = timeout < 0 || timeout > 10 ? 10 : int(timeout);
        if (curl_multi_poll(multi_, nullptr, 0, wait, nullptr) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
    }
    curl_multi_remove_handle(multi_, handle_);
    return result;
}

void CurlSession::finish() {
    if (handle_)
        curl_easy_reset(handle_);
    for (curl_slist* list : lists_)
        curl_slist_free_all(list);
    lists_.clear();
}

size_t CurlSession::writeToBuffer(char* data, size_t size, size_t count, void* buffer) {
    static_cast<QByteArray*>(buffer)->append(data, qsizetype(size * count));
    return size * count;
}

size_t CurlSession::writeToFile(char* data, size_t size, size_t count, void* file) {
    return std::fwrite(data, size, count, static_cast<FILE*>(file));
}

int CurlSession::progressCallback(void* session, curl_off_t, curl_off_t downloaded, curl_off_t,
                                  curl_off_t uploaded) {
    auto* self = static_cast<CurlSession*>(session);
    const curl_off_t moved = downloaded + uploaded;
    if (moved != self->movedBytes_) {
        self->movedBytes_ = moved;
        self->sinceMoved_.start();
        return 0;
    }
    if (self->sinceMoved_.elapsed() > self->stallTimeout * 1000) {
        self->stalled_ = true;
        return 1;
    }
    return 0;
}

int CurlSession::debugCallback(CURL*, curl_infotype type, char* data, size_t size, void* session) {
    static_cast<CurlSession*>(session)->record(type, data, size);
    return 0;
}

void CurlSession::record(curl_infotype type, const char* data, size_t size) {
    QString prefix;
    switch (type) {
    case CURLINFO_TEXT:
        prefix = QStringLiteral("* ");
        break;
    case CURLINFO_HEADER_IN:
    case CURLINFO_DATA_IN:
    case CURLINFO_SSL_DATA_IN:
        prefix = QStringLiteral("< ");
        break;
    case CURLINFO_HEADER_OUT:
    case CURLINFO_DATA_OUT:
    case CURLINFO_SSL_DATA_OUT:
        prefix = QStringLiteral("> ");
        break;
    default:
        return;
    }
    if (type == CURLINFO_DATA_IN || type == CURLINFO_DATA_OUT || type == CURLINFO_SSL_DATA_IN ||
        type == CURLINFO_SSL_DATA_OUT) {
        // Only the amount: a file's contents have no place in a text kept in memory. One entry
        // counts a whole run of data messages in one direction.
        if (dataPrefix_ == prefix && !transcript_.isEmpty()) {
            dataBytes_ += qint64(size);
            transcript_.last() = prefix + QStringLiteral("[%1 bytes of data]").arg(dataBytes_);
        } else {
            dataPrefix_ = prefix;
            dataBytes_ = qint64(size);
            transcript_.append(prefix + QStringLiteral("[%1 bytes of data]").arg(dataBytes_));
        }
        return;
    }
    dataPrefix_.clear();
    qsizetype length = qsizetype(size);
    if (length > 0 && data[length - 1] == '\n')
        --length;
    if (length > 0 && data[length - 1] == '\r')
        --length;
    QString text = remotenames::transcriptText(data, length);
    if (type == CURLINFO_HEADER_OUT && text.startsWith(QLatin1String("PASS "), Qt::CaseInsensitive))
        text = QStringLiteral("PASS ****");
    transcript_.append(prefix + text);
}
