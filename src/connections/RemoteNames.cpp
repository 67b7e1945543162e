#include "connections/RemoteNames.h"

namespace remotenames {

namespace {

// Length of the valid UTF-8 sequence at bytes[i], or 0 when it is not one.
int sequenceLength(const unsigned char* bytes, qsizetype i, qsizetype length, char32_t* codePoint) {
    const unsigned char lead = bytes[i];
    int count;
    char32_t value;
    char32_t minimum;
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        count = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        count = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        count = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + count > length)
        return 0;
    for (int k = 1; k < count; ++k) {
        const unsigned char next = bytes[i + k];
        if ((next & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *codePoint = value;
    return count;
}

void appendUtf8(QByteArray& out, char32_t c) {
    if (c < 0x80) {
        out.append(char(c));
    } else if (c < 0x800) {
        out.append(char(0xC0 | (c >> 6)));
        out.append(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.append(char(0xE0 | (c >> 12)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
        out.append(char(0x80 | (c & 0x3F)));
    } else {
        out.append(char(0xF0 | (c >> 18)));
        out.append(char(0x80 | ((c >> 12) & 0x3F)));
        out.append(char(0x80 | ((c >> 6) & 0x3F)));
        out.append(char(0x80 | (c & 0x3F)));
    }
}

QString decodeBytes(const char* data, qsizetype length, bool* escaped) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    QString out;
    out.reserve(length);
    for (qsizetype i = 0; i < length;) {
        char32_t c = 0;
        const int count = sequenceLength(bytes, i, length, &c);
        if (count == 0) {
            // Only bytes 0x80..0xFF can be invalid; each keeps its value in the escape.
            out.append(QChar(char16_t(0xDC00 + bytes[i])));
            *escaped = true;
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            out.append(QChar(QChar::highSurrogate(c)));
            out.append(QChar(QChar::lowSurrogate(c)));
        } else {
            out.append(QChar(char16_t(c)));
        }
        i += count;
    }
    return out;
}

} // namespace

QString decode(const char* data, qsizetype length) {
    bool escaped = false;
    return decodeBytes(data, length, &escaped);
}

QString decode(const QByteArray& bytes) {
    return decode(bytes.constData(), bytes.size());
}

QByteArray encode(const QString& name) {
    QByteArray out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name.at(i).unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < name.size() &&
            QChar::isLowSurrogate(name.at(i + 1).unicode())) {
            appendUtf8(out, QChar::surrogateToUcs4(unit, name.at(i + 1).unicode()));
            ++i;
        } else if (unit >= 0xDC80 && unit <= 0xDCFF) {
            out.append(char(unit - 0xDC00));
        } else if (QChar::isSurrogate(unit)) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
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
    bool escaped = false;
    const QString text = decodeBytes(bytes, length, &escaped);
    return escaped ? QString::fromLatin1(bytes, length) : text;
}

} // namespace remotenames
