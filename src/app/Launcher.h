#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <optional>

class QLocalServer;

// What happens before the program proper starts: turning the command line into the URL handed
// to it, and handing that URL to a program that already runs.
namespace Launcher {

// An own-scheme or other URL is answered as given. A local file (a path, or a file URL) is
// handed over as another application would: copied into documents / "Inbox" first, and the
// copy's file URL answered. None, with a message, when the file cannot be handed over.
std::optional<QUrl> urlForArgument(const QString& argument, QString* errorMessage = nullptr);

// Copies the file (file to file, never whole into memory) into documents / "Inbox" under its
// own name, or "name-1.ext", "name-2.ext"… when that is taken. Answers the copy's path.
QString copyIntoInbox(const QString& path, QString* errorMessage = nullptr);

} // namespace Launcher

// The local socket through which a second start hands its URL to the running program.
class InstanceChannel : public QObject {
    Q_OBJECT
public:
    explicit InstanceChannel(QObject* parent = nullptr);
    ~InstanceChannel() override;

    // In the user's private temporary folder, so only the user's own programs can reach it.
    static QString socketPath();
    // Answers NO when no program is listening. A null URL only asks the program to come forward.
    static bool sendToRunningInstance(const QUrl& url);

    bool listen(QString* errorMessage = nullptr);

Q_SIGNALS:
    void urlReceived(const QUrl& url);
    void activationRequested();

private:
    QLocalServer* m_server = nullptr;
};
