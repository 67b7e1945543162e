#include "platform/Resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace Resources {

namespace {

bool looksLikeResources(const QString& dir) {
    return !dir.isEmpty() && QFileInfo(QDir(dir).filePath(QStringLiteral("syntax"))).isDir();
}

} // namespace

QString directory() {
    const QString env = qEnvironmentVariable("QUORVEL_RESOURCES");
    if (looksLikeResources(env))
        return env;
    if (QCoreApplication::instance()) {
        const QDir app(QCoreApplication::applicationDirPath());
        for (const QString& candidate : {app.filePath(QStringLiteral("../share/quorvel/resources")),
                                         app.filePath(QStringLiteral("resources"))}) {
            if (looksLikeResources(candidate))
                return QDir::cleanPath(candidate);
        }
    }
    return QStringLiteral(QUORVEL_RESOURCES_DIR);
}

QString path(const QString& folder, const QString& name) {
    return QDir(directory()).filePath(folder + u'/' + name);
}

QString pathForResource(const QString& folder, const QString& name, const QString& type) {
    if (name.isEmpty())
        return QString();
    const QString file = path(folder, type.isEmpty() ? name : name + u'.' + type);
    return QFileInfo(file).isFile() ? file : QString();
}

QImage image(const QString& name) {
    return QImage(path(QStringLiteral("images"), name));
}

} // namespace Resources
