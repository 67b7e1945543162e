#include "app/Launcher.h"

#include "core/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>

namespace {

constexpr int kConnectTimeoutMs = 2000;

bool looksLikeURL(const QString& argument) {
    // "C:" or a bare name are paths; a scheme has at least two characters.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(argument).hasMatch() && !QFileInfo::exists(argument);
}

} // namespace

namespace Launcher {

QString copyIntoInbox(const QString& path, QString* errorMessage) {
    auto fail = [&](const QString& why) {
        if (errorMessage)
            *errorMessage = QStringLiteral("cannot open \u201C%1\u201D: %2").arg(path, why);
        return QString();
    };
    QFileInfo source(path);
    if (!source.exists())
        return fail(QStringLiteral("no such file"));
    if (!source.isFile())
        return fail(QStringLiteral("not a file"));

    const QString inbox = Settings::pathToDocumentsDirectory() + QStringLiteral("/Inbox");
    if (!QDir().mkpath(inbox))
        return fail(QStringLiteral("cannot create \u201C%1\u201D").arg(inbox));
    const QString base = source.completeBaseName();
    const QString suffix =
        source.suffix().isEmpty() ? QString() : QLatin1Char('.') + source.suffix();
    QString target = inbox + QLatin1Char('/') + source.fileName();
    for (int n = 1; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n)
        target = inbox + QStringLiteral("/%1-%2%3").arg(base).arg(n).arg(suffix);

    QFile file(source.absoluteFilePath());
    if (!file.copy(target))
        return fail(file.errorString());
    return target;
}

std::optional<QUrl> urlForArgument(const QString& argument, QString* errorMessage) {
    if (argument.isEmpty())
        return std::nullopt;
    QString path = argument;
    if (looksLikeURL(argument)) {
        QUrl url(argument, QUrl::StrictMode);
        if (!url.isValid()) {
            if (errorMessage)
                *errorMessage = QStringLiteral("not a valid URL: %1").arg(argument);
            return std::nullopt;
        }
        if (!url.isLocalFile())
            return url;
        path = url.toLocalFile();
    }
    const QString copy = copyIntoInbox(path, errorMessage);
    if (copy.isEmpty())
        return std::nullopt;
    return QUrl::fromLocalFile(copy);
}

} // namespace Launcher

InstanceChannel::InstanceChannel(QObject* parent) : QObject(parent) {}

InstanceChannel::~InstanceChannel() = default;

QString InstanceChannel::socketPath() {
    return Settings::pathToTemporaryDirectory() + QStringLiteral("/instance.socket");
}

bool InstanceChannel::sendToRunningInstance(const QUrl& url) {
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    socket.write(url.toEncoded() + '\n');
    bool sent = socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(kConnectTimeoutMs);
    return sent;
}

bool InstanceChannel::listen(QString* errorMessage) {
    const QString path = socketPath();
    // A socket left by a program that ended without cleaning up would block the name.
    QLocalServer::removeServer(path);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(path)) {
        if (errorMessage)
            *errorMessage = m_server->errorString();
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            auto drain = [this, socket] {
                while (socket->canReadLine()) {
                    const QByteArray line = socket->readLine().trimmed();
                    if (line.isEmpty())
                        Q_EMIT activationRequested();
                    else
                        Q_EMIT urlReceived(QUrl::fromEncoded(line, QUrl::StrictMode));
                }
            };
            connect(socket, &QLocalSocket::readyRead, this, drain);
            drain();
        }
    });
    return true;
}
