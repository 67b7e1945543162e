#include "workspace/TextEncoding.h"

#include <QStringDecoder>

#include <QHash>

#include <unicode/ucnv.h>
#include <unicode/ucsdet.h>

#include <memory>

const QString TextEncoding::errorDomain = QStringLiteral("TextEncodingErrorDomain");

namespace {

struct KnownEncoding {
    uint32_t encoding;
    const char* converter; // any name ICU resolves
    const char* name;      // display name
};

// The platform's named encodings first, then the ones it numbered through its converter
// (0x80000000 + converter number), in the platform's order. Numbers without an ICU converter
// (NEXTSTEP, Symbol, Non Lossy ASCII, the Mac OS Asian scripts) are left out: they cannot be read.
constexpr KnownEncoding knownEncodings[] = {
    {TextEncoding::ASCII, "US-ASCII", "Western (ASCII)"},
    {TextEncoding::JapaneseEUC, "EUC-JP", "Japanese (EUC)"},
    {TextEncoding::UTF8, "UTF-8", "Unicode (UTF-8)"},
    {TextEncoding::ISOLatin1, "ISO-8859-1", "Western (ISO Latin 1)"},
    {TextEncoding::ShiftJIS, "windows-31j", "Japanese (Windows, DOS)"},
    {TextEncoding::ISOLatin2, "ISO-8859-2", "Central European (ISO Latin 2)"},
    {TextEncoding::Unicode, "UTF-16", "Unicode (UTF-16)"},
    {TextEncoding::WindowsCP1251, "windows-1251", "Cyrillic (Windows)"},
    {TextEncoding::WindowsCP1252, "windows-1252", "Western (Windows Latin 1)"},
    {TextEncoding::WindowsCP1253, "windows-1253", "Greek (Windows)"},
    {TextEncoding::WindowsCP1254, "windows-1254", "Turkish (Windows Latin 5)"},
    {TextEncoding::WindowsCP1250, "windows-1250", "Central European (Windows Latin 2)"},
    {TextEncoding::ISO2022JP, "ISO-2022-JP", "Japanese (ISO 2022-JP)"},
    {TextEncoding::MacOSRoman, "macintosh", "Western (Mac OS Roman)"},
    {TextEncoding::UTF16BigEndian, "UTF-16BE", "Unicode (UTF-16BE)"},
    {TextEncoding::UTF16LittleEndian, "UTF-16LE", "Unicode (UTF-16LE)"},
    {TextEncoding::UTF32, "UTF-32", "Unicode (UTF-32)"},
    {TextEncoding::UTF32BigEndian, "UTF-32BE", "Unicode (UTF-32BE)"},
    {TextEncoding::UTF32LittleEndian, "UTF-32LE", "Unicode (UTF-32LE)"},
    {0x80000006, "x-mac-greek", "Greek (Mac OS)"},
    {0x80000007, "x-mac-cyrillic", "Cyrillic (Mac OS)"},
    {0x8000001D, "x-mac-centraleurroman", "Central European (Mac OS)"},
    {0x80000023, "x-mac-turkish", "Turkish (Mac OS)"},
    {0x80000203, "ISO-8859-3", "Western (ISO Latin 3)"},
    {0x80000204, "ISO-8859-4", "Central European (ISO Latin 4)"},
    {0x80000205, "ISO-8859-5", "Cyrillic (ISO 8859-5)"},
    {0x80000206, "ISO-8859-6", "Arabic (ISO 8859-6)"},
    {0x80000207, "ISO-8859-7", "Greek (ISO 8859-7)"},
    {0x80000208, "ISO-8859-8", "Hebrew (ISO 8859-8)"},
    {0x80000209, "ISO-8859-9", "Turkish (ISO Latin 5)"},
    {0x8000020A, "ISO-8859-10", "Nordic (ISO Latin 6)"},
    {0x8000020B, "ISO-8859-11", "Thai (ISO 8859-11)"},
    {0x8000020D, "ISO-8859-13", "Baltic Rim (ISO Latin 7)"},
    {0x8000020E, "ISO-8859-14", "Celtic (ISO Latin 8)"},
    {0x8000020F, "ISO-8859-15", "Western (ISO Latin 9)"},
    {0x80000400, "cp437", "Latin-US (DOS)"},
    {0x80000405, "cp737", "Greek (DOS)"},
    {0x80000406, "cp775", "Baltic Rim (DOS)"},
    {0x80000410, "cp850", "Western (DOS Latin 1)"},
    {0x80000411, "cp851", "Greek (DOS Greek 1)"},
    {0x80000412, "cp852", "Central European (DOS Latin 2)"},
    {0x80000413, "cp855", "Cyrillic (DOS)"},
    {0x80000414, "cp857", "Turkish (DOS)"},
    {0x80000415, "cp860", "Portuguese (DOS)"},
    {0x80000416, "cp861", "Icelandic (DOS)"},
    {0x80000417, "cp862", "Hebrew (DOS)"},
    {0x80000418, "cp863", "Canadian French (DOS)"},
    {0x80000419, "cp864", "Arabic (DOS)"},
    {0x8000041A, "cp865", "Nordic (DOS)"},
    {0x8000041B, "cp866", "Russian (DOS)"},
    {0x8000041C, "cp869", "Greek (DOS Greek 2)"},
    {0x8000041D, "windows-874", "Thai (Windows, DOS)"},
    {0x80000421, "windows-936", "Simplified Chinese (Windows, DOS)"},
    {0x80000422, "windows-949", "Korean (Windows, DOS)"},
    {0x80000423, "windows-950", "Traditional Chinese (Windows, DOS)"},
    {0x80000505, "windows-1255", "Hebrew (Windows)"},
    {0x80000506, "windows-1256", "Arabic (Windows)"},
    {0x80000507, "windows-1257", "Baltic Rim (Windows)"},
    {0x80000508, "windows-1258", "Vietnamese (Windows)"},
    {0x80000632, "gb18030", "Chinese (GB 18030)"},
    {0x80000821, "ISO-2022-JP-2", "Japanese (ISO 2022-JP-2)"},
    {0x80000830, "ISO-2022-CN", "Chinese (ISO 2022-CN)"},
    {0x80000840, "ISO-2022-KR", "Korean (ISO 2022-KR)"},
    {0x80000930, "EUC-CN", "Simplified Chinese (EUC)"},
    {0x80000931, "EUC-TW", "Traditional Chinese (EUC)"},
    {0x80000940, "EUC-KR", "Korean (EUC)"},
    {0x80000A01, "Shift_JIS", "Japanese (Shift JIS)"},
    {0x80000A02, "KOI8-R", "Cyrillic (KOI8-R)"},
    {0x80000A03, "Big5", "Traditional Chinese (Big 5)"},
    {0x80000A05, "HZ-GB-2312", "Simplified Chinese (HZ GB 2312)"},
    {0x80000A06, "Big5-HKSCS", "Traditional Chinese (Big 5 HKSCS)"},
    {0x80000A08, "KOI8-U", "Ukrainian (KOI8-U)"},
    {0x80000C02, "ibm-37", "Western (EBCDIC Latin 1)"},
    {0x84000100, "UTF-7", "Unicode (UTF-7)"},
};

// ICU converters the platform never numbered live in this block.
constexpr uint32_t privateBlock = 0xA0000000u;

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

ConverterPtr openConverter(const QByteArray& name) {
    if (name.isEmpty()) // ICU would open its default converter
        return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    ConverterPtr converter(ucnv_open(name.constData(), &status));
    if (U_FAILURE(status))
        return nullptr;
    return converter;
}

QByteArray canonicalName(const char* name) {
    ConverterPtr converter = openConverter(QByteArray(name));
    if (!converter)
        return {};
    UErrorCode status = U_ZERO_ERROR;
    const char* canonical = ucnv_getName(converter.get(), &status);
    return U_SUCCESS(status) ? QByteArray(canonical) : QByteArray();
}

uint32_t nameHash(const QByteArray& name) {
    uint32_t hash = 2166136261u; // FNV-1a: stable across runs and builds
    for (char c : name) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

struct EncodingEntry {
    QByteArray converter; // ICU canonical name
    QString name;
};

struct EncodingTable {
    QList<uint32_t> order;
    QHash<uint32_t, EncodingEntry> entries;
    QHash<QByteArray, uint32_t> byConverter; // canonical name -> first number claiming it

    EncodingTable() {
        for (const KnownEncoding& known : knownEncodings) {
            const QByteArray canonical = canonicalName(known.converter);
            if (canonical.isEmpty())
                continue;
            order.append(known.encoding);
            entries.insert(known.encoding, {canonical, QString::fromLatin1(known.name)});
            if (!byConverter.contains(canonical))
                byConverter.insert(canonical, known.encoding);
        }
        const int32_t count = ucnv_countAvailable();
        QList<QByteArray> others;
        for (int32_t i = 0; i < count; ++i) {
            const QByteArray canonical = canonicalName(ucnv_getAvailableName(i));
            if (!canonical.isEmpty() && !byConverter.contains(canonical) &&
                !others.contains(canonical))
                others.append(canonical);
        }
        // Sorted, so that a collision of two hashes is settled the same way every time.
        std::sort(others.begin(), others.end());
        for (const QByteArray& canonical : std::as_const(others)) {
            uint32_t encoding = privateBlock | (nameHash(canonical) & 0x00ffffffu);
            while (entries.contains(encoding))
                encoding = privateBlock | ((encoding + 1) & 0x00ffffffu);
            order.append(encoding);
            entries.insert(encoding, {canonical, QString::fromLatin1(canonical)});
            byConverter.insert(canonical, encoding);
        }
    }
};

const EncodingTable& table() {
    static const EncodingTable instance;
    return instance;
}

bool startsWith(const QByteArray& bytes, const char* prefix, qsizetype length) {
    return bytes.size() >= length && std::equal(prefix, prefix + length, bytes.constData());
}

const char utf8Mark[] = "\xEF\xBB\xBF";
const char utf16BigMark[] = "\xFE\xFF";
const char utf16LittleMark[] = "\xFF\xFE";
const char utf32BigMark[] = {0, 0, '\xFE', '\xFF'};
const char utf32LittleMark[] = {'\xFF', '\xFE', 0, 0};

// How a Unicode encoding treats its byte-order mark: the mark it may begin with, and the
// converter to use once the mark is taken off.
struct MarkedForm {
    QByteArray mark;
    QByteArray converter;
};

// One byte order of a Unicode encoding: its mark and the converter for the bytes after it.
struct ByteOrder {
    const char* mark;
    qsizetype markLength;
    const char* converter;
};
constexpr ByteOrder utf8Order{utf8Mark, 3, "UTF-8"};
constexpr ByteOrder utf16Big{utf16BigMark, 2, "UTF-16BE"};
constexpr ByteOrder utf16Little{utf16LittleMark, 2, "UTF-16LE"};
constexpr ByteOrder utf32Big{utf32BigMark, 4, "UTF-32BE"};
constexpr ByteOrder utf32Little{utf32LittleMark, 4, "UTF-32LE"};

// The mark found at the start of `bytes` for `encoding`, and the converter for the rest.
// Answers no form for the encodings without marks.
std::optional<MarkedForm> markedFormForReading(const QByteArray& bytes, uint32_t encoding) {
    // The order's mark when the bytes begin with it; the converter either way.
    const auto fixed = [&bytes](const ByteOrder& order) {
        const bool marked = startsWith(bytes, order.mark, order.markLength);
        return MarkedForm{marked ? QByteArray(order.mark, order.markLength) : QByteArray(),
                          order.converter};
    };
    // Encodings whose mark chooses the byte order; big-endian without one.
    const auto chosen = [&](const ByteOrder& little, const ByteOrder& big) {
        return startsWith(bytes, little.mark, little.markLength) ? fixed(little) : fixed(big);
    };
    switch (encoding) {
    case TextEncoding::UTF8:
        return fixed(utf8Order);
    case TextEncoding::Unicode:
        return chosen(utf16Little, utf16Big);
    case TextEncoding::UTF16BigEndian:
        return fixed(utf16Big);
    case TextEncoding::UTF16LittleEndian:
        return fixed(utf16Little);
    case TextEncoding::UTF32:
        return chosen(utf32Little, utf32Big);
    case TextEncoding::UTF32BigEndian:
        return fixed(utf32Big);
    case TextEncoding::UTF32LittleEndian:
        return fixed(utf32Little);
    default:
        return std::nullopt;
    }
}

// The converter that writes `encoding` after the given mark (the mark fixes the byte order).
QByteArray converterForWriting(uint32_t encoding, const QByteArray& mark) {
    switch (encoding) {
    case TextEncoding::Unicode:
        return mark == QByteArray(utf16LittleMark, 2) ? "UTF-16LE" : "UTF-16BE";
    case TextEncoding::UTF32:
        return mark == QByteArray(utf32LittleMark, 4) ? "UTF-32LE" : "UTF-32BE";
    default:
        return table().entries.value(encoding).converter;
    }
}

bool encodingTakesMark(uint32_t encoding) {
    switch (encoding) {
    case TextEncoding::UTF8:
    case TextEncoding::Unicode:
    case TextEncoding::UTF16BigEndian:
    case TextEncoding::UTF16LittleEndian:
    case TextEncoding::UTF32:
    case TextEncoding::UTF32BigEndian:
    case TextEncoding::UTF32LittleEndian:
        return true;
    default:
        return false;
    }
}

std::optional<QString> decodeStrictly(const QByteArray& converterName, const char* data,
                                      qsizetype size) {
    if (converterName == "UTF-8") {
        // Qt's decoder is several times faster than ICU's on the common case and rejects the
        // same malformed, overlong and surrogate sequences; a mark left after the one taken off
        // stays text, as with ICU.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                         QStringDecoder::Flag::ConvertInitialBom);
        QString text = decoder.decode(QByteArrayView(data, size));
        if (decoder.hasError())
            return std::nullopt;
        return text;
    }
    ConverterPtr converter = openConverter(converterName);
    if (!converter)
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                        &status);
    if (U_FAILURE(status))
        return std::nullopt;

    QString result(size + 16, Qt::Uninitialized);
    const char* source = data;
    const char* sourceLimit = data + size;
    qsizetype written = 0;
    for (;;) {
        UChar* base = reinterpret_cast<UChar*>(result.data());
        UChar* target = base + written;
        status = U_ZERO_ERROR;
        ucnv_toUnicode(converter.get(), &target, base + result.size(), &source, sourceLimit,
                       nullptr, true, &status);
        written = target - base;
        if (status != U_BUFFER_OVERFLOW_ERROR)
            break;
        result.resize(result.size() * 2);
    }
    if (U_FAILURE(status))
        return std::nullopt;
    result.truncate(written);
    return result;
}

struct EncodeFailure {
    qsizetype location = 0;
    qsizetype length = 0;
};

std::optional<QByteArray> encodeStrictly(const QByteArray& converterName, const QString& text,
                                         EncodeFailure* failure) {
    ConverterPtr converter = openConverter(converterName);
    if (!converter)
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                          &status);
    if (U_FAILURE(status))
        return std::nullopt;

