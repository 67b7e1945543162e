#include "syntax/SyntaxResources.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
// The C interface: the C++ wrapper of the libplist shipped with Debian 12 loses array items.
#include <plist/plist.h>

namespace SyntaxResources {

namespace {

bool looksLikeResources(const QString& dir) {
    return !dir.isEmpty() && QFileInfo(QDir(dir).filePath(QStringLiteral("syntax"))).isDir();
}

QVariant toVariant(plist_t node) {
    if (!node)
        return QVariant();
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return bool(value);
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return qint64(value);
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return value;
    }
    case PLIST_STRING:
    case PLIST_KEY: {
        char* value = nullptr;
        if (plist_get_node_type(node) == PLIST_KEY)
            plist_get_key_val(node, &value);
        else
            plist_get_string_val(node, &value);
        const QString string = value ? QString::fromUtf8(value) : QString();
        free(value);
        return string;
    }
    case PLIST_DATA: {
        char* value = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &value, &length);
        const QByteArray data(value, qsizetype(length));
        free(value);
        return data;
    }
    case PLIST_DATE: {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        // Property-list dates count from 2001-01-01.
        return QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC)
            .addMSecs(qint64(sec) * 1000 + usec / 1000);
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t size = plist_array_get_size(node);
        list.reserve(size);
        for (uint32_t i = 0; i < size; ++i)
            list.append(toVariant(plist_array_get_item(node, i)));
        return list;
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        for (;;) {
            char* key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, it, &key, &value);
            if (!key)
                break;
            map.insert(QString::fromUtf8(key), toVariant(value));
            free(key);
        }
        free(it);
        return map;
    }
    default:
        return QVariant();
    }
}

} // namespace

QString resourcesDirectory() {
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

QString pathForResource(const QString& folder, const QString& name, const QString& type) {
    if (name.isEmpty())
        return QString();
    const QString path = QDir(resourcesDirectory())
                             .filePath(folder + u'/' + name + (type.isEmpty() ? "" : "." + type));
    return QFileInfo(path).isFile() ? path : QString();
}

QVariant readPropertyList(const QString& path) {
    if (path.isEmpty())
        return QVariant();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QVariant();
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty() || bytes.size() > 0x7fffffff)
        return QVariant();
    plist_t root = nullptr;
    plist_from_memory(bytes.constData(), uint32_t(bytes.size()), &root);
    if (!root)
        return QVariant();
    QVariant result = toVariant(root);
    plist_free(root);
    return result;
}

} // namespace SyntaxResources
