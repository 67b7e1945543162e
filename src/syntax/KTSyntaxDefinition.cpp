#include "syntax/KTSyntaxDefinition.h"

#include "syntax/KeywordListSyntaxDefinition.h"
#include "syntax/SyntaxResources.h"

#include <QDir>

std::optional<QList<KTSyntaxDefinitionDescriptor>> KTSyntaxDefinition::descriptors() {
    return KeywordListSyntaxDefinition::descriptors();
}

QList<KTSyntaxDefinitionDescriptor>
KTSyntaxDefinition::syntaxDefinitionDescriptorsForSyntaxDescriptor(
    const KTSyntaxDescriptor& descriptor) {
    QList<KTSyntaxDefinitionDescriptor> result;
    if (!descriptor.fileType)
        return result;
    const auto table = descriptors();
    if (!table)
        return result;
    for (const KTSyntaxDefinitionDescriptor& row : *table) {
        if (!row.fileTypes.isEmpty() &&
            row.fileTypes.contains(*descriptor.fileType, Qt::CaseSensitive))
            result.append(row);
    }
    return result;
}

std::shared_ptr<KTSyntaxDefinition>
KTSyntaxDefinition::syntaxDefinitionForSyntaxDescriptor(const KTSyntaxDescriptor& descriptor) {
    const auto rows = syntaxDefinitionDescriptorsForSyntaxDescriptor(descriptor);
    if (rows.isEmpty())
        return nullptr;
    return syntaxDefinitionForSyntaxDefinitionDescriptor(rows.first());
}

std::shared_ptr<KTSyntaxDefinition>
KTSyntaxDefinition::syntaxDefinitionForSyntaxDefinitionDescriptor(
    const KTSyntaxDefinitionDescriptor& descriptor) {
    if (descriptor.identifier.isEmpty())
        return nullptr;
    // A missing file still yields a (colourless) definition, as a file that cannot be read does.
    const QString path =
        QDir(SyntaxResources::resourcesDirectory())
            .filePath(QStringLiteral("syntax/") + descriptor.identifier + QStringLiteral(".plist"));
    return KeywordListSyntaxDefinition::syntaxDefinitionWithContentsOfFile(path);
}
