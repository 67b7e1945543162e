#pragma once

#include "syntax/KTSyntaxDefinitionDescriptor.h"
#include "syntax/KTSyntaxDescriptor.h"

#include <QList>
#include <QString>
#include <memory>
#include <optional>

// One language the editor can colour.
class KTSyntaxDefinition {
public:
    KTSyntaxDefinition() = default;
    virtual ~KTSyntaxDefinition() = default;
    KTSyntaxDefinition(const KTSyntaxDefinition&) = delete;
    KTSyntaxDefinition& operator=(const KTSyntaxDefinition&) = delete;

    const QString& title() const { return title_; }
    void setTitle(const QString& title) { title_ = title; }

    // The table row of this definition; none for the base definition.
    virtual std::optional<KTSyntaxDefinitionDescriptor> descriptor() const { return std::nullopt; }

    // The table of available definitions in table order; none when the table cannot be read.
    static std::optional<QList<KTSyntaxDefinitionDescriptor>> descriptors();
    // The rows that list the descriptor's file type among their extensions (exact match).
    static QList<KTSyntaxDefinitionDescriptor>
    syntaxDefinitionDescriptorsForSyntaxDescriptor(const KTSyntaxDescriptor& descriptor);
    // The definition of the first fitting row; none when no row fits.
    static std::shared_ptr<KTSyntaxDefinition>
    syntaxDefinitionForSyntaxDescriptor(const KTSyntaxDescriptor& descriptor);
    // None for a row without identifier (plain text); otherwise the definition file it names.
    static std::shared_ptr<KTSyntaxDefinition>
    syntaxDefinitionForSyntaxDefinitionDescriptor(const KTSyntaxDefinitionDescriptor& descriptor);

private:
    QString title_;
};
