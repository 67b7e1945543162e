#include "connections/RemoteNames.h"

#include "connections/ListingAttributes.h"

namespace remotenames {

QString decode(const QByteArray& bytes) {
    return serverStringFromBytes(bytes);
}

QByteArray encode(const QString& name) {
    return serverBytesFromString(name);
}

QByteArray urlPath(const QString& path) {
    return encode(path).toPercentEncoding("/");
}

bool isUnsafePath(const QString& path) {
    for (const QChar c : path) {
        if (c == u'\r' || c == u'\n' || c == u'\0')
            return true;
    }
    return false;
}

QString transcriptText(const char* bytes, qsizetype length) {
    const QByteArrayView view(bytes, length);
    return view.isValidUtf8() ? QString::fromUtf8(view) : QString::fromLatin1(view);
}

} // namespace remotenames
