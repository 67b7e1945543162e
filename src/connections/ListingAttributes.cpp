#include "connections/ListingAttributes.h"

#include <QByteArrayView>

#include <ctime>

namespace {

constexpr char16_t escapedByteBase = 0xDC00;

// The length of the valid UTF-8 sequence at `at` and its code point; 0 when the byte there
// does not start one (stray continuation bytes, overlong forms, surrogates, beyond U+10FFFF,
// or a sequence cut short).
int utf8Sequence(const unsigned char* bytes, qsizetype size, qsizetype at, char32_t* codePoint) {
    const unsigned char lead = bytes[at];
    int length;
    char32_t value;
    char32_t minimum;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (size - at < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        const unsigned char next = bytes[at + i];
        if ((next & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *codePoint = value;
    return length;
}

} // namespace

QString serverStringFromBytes(QByteArrayView bytes) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    QString string;
    string.reserve(size);
    for (qsizetype at = 0; at < size;) {
        if (data[at] < 0x80) {
            string += QChar(char16_t(data[at]));
            ++at;
            continue;
        }
        char32_t codePoint = 0;
        if (const int length = utf8Sequence(data, size, at, &codePoint)) {
            // Appended unit by unit: a byte-order mark is part of the name here.
            if (QChar::requiresSurrogates(codePoint)) {
                string += QChar(QChar::highSurrogate(codePoint));
                string += QChar(QChar::lowSurrogate(codePoint));
            } else {
                string += QChar(char16_t(codePoint));
            }
            at += length;
        } else {
            string += QChar(char16_t(escapedByteBase + data[at]));
            ++at;
        }
    }
    return string;
}

QByteArray serverBytesFromString(const QString& string) {
    QByteArray bytes;
    bytes.reserve(string.size());
    qsizetype runStart = 0;
    const auto flushRun = [&](qsizetype end) {
        if (end > runStart)
            bytes += QStringView(string).mid(runStart, end - runStart).toUtf8();
    };
    for (qsizetype i = 0; i < string.size(); ++i) {
        const char16_t unit = string.at(i).unicode();
        const bool followsHighSurrogate =
            i > 0 && QChar::isHighSurrogate(string.at(i - 1).unicode());
        if (unit >= escapedByteBase + 0x80 && unit <= escapedByteBase + 0xFF &&
            !followsHighSurrogate) {
            flushRun(i);
            bytes += char(unit - escapedByteBase);
            runStart = i + 1;
        }
    }
    flushRun(string.size());
    return bytes;
}

QString listingEntryName(const ListingLineInfo& info) {
    const QByteArrayView bytes(info.name, info.nameLength);
    // Almost every name is plain ASCII.
    for (const char byte : bytes) {
        if (static_cast<unsigned char>(byte) >= 0x80)
            return serverStringFromBytes(bytes);
    }
    return QString::fromLatin1(bytes);
}

ConnectionItemAttributes connectionItemAttributesFromListingLine(const ListingLineInfo& info) {
    ConnectionItemAttributes record;
    record.name = listingEntryName(info);
    record.type = info.mayEnter == 1 ? ConnectionItemAttributes::typeDirectory()
                                     : ConnectionItemAttributes::typeFile();
    if (info.sizeKind == ListingSizeBinary)
        record.size = info.size;
    if (info.time != 0)
        record.mdate = QDateTime::fromSecsSinceEpoch(info.time, Qt::UTC);
    if (info.link)
        record.link = QLatin1String("");
    record.isLink = info.isLink != 0;
    return record;
}

QList<ConnectionItemAttributes> connectionItemAttributesFromListing(const QByteArray& listing,
                                                                    int64_t now) {
    QList<ConnectionItemAttributes> records;
    // Growing a list of records copies them all, so size it once up front.
    records.reserve(listing.count('\n') + 1);
    const char* const bytes = listing.constData();
    const qsizetype size = listing.size();
    qsizetype lineStart = 0;
    while (lineStart < size) {
        qsizetype lineEnd = listing.indexOf('\n', lineStart);
        if (lineEnd < 0)
            lineEnd = size;
        qsizetype next = lineEnd + 1;
        // An LF CR pair counts as one line end.
        if (next < size && bytes[next] == '\r')
            ++next;
        qsizetype contentEnd = lineEnd;
        if (contentEnd > lineStart && bytes[contentEnd - 1] == '\r')
            --contentEnd;
        const qsizetype length = contentEnd - lineStart;
        ListingLineInfo info;
        if (length <= INT32_MAX && parseListingLine(&info, bytes + lineStart, int(length), now)) {
            const bool dotEntry =
                (info.nameLength == 1 && info.name[0] == '.') ||
                (info.nameLength == 2 && info.name[0] == '.' && info.name[1] == '.');
            if (!dotEntry)
                records.emplace_back(connectionItemAttributesFromListingLine(info));
        }
        lineStart = next;
    }
    return records;
}

QList<ConnectionItemAttributes> connectionItemAttributesFromListing(const QByteArray& listing) {
    return connectionItemAttributesFromListing(listing, int64_t(std::time(nullptr)));
}
