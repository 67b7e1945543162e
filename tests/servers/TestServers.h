#pragma once

// The real servers of the connection tests: the shared ones started by CTest fixtures
// (tests/servers/CMakeLists.txt) and private ones a test starts, breaks and stops itself.

#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include <optional>
#include <signal.h>
#include <sys/types.h>

namespace quorvel::test {

struct ServerInfo {
    QString directory; // the folder the script keeps the server's state in
    QString host;
    QString port;
    QString user;
    QString password;
    QString root;         // the folder the account starts in, on this machine
    QString log;          // the commands the server received (FTP commands, SFTP operations)
    QString daemonLog;    // sshd: its own log (connections, logins)
    QString hostKey;      // sshd: the public host key file
    QString otherHostKey; // sshd: a public key the server does not have

    QString readLog() const { return readText(log); }
    QString readDaemonLog() const { return readText(daemonLog); }
    static QString readText(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
};

inline std::optional<ServerInfo> readServerInfo(const QString& directory) {
    QFile file(QDir(directory).filePath("server.env"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    ServerInfo info;
    info.directory = directory;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        const qsizetype eq = line.indexOf('=');
        if (eq < 0)
            continue;
        const QString key = line.left(eq), value = line.mid(eq + 1);
        if (key == "HOST")
            info.host = value;
        else if (key == "PORT")
            info.port = value;
        else if (key == "USER")
            info.user = value;
        else if (key == "PASSWORD")
            info.password = value;
        else if (key == "ROOT")
            info.root = value;
        else if (key == "LOG")
            info.log = value;
        else if (key == "SSHD_LOG")
            info.daemonLog = value;
        else if (key == "HOST_KEY")
            info.hostKey = value;
        else if (key == "OTHER_HOST_KEY")
            info.otherHostKey = value;
    }
    return info;
}

// A server started by a CTest fixture: "ftp", "ftp_active", "ftp_canned" or "sshd".
inline std::optional<ServerInfo> sharedServer(const QString& name) {
    const QString base = qEnvironmentVariable("QUORVEL_TEST_SERVERS");
    if (base.isEmpty())
        return std::nullopt;
    return readServerInfo(QDir(base).filePath(name));
}

// A server of the test's own, stopped when the object goes away: "ftp" (mode "passive",
// "active" or "canned") or "sshd".
class PrivateServer {
public:
    explicit PrivateServer(const QString& kind = "ftp", const QString& mode = "passive",
                           qint64 dieAfterBytes = 0) {
        if (!dir_.isValid())
            return;
        // sshd runs the SFTP server as the test account, from a script in this folder.
        QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                               QFile::ReadGroup | QFile::ExeGroup |
                                               QFile::ReadOther | QFile::ExeOther);
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (dieAfterBytes > 0)
            environment.insert("FTP_DIE_AFTER_BYTES", QString::number(dieAfterBytes));
        process.setProcessEnvironment(environment);
        const QStringList arguments =
            kind == "sshd"
                ? QStringList{QUORVEL_TEST_SERVERS_SCRIPT, "start-sshd", serverDirectory()}
                : QStringList{QUORVEL_TEST_SERVERS_SCRIPT, "start-ftp", serverDirectory(), mode};
        process.start("sh", arguments);
        if (process.waitForFinished(30000) && process.exitCode() == 0)
            info_ = readServerInfo(serverDirectory());
    }
    ~PrivateServer() { stop(); }
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;

    const std::optional<ServerInfo>& info() const { return info_; }

    // Ends the server and its sessions at once; open connections to it drop.
    void stop() {
        if (!info_)
            return;
        QProcess::execute("sh", {QUORVEL_TEST_SERVERS_SCRIPT, "stop", serverDirectory()});
    }
    // Freezes the server and its sessions: connections stay open and nothing answers.
    void pause() { signalAll(SIGSTOP); }
    void resume() { signalAll(SIGCONT); }

private:
    QString serverDirectory() const { return dir_.filePath("server"); }
    pid_t pid() const {
        QFile file(QDir(serverDirectory()).filePath("pid"));
        return file.open(QIODevice::ReadOnly) ? pid_t(file.readAll().trimmed().toInt()) : 0;
    }
    // The server process and every process below it (sshd runs one per session).
    QList<pid_t> processes() const {
        QList<pid_t> found;
        if (pid() <= 0)
            return found;
        found.append(pid());
        QHash<pid_t, pid_t> parents;
        for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
            bool isNumber = false;
            const pid_t candidate = entry.toInt(&isNumber);
            if (!isNumber)
                continue;
            QFile stat("/proc/" + entry + "/stat");
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            const QByteArray line = stat.readAll();
            const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
            if (fields.size() > 1)
                parents.insert(candidate, pid_t(fields[1].toInt()));
        }
        for (qsizetype i = 0; i < found.size(); ++i) {
            for (auto it = parents.cbegin(); it != parents.cend(); ++it) {
                if (it.value() == found[i] && !found.contains(it.key()))
                    found.append(it.key());
            }
        }
        return found;
    }
    void signalAll(int sig) {
        for (pid_t p : processes())
            ::kill(p, sig);
    }

    QTemporaryDir dir_;
    std::optional<ServerInfo> info_;
};

} // namespace quorvel::test
