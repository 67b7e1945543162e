#pragma once

#include "connections/ConnectionItemAttributes.h"
#include "connections/ListingParser.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The entry name of a parsed line: UTF-8 when the bytes are valid UTF-8, otherwise each byte
// as one ISO Latin-1 character, so that no name is lost or garbled into replacement marks.
QString listingEntryName(const ListingLineInfo& info);

// The record of one accepted listing line: "type" is "directory" when the entry can be
// entered, "size" when the line gives one, "mdate" when its time is not 0, "link" for
// "lrwxrwxrwx" lines, and isLink for every link.
ConnectionItemAttributes connectionItemAttributesFromListingLine(const ListingLineInfo& info);

// The records of a whole listing as a server sends it (lines separated by LF; a CR before the
// LF is dropped), in line order. Lines the parser rejects and the entries "." and ".." are
// left out.
QList<ConnectionItemAttributes> connectionItemAttributesFromListing(const QByteArray& listing);
QList<ConnectionItemAttributes> connectionItemAttributesFromListing(const QByteArray& listing,
                                                                    int64_t now);
