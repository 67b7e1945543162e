#pragma once

#include <QImage>
#include <QString>

// The files the program ships beside itself: language table and definitions, themes, images.
namespace Resources {

// $QUORVEL_RESOURCES when set, else an installed folder next to the program
// (../share/quorvel/resources or ./resources), else the source tree's resources folder.
QString directory();

// directory()/folder/name; the path is answered whether or not the file exists.
QString path(const QString& folder, const QString& name);

// directory()/folder/name.type when such a file exists; empty otherwise.
QString pathForResource(const QString& folder, const QString& name, const QString& type);

// An image of resources/images; a null image when it is missing.
QImage image(const QString& name);

} // namespace Resources