    const UChar* begin = reinterpret_cast<const UChar*>(text.utf16());
    const UChar* source = begin;
    const UChar* sourceLimit = begin + text.size();
    QByteArray result(text.size() + 16, Qt::Uninitialized);
    qsizetype written = 0;
    for (;;) {
        char* base = result.data();
        char* target = base + written;
        status = U_ZERO_ERROR;
        ucnv_fromUnicode(converter.get(), &target, base + result.size(), &source, sourceLimit,
                         nullptr, true, &status);
        written = target - base;
        if (status != U_BUFFER_OVERFLOW_ERROR)
            break;
        result.resize(result.size() * 2);
    }
    if (U_FAILURE(status)) {
        if (failure) {
            UChar invalid[8];
            int8_t invalidLength = sizeof invalid / sizeof invalid[0];
            UErrorCode invalidStatus = U_ZERO_ERROR;
            ucnv_getInvalidUChars(converter.get(), invalid, &invalidLength, &invalidStatus);
            if (U_FAILURE(invalidStatus) || invalidLength <= 0)
                invalidLength = 1;
            const qsizetype consumed = source - begin;
            failure->location = std::max<qsizetype>(0, consumed - invalidLength);
            failure->length = std::min<qsizetype>(invalidLength, text.size() - failure->location);
        }
        return std::nullopt;
    }
    result.truncate(written);
    return result;
}

