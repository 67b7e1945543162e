#pragma once

#include <QDir>
#include <QString>

namespace quorvel::test {

// Folder for files a test leaves for people to look at (screenshots); created on demand.
inline QString outputDirectory() {
    QString dir = qEnvironmentVariable("QUORVEL_TEST_OUTPUT");
    if (dir.isEmpty())
        dir = QDir::temp().filePath("quorvel-test-output");
    QDir().mkpath(dir);
    return dir;
}

} // namespace quorvel::test
