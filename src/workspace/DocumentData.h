#pragma once

#include "core/Error.h"
#include "core/Range.h"
#include "workspace/LineEndings.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// How a document's file is written: everything needed to give back the bytes it was read from.
struct DocumentFormat {
    uint32_t encoding = 0;                // platform encoding number; 0 before a file was read
    int32_t lineEnding = LineEndings::CR; // LineEndings::LF, CR or CRLF
    QByteArray byteOrderMark;             // the mark the file began with, written back as found

    friend bool operator==(const DocumentFormat&, const DocumentFormat&) = default;
};

struct DocumentContents {
    QString text; // as edited: a CR LF file has LF alone
    DocumentFormat format;
};

// A file's bytes to the text to edit: the encoding detected (with the user's default encoding,
// 0 for none), the line-ending convention of the first line break (`previousLineEnding` when
// there is none) and, for CR LF, the text with LF alone.
std::optional<DocumentContents> documentFromData(const QByteArray& data, uint32_t defaultEncoding,
                                                 int32_t previousLineEnding = LineEndings::CR,
                                                 Error* error = nullptr);

// The edited text to the bytes to write: line endings and encoding restored. Text that the
// encoding cannot represent gives no data (never an empty or lossy file): the error names the
// character and the encoding, and `unrepresentable` receives its range in `text`.
// A document that never had an encoding (0) is written as UTF-8.
std::optional<QByteArray> dataFromDocument(const QString& text, const DocumentFormat& format,
                                           Error* error = nullptr,
                                           NSRange* unrepresentable = nullptr);
