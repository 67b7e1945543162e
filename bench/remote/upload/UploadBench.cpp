// Uploads a folder of 200 files of 4 KB into a local FTP server through FTPConnection, then the
// same folder with lftp's "mirror -R", and prints both times and their ratio.
//
//   bench_remote_upload [files] [bytes per file]

#include "TestServers.h"
#include "connections/FTPConnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

int countFiles(const QString& folder) {
    return int(QDir(folder).entryList(QDir::Files).size());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 200;
    const int size = argc > 2 ? std::atoi(argv[2]) : 4096;

    QTemporaryDir work;
    const QString source = work.filePath("site");
    QDir().mkpath(source);
    for (int i = 0; i < files; ++i) {
        QFile file(QDir(source).filePath(QStringLiteral("file-%1.html").arg(i, 3, 10, QChar('0'))));
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        QByteArray bytes(size, char('a' + i % 26));
        file.write(bytes);
    }

    // Stopped when it goes out of scope, on every way out.
    const quorvel::test::PrivateServer ftp;
    if (!ftp.info()) {
        std::fprintf(stderr, "could not start the FTP server\n");
        return 1;
    }
    const quorvel::test::ServerInfo& server = *ftp.info();

    // The machine may be shared: the rounds alternate between the two and the best of each
    // counts.
    const int rounds = 3;
    double ours = 1e300, theirs = 1e300;
    int oursArrived = files, theirsArrived = files;
    QElapsedTimer timer;
    const QStringList names = QDir(source).entryList(QDir::Files, QDir::Name);
    for (int round = 0; round < rounds; ++round) {
        // Through FTPConnection: one connection object, as the transfer screen uses it.
        const QString ourFolder = QStringLiteral("/quorvel-%1").arg(round);
        timer.start();
        FTPConnection connection;
        connection.setScheme("ftp");
        connection.setHost("127.0.0.1");
        connection.setPort(server.port);
        connection.setUsername(server.user);
        connection.setPassword(server.password);
        Error error;
        bool ok =
            connection.connectError(&error) && connection.createDirectoryAtPath(ourFolder, &error);
        for (const QString& name : names) {
            if (!ok)
                break;
            ok = connection.uploadFileFromPath(QDir(source).filePath(name), ourFolder + "/" + name,
                                               &error);
        }
        ours = std::min(ours, double(timer.nsecsElapsed()) / 1e6);
        if (!ok) {
            std::fprintf(stderr, "FTPConnection failed: %s\n", qPrintable(error.description));
            return 1;
        }

        // The same folder with lftp.
        const QString theirFolder = QStringLiteral("/lftp-%1").arg(round);
        timer.restart();
        QProcess lftp;
        lftp.start("lftp", {"-u", server.user + "," + server.password, "-p", server.port, "-e",
                            "set ftp:passive-mode on; set cmd:fail-exit yes; mirror -R " + source +
                                " " + theirFolder + "; quit",
                            "127.0.0.1"});
        const bool lftpRan = lftp.waitForFinished(600000) && lftp.exitCode() == 0;
        theirs = std::min(theirs, double(timer.nsecsElapsed()) / 1e6);
        if (!lftpRan) {
            std::fprintf(stderr, "lftp failed: %s\n", lftp.readAllStandardError().constData());
            return 1;
        }
        oursArrived = std::min(oursArrived, countFiles(server.root + ourFolder));
        theirsArrived = std::min(theirsArrived, countFiles(server.root + theirFolder));
    }

    std::printf("upload of %d files of %d bytes into a local FTP server\n", files, size);
    std::printf("  best of %d rounds each\n", rounds);
    std::printf("  FTPConnection     %8.1f ms  (%d files arrived)\n", ours, oursArrived);
    std::printf("  lftp mirror -R    %8.1f ms  (%d files arrived)\n", theirs, theirsArrived);
    std::printf("  ratio             %8.2fx  (target <= 2x)\n", ours / theirs);
    return oursArrived == files && theirsArrived == files ? 0 : 1;
}