QString describeCharacter(const QString& text, qsizetype location, qsizetype length) {
    const QString character = text.mid(location, length);
    char32_t code = character.isEmpty() ? 0 : character.at(0).unicode();
    if (character.size() == 2 && character.at(0).isHighSurrogate() &&
        character.at(1).isLowSurrogate())
        code = QChar::surrogateToUcs4(character.at(0), character.at(1));
    const QString codePoint =
        QStringLiteral("U+%1").arg(static_cast<uint>(code), 4, 16, QLatin1Char('0')).toUpper();
    const bool printable =
        !QChar::isSurrogate(code) && QChar::isPrint(code) && !QChar::isSpace(code);
    return printable ? QStringLiteral("\u201C%1\u201D (%2)").arg(character, codePoint) : codePoint;
}

QString describeEncoding(uint32_t encoding) {
    const QString name = TextEncoding::localizedNameOfStringEncoding(encoding);
    return name.isEmpty() ? QStringLiteral("encoding %1").arg(encoding) : name;
}

bool isNameCharacter(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '-' ||
           u == '_' || u == '.' || u == ':' || u == '+' || u == '(' || u == ')' || u == ',' ||
           u == '='; // ICU's option suffixes ("UTF-16,version=1")
}

// A declaration found by reading the file as single bytes sits in ASCII-compatible text, so
// it cannot be true of UTF-16 or UTF-32 (HTML pages that say "utf-16" are not): such a
// declaration counts as none, rather than turning every pair of bytes into one character.
uint32_t declarable(uint32_t encoding) {
    switch (encoding) {
    case TextEncoding::Unicode:
    case TextEncoding::UTF16BigEndian:
    case TextEncoding::UTF16LittleEndian:
    case TextEncoding::UTF32:
    case TextEncoding::UTF32BigEndian:
    case TextEncoding::UTF32LittleEndian:
        return 0;
    default:
        return encoding;
    }
}

} // namespace

