#include "text/KTTextImages.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>

QImage KTTextImageNamed(const QString& name) {
    static QHash<QString, QImage> cache;
    const auto found = cache.constFind(name);
    if (found != cache.constEnd())
        return *found;
    // Beside the program first (an installed copy), then the source tree's resources.
    const QStringList folders{
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("resources/images")),
        QDir(QStringLiteral(QUORVEL_RESOURCES_DIR)).filePath(QStringLiteral("images"))};
    QImage image;
    for (const QString& folder : folders) {
        const QString path = QDir(folder).filePath(name);
        if (QFileInfo::exists(path) && image.load(path))
            break;
    }
    cache.insert(name, image);
    return image;
}
