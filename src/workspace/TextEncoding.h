#pragma once

#include "core/Error.h"
#include "core/Range.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

// String encodings by the platform's encoding numbers, converted through ICU.
//
// The numbers are the values stored in the user defaults and in a document's `encoding`:
// the named constants below, 0x80000000 plus a text-encoding converter number for the other
// encodings the platform knew, and numbers of the private block 0xA0xxxxxx for the ICU
// converters that the platform never numbered (derived from the converter's name, so they stay
// the same from run to run).
class TextEncoding {
public:
    enum : uint32_t {
        ASCII = 1,
        NEXTSTEP = 2,
        JapaneseEUC = 3,
        UTF8 = 4,
        ISOLatin1 = 5,
        Symbol = 6,
        NonLossyASCII = 7,
        ShiftJIS = 8,
        ISOLatin2 = 9,
        Unicode = 10, // UTF-16 with a byte-order mark
        WindowsCP1251 = 11,
        WindowsCP1252 = 12,
        WindowsCP1253 = 13,
        WindowsCP1254 = 14,
        WindowsCP1250 = 15,
        ISO2022JP = 21,
        MacOSRoman = 30,
        UTF16BigEndian = 0x90000100,
        UTF16LittleEndian = 0x94000100,
        UTF32 = 0x8c000100,
        UTF32BigEndian = 0x98000100,
        UTF32LittleEndian = 0x9c000100,
    };

    static const QString errorDomain; // "TextEncodingErrorDomain"
    enum ErrorCode : int {
        UnknownEncodingError = 1,          // the number names no converter
        UndecodableBytesError = 2,         // the bytes are not valid in the encoding
        UnrepresentableCharacterError = 3, // a character has no bytes in the encoding
    };

    // Every encoding that can be used, in a fixed order: the platform's named encodings, the
    // other encodings it numbered, then the remaining ICU converters.
    static QList<uint32_t> availableStringEncodings();
    static bool isAvailable(uint32_t encoding);

    // The ICU converter name behind an encoding number; empty when there is none.
    static QString converterName(uint32_t encoding);

    // The encoding's display name ("Unicode (UTF-8)", "Western (ISO Latin 1)"); for an ICU
    // converter without a platform number its ICU name; empty for an unknown number.
    static QString localizedNameOfStringEncoding(uint32_t encoding);

    // An IANA character-set name (or any alias ICU knows, letter case and punctuation ignored)
    // to an encoding number; 0 when the name is empty or unknown.
    static uint32_t encodingForCharSetName(const QString& name);

    // The preferred IANA name of an encoding ("UTF-8", "ISO-8859-1"); empty when ICU has none.
    static QString charSetNameOfStringEncoding(uint32_t encoding);

    // Strict decoding: bytes that are not valid in the encoding give no string. For the Unicode
    // encodings a leading byte-order mark is removed from the text and handed back in
    // `byteOrderMark` (it also chooses the byte order of Unicode and UTF32).
    static std::optional<QString> decode(const QByteArray& bytes, uint32_t encoding,
                                         QByteArray* byteOrderMark = nullptr,
                                         Error* error = nullptr);

    // Strict encoding: a character that the encoding cannot represent gives no data and an
    // error naming the character and the encoding; `unrepresentable` receives its range.
    // `byteOrderMark` is written first (for Unicode it also fixes the byte order; without one
    // Unicode is written big-endian, as it is read).
    static std::optional<QByteArray> encode(const QString& text, uint32_t encoding,
                                            const QByteArray& byteOrderMark = {},
                                            Error* error = nullptr,
                                            NSRange* unrepresentable = nullptr);

    // The range of the first character the encoding cannot represent, or none.
    static std::optional<NSRange> firstUnrepresentableCharacter(const QString& text,
                                                                uint32_t encoding);

    // The detection of a document's encoding, step by step, over the file's bytes:
    //  1. a declared "charset=" (or, failing that, "encoding=") name in the first occurrence in
    //     the file, for files of more than 9 characters;
    //  2. `defaultEncoding` (the user's setting; 0 for none);
    //  3. detection: UTF-8 for any valid UTF-8 (plain ASCII included), else ICU's best guess;
    //  4. a byte-order mark;
    //  5. the preferred list: ISO Latin 1, UTF-8, ASCII, ISO Latin 2, Unicode, Mac OS Roman;
    //  6. every available encoding in order.
    // A step decides only when its encoding reads the bytes; a declared name that does not
    // resolve, or whose encoding cannot read the file, counts as not found.
    struct Detection {
        QString text;
        uint32_t encoding = 0;
        QByteArray byteOrderMark;
    };
    static std::optional<Detection> decodeDetectingEncoding(const QByteArray& bytes,
                                                            uint32_t defaultEncoding,
                                                            Error* error = nullptr);

    // Step 1 alone: the encoding a file declares, 0 when none resolves.
    static uint32_t declaredEncoding(const QByteArray& bytes);
    // Step 3 alone: UTF-8 for valid UTF-8, else ICU's guess that reads the bytes; 0 for none.
    static uint32_t detectedEncoding(const QByteArray& bytes);

    static QList<uint32_t> preferredEncodings();
};
