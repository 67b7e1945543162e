#pragma once

// How remote connections turn server names into text and back.
//
// Server names are UTF-8. A byte that is not part of valid UTF-8 (a name written by an older
// system in Latin-1, say) becomes the lone low surrogate U+DC80 + (byte - 0x80) and is turned
// back into that very byte on the way out, so any name read from a server can be named again
// in a request and reaches the same file.

#include <QByteArray>
#include <QString>

namespace remotenames {

QString decode(const QByteArray& bytes);
QString decode(const char* bytes, qsizetype length);
QByteArray encode(const QString& name);

// Percent-encodes every byte of the encoded path except unreserved characters and "/", so
// that "#", "?", "%" and spaces reach the server as part of the name.
QByteArray urlPath(const QString& path);

// A path that could end one command and start another on the server: CR, LF or NUL.
bool isUnsafePath(const QString& path);

// Text of one transcript message: UTF-8 when it is valid, otherwise Latin-1.
QString transcriptText(const char* bytes, qsizetype length);

} // namespace remotenames
