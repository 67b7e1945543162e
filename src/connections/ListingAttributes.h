#pragma once

#include "connections/ConnectionItemAttributes.h"
#include "connections/ListingParser.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// Server names are UTF-8. Bytes that are not part of valid UTF-8 (names written in another
// encoding) are kept, each as one character U+DC80 to U+DCFF, so that a name read from a
// listing turns back into exactly the server's bytes when it is sent in a request.
QString serverStringFromBytes(QByteArrayView bytes);
QByteArray serverBytesFromString(const QString& string);

// The entry name of a parsed line, decoded with serverStringFromBytes.
QString listingEntryName(const ListingLineInfo& info);

// The record of one accepted listing line: "name" from listingEntryName, "type" "directory"
// when the entry can be entered, "size" when the line gives one, "mdate" when its time is not 0,
// "link" for "lrwxrwxrwx" lines, and isLink for every link.
ConnectionItemAttributes connectionItemAttributesFromListingLine(const ListingLineInfo& info);

// The records of a whole listing as a server sends it (lines separated by LF; a CR before the
// LF is dropped), in line order. Lines the parser rejects and the entries "." and ".." are
// left out.
QList<ConnectionItemAttributes> connectionItemAttributesFromListing(const QByteArray& listing);
QList<ConnectionItemAttributes> connectionItemAttributesFromListing(const QByteArray& listing,
                                                                    int64_t now);
