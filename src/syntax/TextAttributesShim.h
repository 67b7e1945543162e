#pragma once
// Provisional until the text store lands: the attribute dictionary type and key names.
#include <QString>
#include <QVariantMap>
using KTTextAttributes = QVariantMap;
inline const QString kCTForegroundColorAttributeName = QStringLiteral("CTForegroundColor");
