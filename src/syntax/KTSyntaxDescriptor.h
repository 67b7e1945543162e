#pragma once

#include <QString>
#include <optional>

// What is known of a document when a definition is chosen for it.
struct KTSyntaxDescriptor {
    // The file name's extension without the dot; "" for a file without one, none when unknown.
    std::optional<QString> fileType;
};
