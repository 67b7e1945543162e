#include "workspace/DocumentData.h"

#include "workspace/TextEncoding.h"

std::optional<DocumentContents> documentFromData(const QByteArray& data, uint32_t defaultEncoding,
                                                 int32_t previousLineEnding, Error* error) {
    std::optional<TextEncoding::Detection> detection =
        TextEncoding::decodeDetectingEncoding(data, defaultEncoding, error);
    if (!detection)
        return std::nullopt;
    DocumentContents contents;
    contents.format.encoding = detection->encoding;
    contents.format.byteOrderMark = detection->byteOrderMark;
    contents.format.lineEnding = LineEndings::detect(detection->text, previousLineEnding);
    contents.text = LineEndings::textForEditing(detection->text, contents.format.lineEnding);
    return contents;
}

std::optional<QByteArray> dataFromDocument(const QString& text, const DocumentFormat& format,
                                           Error* error, NSRange* unrepresentable) {
    const uint32_t encoding = format.encoding ? format.encoding : TextEncoding::UTF8;
    const QString saved = LineEndings::textForSaving(text, format.lineEnding);
    std::optional<QByteArray> data =
        TextEncoding::encode(saved, encoding, format.byteOrderMark, error);
    if (!data && unrepresentable) {
        // Report the place in the edited text, which has no CR before its LFs.
        const std::optional<NSRange> range =
            TextEncoding::firstUnrepresentableCharacter(text, encoding);
        *unrepresentable = range ? *range : NSMakeRange(NSNotFound, 0);
    }
    return data;
}
