#include "platform/PropertyList.h"

#include <QDateTime>
#include <QFile>
#include <QSaveFile>
#include <QTimeZone>

#include <cstdlib>
#include <limits>
#include <plist/plist.h>

namespace {

// Property-list dates count seconds from 2001-01-01 00:00 UTC.
constexpr qint64 kReferenceDateOffset = 978307200;

struct PlistHolder {
    plist_t node = nullptr;
    PlistHolder() = default;
    explicit PlistHolder(plist_t n) : node(n) {}
    PlistHolder(const PlistHolder&) = delete;
    PlistHolder& operator=(const PlistHolder&) = delete;
    ~PlistHolder() {
        if (node)
            plist_free(node);
    }
};

QVariant toVariant(plist_t node) {
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return bool(value);
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        // Negative integers are kept in two's complement.
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
        if (plist_get_node_type(node) == PLIST_STRING)
            plist_get_string_val(node, &value);
        else
            plist_get_key_val(node, &value);
        QString string = QString::fromUtf8(value ? value : "");
        std::free(value);
        return string;
    }
    case PLIST_DATA: {
        char* value = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &value, &length);
        QByteArray data(value ? value : "", value ? qsizetype(length) : 0);
        std::free(value);
        return data;
    }
    case PLIST_DATE: {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        qint64 msecs = (qint64(sec) + kReferenceDateOffset) * 1000 + usec / 1000;
        return QDateTime::fromMSecsSinceEpoch(msecs, QTimeZone::utc());
    }
    case PLIST_ARRAY: {
        QVariantList list;
        uint32_t count = plist_array_get_size(node);
        list.reserve(count);
        for (uint32_t i = 0; i < count; ++i)
            list.append(toVariant(plist_array_get_item(node, i)));
        return list;
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(node, &iter);
        while (iter) {
            char* key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, iter, &key, &value);
            if (!key)
                break;
            map.insert(QString::fromUtf8(key), toVariant(value));
            std::free(key);
        }
        std::free(iter);
        return map;
    }
    default:
        return QVariant();
    }
}

plist_t fromVariant(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        return plist_new_bool(value.toBool() ? 1 : 0);
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return plist_new_uint(uint64_t(value.toLongLong()));
    case QMetaType::ULongLong:
        return plist_new_uint(value.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return plist_new_real(value.toDouble());
    case QMetaType::QByteArray: {
        QByteArray data = value.toByteArray();
        return plist_new_data(data.constData(), uint64_t(data.size()));
    }
    case QMetaType::QDateTime: {
        qint64 msecs = value.toDateTime().toMSecsSinceEpoch() - kReferenceDateOffset * 1000;
        qint64 sec = msecs >= 0 ? msecs / 1000 : -((-msecs + 999) / 1000);
        return plist_new_date(int32_t(sec), int32_t((msecs - sec * 1000) * 1000));
    }
    case QMetaType::QVariantMap: {
        plist_t dict = plist_new_dict();
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            plist_dict_set_item(dict, it.key().toUtf8().constData(), fromVariant(it.value()));
        return dict;
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        plist_t array = plist_new_array();
        const QVariantList list = value.toList();
        for (const QVariant& item : list)
            plist_array_append_item(array, fromVariant(item));
        return array;
    }
    default:
        return plist_new_string(value.toString().toUtf8().constData());
    }
}

} // namespace

namespace PropertyList {

QVariant fromData(const QByteArray& data, QString* errorMessage) {
    PlistHolder root;
    if (!data.isEmpty() && data.size() < qsizetype(std::numeric_limits<uint32_t>::max()))
        plist_from_memory(data.constData(), uint32_t(data.size()), &root.node);
    if (!root.node) {
        if (errorMessage)
            *errorMessage = QStringLiteral("not a property list");
        return QVariant();
    }
    return toVariant(root.node);
}

QByteArray toXml(const QVariant& value) {
    PlistHolder root(fromVariant(value));
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.node, &xml, &length);
    QByteArray result(xml ? xml : "", xml ? qsizetype(length) : 0);
    plist_to_xml_free(xml);
    return result;
}

QVariant readFile(const QString& path, QString* errorMessage) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (errorMessage)
            *errorMessage = file.errorString();
        return QVariant();
    }
    return fromData(file.readAll(), errorMessage);
}

bool writeFile(const QString& path, const QVariant& value, QString* errorMessage) {
    QSaveFile file(path);
    QByteArray xml = toXml(value);
    if (!file.open(QIODevice::WriteOnly) || file.write(xml) != xml.size() || !file.commit()) {
        if (errorMessage)
            *errorMessage = file.errorString();
        return false;
    }
    return true;
}

} // namespace PropertyList
