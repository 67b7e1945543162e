#pragma once

#include <QString>
#include <QVariant>

// Where the program finds the files it ships (language table, definitions, themes), and reading
// the property lists among them.
namespace SyntaxResources {

// The resources folder: $QUORVEL_RESOURCES when set, else an installed folder next to the program
// (../share/quorvel/resources or ./resources), else the source tree's resources folder.
QString resourcesDirectory();

// resourcesDirectory()/folder/name.type; empty when there is no such file.
QString pathForResource(const QString& folder, const QString& name, const QString& type);

// A property list (XML or binary) as QVariantMap / QVariantList / QString / bool / qint64 /
// double / QByteArray / QDateTime; an invalid QVariant when the file cannot be read or parsed.
QVariant readPropertyList(const QString& path);

} // namespace SyntaxResources
