#include "text/KTTextImages.h"

#include "platform/Resources.h"

#include <QHash>

QImage KTTextImageNamed(const QString& name) {
    static QHash<QString, QImage> cache;
    const auto found = cache.constFind(name);
    if (found != cache.constEnd())
        return *found;
    const QImage image = Resources::image(name);
    cache.insert(name, image);
    return image;
}
