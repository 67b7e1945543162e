#include "core/URLAdditions.h"

#include <QHash>

namespace {

// Null when the unescaped bytes are not ASCII.
QString unescapeASCII(const QString& text) {
    const QByteArray bytes = QByteArray::fromPercentEncoding(text.toLatin1());
    for (char byte : bytes) {
        if (static_cast<unsigned char>(byte) > 0x7F)
            return QString();
    }
    QString result = QString::fromLatin1(bytes);
    return result.isNull() ? QStringLiteral("") : result;
}

} // namespace

QString valueForVariable(const QUrl& url, const QString& name) {
    if (!url.hasQuery())
        return QString();
    QHash<QString, QString> variables;
    const QStringList pieces = url.query(QUrl::FullyEncoded).split(QLatin1Char('&'));
    for (const QString& piece : pieces) {
        const QStringList parts = piece.split(QLatin1Char('='));
        if (parts.size() < 2)
            continue;
        const QString key = unescapeASCII(parts.at(0));
        const QString value = unescapeASCII(parts.at(1));
        if (key.isNull() || value.isNull())
            continue;
        variables.insert(key, value);
    }
    return variables.value(name);
}
