#include "core/Settings.h"
#include "projects/KeychainAccess.h"

#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Runs with a session bus address that leads nowhere: no Secret Service can be reached.
namespace {

TEST(KeychainWithoutService, CallsFailAndNothingIsWrittenInPlaintext) {
    QTemporaryDir home;
    qputenv("QUORVEL_HOME", home.path().toUtf8());
    const QString secret = "plaintext-must-not-appear-7391";

    Error error;
    KeychainAccess::storeUsername("anna", secret, "ftp://host.example:21/", true, &error);
    EXPECT_EQ(error.domain, KeychainAccess::errorDomain);
    EXPECT_NE(error.code, 0);
    EXPECT_NE(error.code, KeychainAccess::missingArgumentCode);

    error = Error{};
    EXPECT_TRUE(
        KeychainAccess::getPasswordForUsername("anna", "ftp://host.example:21/", &error).isNull());
    EXPECT_NE(error.code, 0);
    EXPECT_NE(error.code, KeychainAccess::itemNotFoundCode); // a failure, not "no password"

    error = Error{};
    KeychainAccess::deleteItemForUsername("anna", "ftp://host.example:21/", &error);
    EXPECT_NE(error.code, 0);

    // The program goes on working, and the password is nowhere in its folders.
    Settings::setOpenDocumentPaths({"index.html"}, "Site");
    EXPECT_EQ(Settings::openDocumentPathsForProjectTitle("Site"), QStringList{"index.html"});
    QDirIterator files(home.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_FALSE(file.readAll().contains(secret.toUtf8())) << file.fileName().toStdString();
    }
    qunsetenv("QUORVEL_HOME");
}

} // namespace
