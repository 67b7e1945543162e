#pragma once

// How remote connections turn server names into text and back: UTF-8, with every byte that is
// not valid UTF-8 kept as one character U+DC80..U+DCFF (see ListingAttributes.h), so any name
// read from a server reaches the same entry when it is sent back in a request.

#include <QByteArray>
#include <QString>

namespace remotenames {

QString decode(const QByteArray& bytes);
QByteArray encode(const QString& name);

// Percent-encodes every byte of the encoded path except unreserved characters and "/", so
// that "#", "?", "%" and spaces reach the server as part of the name.
QByteArray urlPath(const QString& path);

// A path that could end one command and start another on the server: CR, LF or NUL.
bool isUnsafePath(const QString& path);

// Text of one transcript message: UTF-8 when it is valid, otherwise Latin-1.
QString transcriptText(const char* bytes, qsizetype length);

} // namespace remotenames
