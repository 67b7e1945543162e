#include "workspace/TextEncoding.h"

#include <gtest/gtest.h>

#include <QSet>

#include <unicode/ucnv.h>

// Readable failure messages.
static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

QByteArray bytes(const char* text) {
    return QByteArray(text);
}

QByteArray bytes(const char* text, qsizetype length) {
    return QByteArray(text, length);
}

struct DetectionCase {
    const char* label;
    QByteArray data;
    uint32_t defaultEncoding;
    uint32_t encoding;
    QString text;
};

class EncodingDetection : public ::testing::TestWithParam<DetectionCase> {};

TEST_P(EncodingDetection, ChoosesTheEncodingAndReadsTheText) {
    const DetectionCase& c = GetParam();
    Error error;
    const std::optional<TextEncoding::Detection> detection =
        TextEncoding::decodeDetectingEncoding(c.data, c.defaultEncoding, &error);
    ASSERT_TRUE(detection) << error.description.toStdString();
    EXPECT_EQ(detection->encoding, c.encoding)
        << TextEncoding::localizedNameOfStringEncoding(detection->encoding).toStdString();
    EXPECT_EQ(detection->text, c.text);
}

const QString cafe = QStringLiteral("caf\u00e9");

INSTANTIATE_TEST_SUITE_P(
    Files, EncodingDetection,
    ::testing::Values(
        // A declared charset, in any letter case, beats the default-encoding setting.
        DetectionCase{"HtmlCharsetBeatsDefault", bytes("<meta charset=UTF-8><p>caf\xc3\xa9</p>"),
                      TextEncoding::ISOLatin1, TextEncoding::UTF8,
                      QStringLiteral("<meta charset=UTF-8><p>caf\u00e9</p>")},
        DetectionCase{"HtmlCharsetUpperCaseQuoted",
                      bytes("<META CONTENT=\"text/html; CHARSET=UTF-8\">caf\xc3\xa9"),
                      TextEncoding::MacOSRoman, TextEncoding::UTF8,
                      QStringLiteral("<META CONTENT=\"text/html; CHARSET=UTF-8\">caf\u00e9")},
        DetectionCase{"HtmlCharsetLatin2", bytes("<meta charset=\"ISO-8859-2\">\xb9"), 0,
                      TextEncoding::ISOLatin2,
                      QStringLiteral("<meta charset=\"ISO-8859-2\">\u0161")},
        // The declared name ends at a slash or angle bracket.
        DetectionCase{"CharsetEndsAtSlash", bytes("<meta charset=windows-1252/>\x80"),
                      TextEncoding::ISOLatin1, TextEncoding::WindowsCP1252,
                      QStringLiteral("<meta charset=windows-1252/>\u20ac")},
        // XML: the encoding declaration by its IANA name, with no charset in the file.
        DetectionCase{
            "XmlEncodingLatin1",
            bytes("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\x80\xe9</a>"),
            TextEncoding::WindowsCP1252, TextEncoding::ISOLatin1,
            QStringLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>\u0080\u00e9</a>")},
        // Ten characters are enough for a declaration; the name "l2" is ISO Latin 2.
        DetectionCase{"TenCharacterDeclaration", bytes("charset=l2"), TextEncoding::ISOLatin1,
                      TextEncoding::ISOLatin2, QStringLiteral("charset=l2")},
        // Nine characters or fewer skip the declaration step: the default decides.
        DetectionCase{"NineCharactersSkipDeclaration", bytes("charset=\xb9"),
                      TextEncoding::MacOSRoman, TextEncoding::MacOSRoman,
                      QStringLiteral("charset=\u03c0")},
        DetectionCase{"ShortUtf8", bytes("h\xc3\xa9llo"), 0, TextEncoding::UTF8,
                      QStringLiteral("h\u00e9llo")},
        DetectionCase{"EmptyFile", QByteArray(), 0, TextEncoding::UTF8, QString()},
        // Unknown declared names are no declaration: detection goes on and the text is read.
        DetectionCase{
            "SvgStandaloneNo",
            bytes("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
                  "<svg>caf\xc3\xa9</svg>"),
            0, TextEncoding::UTF8,
            QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
                           "<svg>caf\u00e9</svg>")},
        DetectionCase{
            "SvgStandaloneNoWithDefault",
            bytes("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?><svg/>"),
            TextEncoding::MacOSRoman, TextEncoding::MacOSRoman,
            QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?><svg/>")},
        DetectionCase{"PhpCharset", bytes("<meta charset=\"<?php echo $cs; ?>\">caf\xc3\xa9"), 0,
                      TextEncoding::UTF8,
                      QStringLiteral("<meta charset=\"<?php echo $cs; ?>\">caf\u00e9")},
        DetectionCase{"MysqlCharset", bytes("DEFAULT CHARSET=utf8mb4; -- caf\xc3\xa9"), 0,
                      TextEncoding::UTF8, QStringLiteral("DEFAULT CHARSET=utf8mb4; -- caf\u00e9")},
        DetectionCase{"SingleQuotedCharset", bytes("<meta charset='utf-8'>caf\xc3\xa9"), 0,
                      TextEncoding::UTF8, QStringLiteral("<meta charset='utf-8'>caf\u00e9")},
        // Text in which a declaration can be read is not UTF-16, whatever it says.
        DetectionCase{"DeclaredUtf16InAsciiText", bytes("<meta charset=\"utf-16\"><p>Hi</p>"), 0,
                      TextEncoding::UTF8, QStringLiteral("<meta charset=\"utf-16\"><p>Hi</p>")},
        // An unknown charset falls through to the encoding declaration.
        DetectionCase{
            "UnknownCharsetThenXmlEncoding",
            bytes("<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?><a charset=x1>\xb9</a>"), 0,
            TextEncoding::ISOLatin2,
            QStringLiteral(
                "<?xml version=\"1.0\" encoding=\"ISO-8859-2\"?><a charset=x1>\u0161</a>")},
        // A declaration that the bytes contradict is no declaration either.
        DetectionCase{"DeclaredUtf8ButLatin1Bytes", bytes("<meta charset=utf-8>caf\xe9 cr\xe8me"),
                      0, TextEncoding::ISOLatin1,
                      QStringLiteral("<meta charset=utf-8>caf\u00e9 cr\u00e8me")},
        // The default encoding decides when there is no declaration and it reads the bytes.
        DetectionCase{"DefaultEncoding", bytes("plain ascii text"), TextEncoding::MacOSRoman,
                      TextEncoding::MacOSRoman, QStringLiteral("plain ascii text")},
        DetectionCase{"DefaultCannotRead", bytes("caf\xc3\xa9 au lait"), TextEncoding::ASCII,
                      TextEncoding::UTF8, QStringLiteral("caf\u00e9 au lait")},
        // A default without a converter here (Non Lossy ASCII) is passed over.
        DetectionCase{"DefaultWithoutConverter", bytes("plain ascii text"),
                      TextEncoding::NonLossyASCII, TextEncoding::UTF8,
                      QStringLiteral("plain ascii text")},
        // Valid UTF-8 (plain ASCII included) is UTF-8 without any declaration.
        DetectionCase{"AsciiIsUtf8", bytes("<p>hello world</p>"), 0, TextEncoding::UTF8,
                      QStringLiteral("<p>hello world</p>")},
        DetectionCase{"Utf8WithoutDeclaration", bytes("na\xc3\xafve \xe2\x82\xac 5"), 0,
                      TextEncoding::UTF8, QStringLiteral("na\u00efve \u20ac 5")},
        // Byte-order marks: the mark is not part of the text.
        DetectionCase{"Utf8Mark",
                      bytes("\xef\xbb\xbf"
                            "caf\xc3\xa9 ok"),
                      0, TextEncoding::UTF8, QStringLiteral("caf\u00e9 ok")},
        DetectionCase{"Utf16LittleEndianMark", bytes("\xff\xfeh\0i\0!\0\xe9\0", 10), 0,
                      TextEncoding::Unicode, QStringLiteral("hi!\u00e9")},
        DetectionCase{"Utf16BigEndianMark", bytes("\xfe\xff\0h\0i\0!\0\xe9", 10), 0,
                      TextEncoding::Unicode, QStringLiteral("hi!\u00e9")},
        // Not UTF-8 and nothing declared: ISO Latin 1 keeps every byte.
        DetectionCase{"Latin1Fallback",
                      bytes("Le caf\xe9 est tr\xe8s bon, la cr\xe8me br\xfbl\xe9"
                            "e aussi."),
                      0, TextEncoding::ISOLatin1,
                      QStringLiteral("Le caf\u00e9 est tr\u00e8s bon, la cr\u00e8me br\u00fbl\u00e9"
                                     "e aussi.")},
        DetectionCase{"Latin1FallbackControlBytes", bytes("x\x81\x8d\x8f\x90\x9d\xff"), 0,
                      TextEncoding::ISOLatin1,
                      QStringLiteral("x\u0081\u008d\u008f\u0090\u009d\u00ff")}),
    [](const ::testing::TestParamInfo<DetectionCase>& info) {
        return std::string(info.param.label);
    });

TEST(TextEncodingNames, CharSetNamesResolveToPlatformNumbers) {
    const struct {
        const char* name;
        uint32_t encoding;
    } cases[] = {
        {"UTF-8", TextEncoding::UTF8},
        {"utf8", TextEncoding::UTF8},
        {"iso-8859-1", TextEncoding::ISOLatin1},
        {"l1", TextEncoding::ISOLatin1},
        {"latin2", TextEncoding::ISOLatin2},
        {"US-ASCII", TextEncoding::ASCII},
        {"Shift_JIS", TextEncoding::ShiftJIS},
        {"windows-1252", TextEncoding::WindowsCP1252},
        {"macintosh", TextEncoding::MacOSRoman},
        {"UTF-16LE", TextEncoding::UTF16LittleEndian},
        {"KOI8-R", 0x80000A02},
        {"", 0},
        {"utf8mb4", 0},
        {"UTF-8\" standalone=\"no\"", 0},
        {"<?php", 0},
        {"caf\u00e9", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextEncoding::encodingForCharSetName(QString::fromUtf8(c.name)), c.encoding)
            << c.name;
}

TEST(TextEncodingNames, EveryIcuConverterHasOneStableNumber) {
    const QList<uint32_t> encodings = TextEncoding::availableStringEncodings();
    const QSet<uint32_t> unique(encodings.begin(), encodings.end());
    EXPECT_EQ(unique.size(), encodings.size());
    for (uint32_t encoding : encodings) {
        EXPECT_FALSE(TextEncoding::converterName(encoding).isEmpty()) << encoding;
        EXPECT_FALSE(TextEncoding::localizedNameOfStringEncoding(encoding).isEmpty()) << encoding;
    }
    // Every converter ICU offers can be chosen, under a number found again by its name.
    for (int32_t i = 0; i < ucnv_countAvailable(); ++i) {
        const QString name = QString::fromLatin1(ucnv_getAvailableName(i));
        const uint32_t encoding = TextEncoding::encodingForCharSetName(name);
        EXPECT_TRUE(TextEncoding::isAvailable(encoding)) << name.toStdString();
    }
    // Converters the platform never numbered get numbers from their names alone.
    const uint32_t ebcdic = TextEncoding::encodingForCharSetName(QStringLiteral("ibm-1047"));
    EXPECT_EQ(ebcdic & 0xff000000u, 0xA0000000u);
    EXPECT_EQ(TextEncoding::converterName(ebcdic), QStringLiteral("ibm-1047_P100-1995"));

    EXPECT_EQ(TextEncoding::localizedNameOfStringEncoding(TextEncoding::UTF16LittleEndian),
              QStringLiteral("Unicode (UTF-16LE)"));
    EXPECT_EQ(TextEncoding::charSetNameOfStringEncoding(TextEncoding::ISOLatin1),
              QStringLiteral("ISO-8859-1"));
    EXPECT_TRUE(TextEncoding::converterName(0x12345).isEmpty());
}

TEST(TextEncodingConversion, DecodingIsStrict) {
    Error error;
    EXPECT_FALSE(TextEncoding::decode(bytes("caf\xe9"), TextEncoding::UTF8, nullptr, &error));
    EXPECT_EQ(error.code, TextEncoding::UndecodableBytesError);
    EXPECT_FALSE(TextEncoding::decode(bytes("caf\xc3\xa9"), TextEncoding::ASCII));
    EXPECT_FALSE(TextEncoding::decode(bytes("ab\x93"), TextEncoding::ShiftJIS));   // cut short
    EXPECT_FALSE(TextEncoding::decode(bytes("\xed\xa0\x80"), TextEncoding::UTF8)); // a surrogate
    EXPECT_FALSE(TextEncoding::decode(bytes("x"), 0x12345, nullptr, &error));
    EXPECT_EQ(error.code, TextEncoding::UnknownEncodingError);
}

struct RefusalCase {
    const char* label;
    QString text;
    uint32_t encoding;
    NSRange range;
    QString named;
};

class UnrepresentableText : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(UnrepresentableText, IsRefusedNamingCharacterAndEncoding) {
    const RefusalCase& c = GetParam();
    Error error;
    NSRange range{NSNotFound, 0};
    EXPECT_FALSE(TextEncoding::encode(c.text, c.encoding, {}, &error, &range));
    EXPECT_EQ(error.domain, TextEncoding::errorDomain);
    EXPECT_EQ(error.code, TextEncoding::UnrepresentableCharacterError);
    EXPECT_EQ(range, c.range);
    EXPECT_TRUE(error.description.contains(c.named)) << error.description.toStdString();
    EXPECT_TRUE(error.description.contains(TextEncoding::localizedNameOfStringEncoding(c.encoding)))
        << error.description.toStdString();
    EXPECT_EQ(TextEncoding::firstUnrepresentableCharacter(c.text, c.encoding), c.range);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, UnrepresentableText,
    ::testing::Values(
        RefusalCase{"EuroInLatin1", QStringLiteral("na\u00efve \u20ac5"), TextEncoding::ISOLatin1,
                    NSMakeRange(6, 1), QStringLiteral("\u201c\u20ac\u201d (U+20AC)")},
        RefusalCase{"AccentInAscii", QStringLiteral("r\u00e9sum\u00e9"), TextEncoding::ASCII,
                    NSMakeRange(1, 1), QStringLiteral("U+00E9")},
        RefusalCase{"EmojiInShiftJis", QStringLiteral("\u65e5\U0001F600"), TextEncoding::ShiftJIS,
                    NSMakeRange(1, 2), QStringLiteral("U+1F600")},
        RefusalCase{"LoneSurrogateInUtf8",
                    QStringLiteral("ab") + QChar(0xd800) + QStringLiteral("c"), TextEncoding::UTF8,
                    NSMakeRange(2, 1), QStringLiteral("U+D800")},
        RefusalCase{"GreekInMacRoman", QStringLiteral("x\u03b1"), TextEncoding::MacOSRoman,
                    NSMakeRange(1, 1), QStringLiteral("\u03b1")}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) {
        return std::string(info.param.label);
    });

} // namespace