QList<uint32_t> TextEncoding::availableStringEncodings() {
    return table().order;
}

bool TextEncoding::isAvailable(uint32_t encoding) {
    return table().entries.contains(encoding);
}

QString TextEncoding::converterName(uint32_t encoding) {
    return QString::fromLatin1(table().entries.value(encoding).converter);
}

QString TextEncoding::localizedNameOfStringEncoding(uint32_t encoding) {
    return table().entries.value(encoding).name;
}

uint32_t TextEncoding::encodingForCharSetName(const QString& name) {
    if (name.isEmpty() || !std::all_of(name.begin(), name.end(), isNameCharacter))
        return 0;
    const QByteArray canonical = canonicalName(name.toLatin1().constData());
    if (canonical.isEmpty())
        return 0;
    return table().byConverter.value(canonical, 0);
}

QString TextEncoding::charSetNameOfStringEncoding(uint32_t encoding) {
    const QByteArray converter = table().entries.value(encoding).converter;
    if (converter.isEmpty())
        return {};
    for (const char* standard : {"MIME", "IANA"}) {
        UErrorCode status = U_ZERO_ERROR;
        const char* name = ucnv_getStandardName(converter.constData(), standard, &status);
        if (U_SUCCESS(status) && name)
            return QString::fromLatin1(name);
    }
    return {};
}

