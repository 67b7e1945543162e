#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

// Starts the real program: a second start hands its URL or document to the running one.
namespace {

QString program() {
    return qEnvironmentVariable("QUORVEL_BINARY");
}

QProcessEnvironment environmentFor(const QString& home) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QUORVEL_HOME", home);
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    return environment;
}

// Runs one start to its end and answers its exit code.
int runOnce(const QString& home, const QStringList& arguments, QByteArray* errors = nullptr) {
    QProcess process;
    process.setProcessEnvironment(environmentFor(home));
    process.start(program(), arguments);
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    if (errors)
        *errors = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QByteArray read(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(Program, UnusableProjectDatabaseEndsTheProgram) {
    QTemporaryDir home;
    QDir().mkpath(home.filePath("Library"));
    const QByteArray garbage(4096, 'x');
    QFile file(home.filePath("Library/Projects.sqlite"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(garbage);
    file.close();

    QByteArray errors;
    EXPECT_EQ(runOnce(home.path(), {}, &errors), 1);
    EXPECT_TRUE(errors.contains("Projects.sqlite")) << errors.toStdString();
    EXPECT_EQ(read(home.filePath("Library/Projects.sqlite")), garbage);
}

TEST(Program, SecondStartHandsItsURLAndDocumentToTheRunningProgram) {
    QTemporaryDir home;
    QProcess running;
    running.setProcessEnvironment(environmentFor(home.path()));
    running.start(program(), {});
    ASSERT_TRUE(running.waitForStarted());
    const QString socket = home.filePath("tmp/instance.socket");
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(socket); }, 30000));

    EXPECT_EQ(runOnce(home.path(), {"quorvel://debug?a=1&setVersion=x&setVersion=y"}), 0);
    auto stored = [&] {
        QSettings defaults(home.filePath("Preferences/Quorvel.conf"), QSettings::NativeFormat);
        return defaults.value("LastKnownUpdate").toString();
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return stored() == "y"; }, 30000)) << stored().toStdString();

    QTemporaryDir userFolder;
    const QString document = userFolder.filePath("notes.txt");
    QFile file(document);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("handed over while running");
    file.close();
    EXPECT_EQ(runOnce(home.path(), {document}), 0);
    const QString copy = home.filePath("tmp/notes.txt");
    EXPECT_TRUE(QTest::qWaitFor([&] { return read(copy) == "handed over while running"; }, 30000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !QFileInfo::exists(home.filePath("Documents/Inbox")); }, 30000));
    EXPECT_EQ(read(document), "handed over while running");

    // A start without arguments only brings the running program forward.
    EXPECT_EQ(runOnce(home.path(), {}), 0);
    EXPECT_EQ(running.state(), QProcess::Running);

    running.terminate();
    if (!running.waitForFinished(30000)) {
        running.kill();
        running.waitForFinished();
    }
}

} // namespace
