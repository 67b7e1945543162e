#include "connections/ListingAttributes.h"

#include <QByteArrayView>
#include <QStringDecoder>

#include <ctime>

QString listingEntryName(const ListingLineInfo& info) {
    const QByteArrayView bytes(info.name, info.nameLength);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString name = utf8.decode(bytes);
    if (utf8.hasError())
        return QString::fromLatin1(bytes);
    return name;
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