std::optional<QString> TextEncoding::decode(const QByteArray& bytes, uint32_t encoding,
                                            QByteArray* byteOrderMark, Error* error) {
    if (byteOrderMark)
        byteOrderMark->clear();
    if (!isAvailable(encoding)) {
        setError(error, errorDomain, UnknownEncodingError,
                 QStringLiteral("The text encoding %1 is not known.").arg(encoding));
        return std::nullopt;
    }
    std::optional<QString> text;
    if (const std::optional<MarkedForm> form = markedFormForReading(bytes, encoding)) {
        text = decodeStrictly(form->converter, bytes.constData() + form->mark.size(),
                              bytes.size() - form->mark.size());
        if (text && byteOrderMark)
            *byteOrderMark = form->mark;
    } else {
        text = decodeStrictly(table().entries.value(encoding).converter, bytes.constData(),
                              bytes.size());
    }
    if (!text)
        setError(error, errorDomain, UndecodableBytesError,
                 QStringLiteral("The file cannot be read as %1.").arg(describeEncoding(encoding)));
    return text;
}

std::optional<QByteArray> TextEncoding::encode(const QString& text, uint32_t encoding,
                                               const QByteArray& byteOrderMark, Error* error,
                                               NSRange* unrepresentable) {
    if (!isAvailable(encoding)) {
        setError(error, errorDomain, UnknownEncodingError,
                 QStringLiteral("The text encoding %1 is not known.").arg(encoding));
        return std::nullopt;
    }
    const QByteArray mark = encodingTakesMark(encoding) ? byteOrderMark : QByteArray();
    EncodeFailure failure;
    std::optional<QByteArray> data =
        encodeStrictly(converterForWriting(encoding, mark), text, &failure);
    if (!data) {
        if (unrepresentable)
            *unrepresentable = NSMakeRange(static_cast<uint32_t>(failure.location),
                                           static_cast<uint32_t>(failure.length));
        setError(error, errorDomain, UnrepresentableCharacterError,
                 QStringLiteral("The character %1 cannot be saved in the encoding %2.")
                     .arg(describeCharacter(text, failure.location, failure.length),
                          describeEncoding(encoding)));
        return std::nullopt;
    }
    return mark + *data;
}

