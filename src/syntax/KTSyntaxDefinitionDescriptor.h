#pragma once

#include <QString>
#include <QStringList>

// One row of the table of available definitions.
struct KTSyntaxDefinitionDescriptor {
    QString title;
    // Resource name of the definition file without ".plist"; empty (or null) for plain text.
    QString identifier;
    // Extensions without the dot.
    QStringList fileTypes;

    friend bool operator==(const KTSyntaxDefinitionDescriptor&,
                           const KTSyntaxDefinitionDescriptor&) = default;
};
