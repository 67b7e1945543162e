#pragma once

#include <QImage>
#include <QString>

// Images shipped in the resources folder, by file name ("KTSelectionHandle.png"); loaded once.
// A null image when the file is missing.
QImage KTTextImageNamed(const QString& name);