std::optional<NSRange> TextEncoding::firstUnrepresentableCharacter(const QString& text,
                                                                   uint32_t encoding) {
    NSRange range{NSNotFound, 0};
    if (encode(text, encoding, {}, nullptr, &range) || range.location == NSNotFound)
        return std::nullopt;
    return range;
}

QList<uint32_t> TextEncoding::preferredEncodings() {
    return {ISOLatin1, UTF8, ASCII, ISOLatin2, Unicode, MacOSRoman};
}

uint32_t TextEncoding::declaredEncoding(const QByteArray& bytes) {
    // Read as ISO Latin 1, every byte is one character at the same index.
    const qsizetype length = bytes.size();
    if (length <= 9)
        return 0;
    const QLatin1StringView text(bytes.constData(), length);
    const auto resolve = [&](qsizetype start, qsizetype end) -> uint32_t {
        constexpr qsizetype longestName = 64; // no need to copy the rest of a large file
        if (end <= start || end - start > longestName)
            return 0;
        return declarable(encodingForCharSetName(text.sliced(start, end - start)));
    };

    const qsizetype charset = text.indexOf(QLatin1StringView("charset="), 0, Qt::CaseInsensitive);
    if (charset >= 0 && charset < length - 8) {
        qsizetype start = charset + 8;
        if (text.at(start) == QLatin1Char('"') && charset + 9 < length)
            ++start;
        qsizetype end = start;
        while (end < length) {
            const char c = text.at(end).toLatin1();
            if (c == '"' || c == '\'' || c == ' ' || c == '/' || c == '>')
                break;
            ++end;
        }
        // A name that does not resolve counts as no declaration at all.
        if (const uint32_t encoding = resolve(start, end))
            return encoding;
    }

    const qsizetype declaration =
        text.indexOf(QLatin1StringView("encoding="), 0, Qt::CaseInsensitive);
    if (declaration >= 0 && declaration < length - 9) {
        const qsizetype start = declaration + 10; // after the equals sign and the opening quote
        const qsizetype close = text.indexOf(QLatin1StringView("?>"), start);
        const qsizetype end = (close >= 0 ? close : length) - 1; // drops the closing quote
        return resolve(start, end);
    }
    return 0;
}

