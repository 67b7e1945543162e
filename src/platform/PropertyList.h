#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

// Property lists (XML or binary) read into Qt values and written as XML.
// Dictionaries are QVariantMap, arrays QVariantList, strings QString, booleans bool,
// integers qint64, reals double, data QByteArray and dates QDateTime (UTC).
namespace PropertyList {

// An invalid QVariant when the bytes are not a property list.
QVariant fromData(const QByteArray& data, QString* errorMessage = nullptr);
QByteArray toXml(const QVariant& value);

// An invalid QVariant when the file is missing or unreadable.
QVariant readFile(const QString& path, QString* errorMessage = nullptr);

// Writes through a temporary file in the same folder that is renamed over the target,
// so an interrupted write leaves the previous file whole.
bool writeFile(const QString& path, const QVariant& value, QString* errorMessage = nullptr);

} // namespace PropertyList
