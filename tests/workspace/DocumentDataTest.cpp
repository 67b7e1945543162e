#include "workspace/DocumentData.h"
#include "workspace/TextEncoding.h"

#include <gtest/gtest.h>

#include <QStringEncoder>

// Readable failure messages.
static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

// A file in one encoding: its text as edited (LF breaks) and its bytes with LF breaks, written
// here without the converters under test.
struct Sample {
    const char* label;
    uint32_t encoding;
    QByteArray byteOrderMark;
    QString text;
    QByteArray data; // empty: the text in UTF-16, encoded by Qt
};

QByteArray utf16(const QString& text, QStringConverter::Encoding order) {
    QStringEncoder encoder(order);
    return encoder.encode(text);
}

const QString unicodeText =
    QStringLiteral("<p>Gr\u00fc\u00dfe</p>\n\u65e5\u672c\u8a9e \U0001F600\n");

const Sample samples[] = {
    {"Utf8", TextEncoding::UTF8, {}, unicodeText, unicodeText.toUtf8()},
    {"Utf8WithMark", TextEncoding::UTF8, QByteArray("\xef\xbb\xbf"), unicodeText,
     QByteArray("\xef\xbb\xbf") + unicodeText.toUtf8()},
    {"Utf16LittleEndianWithMark", TextEncoding::Unicode, QByteArray("\xff\xfe"), unicodeText, {}},
    {"Utf16BigEndianWithMark", TextEncoding::Unicode, QByteArray("\xfe\xff"), unicodeText, {}},
    {"IsoLatin1",
     TextEncoding::ISOLatin1,
     {},
     QStringLiteral("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a>caf\u00e9 cr\u00e8me "
                    "\u00a9</a>\n"),
     QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<a>caf\xe9 cr\xe8me \xa9</a>\n")},
    {"Windows1252",
     TextEncoding::WindowsCP1252,
     {},
     QStringLiteral("<meta charset=windows-1252>\n\u201cquoted\u201d \u20ac5 na\u00efve\n"),
     QByteArray("<meta charset=windows-1252>\n\x93quoted\x94 \x80"
                "5 na\xefve\n")},
    {"ShiftJis",
     TextEncoding::ShiftJIS,
     {},
     QStringLiteral("<meta charset=Shift_JIS>\n\u65e5\u672c\u8a9e\u306e\u30c6\u30ad\u30b9\u30c8\n"),
     QByteArray("<meta charset=Shift_JIS>\n\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x65\x83\x4c\x83"
                "\x58\x83\x67\n")},
};

struct Convention {
    const char* label;
    int32_t lineEnding;
    const char* bytes;
};

const Convention conventions[] = {
    {"LF", LineEndings::LF, "\n"},
    {"CR", LineEndings::CR, "\r"},
    {"CRLF", LineEndings::CRLF, "\r\n"},
};

QByteArray fileBytes(const Sample& sample, const Convention& convention) {
    if (sample.data.isEmpty()) {
        QString text = sample.text;
        text.replace(QLatin1Char('\n'), QString::fromLatin1(convention.bytes));
        const bool little = sample.byteOrderMark == QByteArray("\xff\xfe");
        return sample.byteOrderMark +
               utf16(text, little ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
    }
    QByteArray data = sample.data;
    return data.replace('\n', QByteArray(convention.bytes));
}

class RoundTrip : public ::testing::TestWithParam<std::tuple<Sample, Convention>> {};

TEST_P(RoundTrip, UneditedFileIsWrittenBackByteForByte) {
    const auto& [sample, convention] = GetParam();
    const QByteArray data = fileBytes(sample, convention);

    Error error;
    const std::optional<DocumentContents> contents =
        documentFromData(data, 0, LineEndings::CR, &error);
    ASSERT_TRUE(contents) << error.description.toStdString();
    EXPECT_EQ(contents->format.encoding, sample.encoding);
    EXPECT_EQ(contents->format.lineEnding, convention.lineEnding);
    EXPECT_EQ(contents->format.byteOrderMark, sample.byteOrderMark);

    // CR LF is edited as LF; the other conventions are edited as they are.
    QString edited = sample.text;
    if (convention.lineEnding == LineEndings::CR)
        edited.replace(QLatin1Char('\n'), QLatin1Char('\r'));
    EXPECT_EQ(contents->text, edited);

    const std::optional<QByteArray> saved =
        dataFromDocument(contents->text, contents->format, &error);
    ASSERT_TRUE(saved) << error.description.toStdString();
    EXPECT_EQ(saved->toHex(' '), data.toHex(' '));
}

INSTANTIATE_TEST_SUITE_P(Files, RoundTrip,
                         ::testing::Combine(::testing::ValuesIn(samples),
                                            ::testing::ValuesIn(conventions)),
                         [](const ::testing::TestParamInfo<std::tuple<Sample, Convention>>& info) {
                             return std::string(std::get<0>(info.param).label) + "_" +
                                    std::get<1>(info.param).label;
                         });

TEST(DocumentData, EditedCrLfDocumentIsWrittenWithCrLfOnly) {
    std::optional<DocumentContents> contents = documentFromData("one\r\ntwo\r\n", 0);
    ASSERT_TRUE(contents);
    ASSERT_EQ(contents->text, QStringLiteral("one\ntwo\n"));
    const QString edited = contents->text + QStringLiteral("three\n");
    EXPECT_EQ(dataFromDocument(edited, contents->format), QByteArray("one\r\ntwo\r\nthree\r\n"));
}

TEST(DocumentData, MixedLineEndingsFollowTheFirstBreak) {
    const struct {
        const char* label;
        QByteArray data;
        int32_t lineEnding;
        QString text;
        QByteArray saved;
    } cases[] = {
        // CR LF first: shown with LF, and every LF goes back as CR LF (a lone CR stays).
        {"CrLfFirst", "a\r\nb\nc\rd\r\n", LineEndings::CRLF, QStringLiteral("a\nb\nc\rd\n"),
         "a\r\nb\r\nc\rd\r\n"},
        // LF or CR first: the text is kept as it is and written back unchanged.
        {"LfFirst", "a\nb\r\nc\rd", LineEndings::LF, QStringLiteral("a\nb\r\nc\rd"),
         "a\nb\r\nc\rd"},
        {"CrFirst", "a\rb\nc\r\nd", LineEndings::CR, QStringLiteral("a\rb\nc\r\nd"),
         "a\rb\nc\r\nd"},
        // A CR before a CR LF: the lone CR comes first.
        {"CrThenCrLf", "a\r\r\nb", LineEndings::CR, QStringLiteral("a\r\r\nb"), "a\r\r\nb"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::optional<DocumentContents> contents = documentFromData(c.data, 0);
        ASSERT_TRUE(contents);
        EXPECT_EQ(contents->format.lineEnding, c.lineEnding);
        EXPECT_EQ(contents->text, c.text);
        EXPECT_EQ(dataFromDocument(contents->text, contents->format), c.saved);
    }
}

TEST(DocumentData, FileWithoutLineBreakKeepsThePreviousConvention) {
    std::optional<DocumentContents> contents = documentFromData("no break", 0);
    ASSERT_TRUE(contents);
    EXPECT_EQ(contents->format.lineEnding, LineEndings::CR);
    // A line break typed by the user stays LF.
    EXPECT_EQ(dataFromDocument(contents->text + QStringLiteral("\nmore"), contents->format),
              QByteArray("no break\nmore"));

    contents = documentFromData("no break", 0, LineEndings::LF);
    ASSERT_TRUE(contents);
    EXPECT_EQ(contents->format.lineEnding, LineEndings::LF);
}

TEST(DocumentData, UnrepresentableTextIsRefusedWithItsPlaceInTheEditedText) {
    std::optional<DocumentContents> contents =
        documentFromData("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\nx\r\n", 0);
    ASSERT_TRUE(contents);
    ASSERT_EQ(contents->format.encoding, TextEncoding::ISOLatin1);
    const QString edited = contents->text + QStringLiteral("price \u20ac5\n");
    Error error;
    NSRange range{NSNotFound, 0};
    EXPECT_FALSE(dataFromDocument(edited, contents->format, &error, &range));
    EXPECT_EQ(error.code, TextEncoding::UnrepresentableCharacterError);
    EXPECT_EQ(range, NSMakeRange(static_cast<uint32_t>(edited.indexOf(QChar(0x20ac))), 1));
    EXPECT_TRUE(error.description.contains(QStringLiteral("\u20ac")))
        << error.description.toStdString();
    EXPECT_TRUE(error.description.contains(QStringLiteral("Western (ISO Latin 1)")));
}

TEST(DocumentData, DocumentWithoutEncodingIsWrittenAsUtf8) {
    EXPECT_EQ(dataFromDocument(QStringLiteral("caf\u00e9\n"), DocumentFormat{}),
              QByteArray("caf\xc3\xa9\n"));
}

} // namespace