namespace {

// Detection that keeps the text it decoded, so that a large file is not decoded twice.
bool detectInto(const QByteArray& bytes, TextEncoding::Detection* detection) {
    auto readsWith = [&](uint32_t encoding) {
        QByteArray mark;
        std::optional<QString> text = TextEncoding::decode(bytes, encoding, &mark);
        if (!text)
            return false;
        *detection = {std::move(*text), encoding, mark};
        return true;
    };
    if (readsWith(TextEncoding::UTF8))
        return true;

    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<UCharsetDetector, void (*)(UCharsetDetector*)> detector(ucsdet_open(&status),
                                                                            ucsdet_close);
    if (U_FAILURE(status))
        return false;
    ucsdet_enableInputFilter(detector.get(), true);
    ucsdet_setText(detector.get(), bytes.constData(), static_cast<int32_t>(bytes.size()), &status);
    int32_t count = 0;
    const UCharsetMatch** matches = ucsdet_detectAll(detector.get(), &count, &status);
    if (U_FAILURE(status))
        return false;
    for (int32_t i = 0; i < count; ++i) {
        UErrorCode nameStatus = U_ZERO_ERROR;
        const char* name = ucsdet_getName(matches[i], &nameStatus);
        if (U_FAILURE(nameStatus) || !name)
            continue;
        const QByteArray guess(name);
        uint32_t encoding = 0;
        // Text that starts with a byte-order mark is what the platform calls Unicode.
        if ((guess == "UTF-16LE" && startsWith(bytes, utf16LittleMark, 2)) ||
            (guess == "UTF-16BE" && startsWith(bytes, utf16BigMark, 2)))
            encoding = TextEncoding::Unicode;
        else if ((guess == "UTF-32LE" && startsWith(bytes, utf32LittleMark, 4)) ||
                 (guess == "UTF-32BE" && startsWith(bytes, utf32BigMark, 4)))
            encoding = TextEncoding::UTF32;
        else
            encoding = TextEncoding::encodingForCharSetName(QString::fromLatin1(guess));
        if (encoding && readsWith(encoding))
            return true;
    }
    return false;
}

} // namespace

uint32_t TextEncoding::detectedEncoding(const QByteArray& bytes) {
    Detection detection;
    return detectInto(bytes, &detection) ? detection.encoding : 0;
}

std::optional<TextEncoding::Detection>
TextEncoding::decodeDetectingEncoding(const QByteArray& bytes, uint32_t defaultEncoding,
                                      Error* error) {
    Detection detection;
    auto readsWith = [&](uint32_t encoding) {
        if (!encoding)
            return false;
        std::optional<QString> text = decode(bytes, encoding, &detection.byteOrderMark);
        if (!text)
            return false;
        detection.text = std::move(*text);
        detection.encoding = encoding;
        return true;
    };

    if (readsWith(declaredEncoding(bytes)) || readsWith(defaultEncoding) ||
        detectInto(bytes, &detection))
        return detection;

    if (bytes.size() >= 3) {
        const QByteArray head = bytes.left(3).toHex();
        uint32_t marked = 0;
        if (head == "efbbbf")
            marked = UTF8;
        else if (head.startsWith("feff") || head.startsWith("fffe"))
            marked = Unicode;
        if (readsWith(marked))
            return detection;
    }
    for (uint32_t encoding : preferredEncodings())
        if (readsWith(encoding))
            return detection;
    for (uint32_t encoding : availableStringEncodings())
        if (readsWith(encoding))
            return detection;

    setError(error, errorDomain, UndecodableBytesError,
             QStringLiteral("The file cannot be read in any known text encoding."));
    return std::nullopt;
}
