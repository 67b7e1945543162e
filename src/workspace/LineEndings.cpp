#include "workspace/LineEndings.h"

namespace LineEndings {

namespace {

// One pass over the text (QString::replace reallocates as it goes on long texts).
QString withoutCrBeforeLf(const QString& text) {
    QString result(text.size(), Qt::Uninitialized);
    const QChar* source = text.constData();
    const qsizetype length = text.size();
    QChar* target = result.data();
    qsizetype written = 0;
    for (qsizetype i = 0; i < length; ++i) {
        if (source[i] == QLatin1Char('\r') && i + 1 < length && source[i + 1] == QLatin1Char('\n'))
            continue;
        target[written++] = source[i];
    }
    result.truncate(written);
    return result;
}

QString withCrBeforeEveryLf(const QString& text) {
    const qsizetype breaks = text.count(QLatin1Char('\n'));
    if (breaks == 0)
        return text;
    QString result(text.size() + breaks, Qt::Uninitialized);
    QChar* target = result.data();
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            *target++ = QLatin1Char('\r');
        *target++ = c;
    }
    return result;
}

} // namespace

int32_t detect(const QString& text, int32_t previous) {
    qsizetype position = -1;
    int32_t lineEnding = previous;
    auto take = [&](qsizetype found, int32_t convention) {
        if (found >= 0 && (position < 0 || found < position)) {
            position = found;
            lineEnding = convention;
        }
    };
    take(text.indexOf(QLatin1StringView("\r\n")), CRLF);
    take(text.indexOf(QLatin1Char('\r')), CR); // the CR of the first CR LF is not earlier
    take(text.indexOf(QLatin1Char('\n')), LF);
    return lineEnding;
}

QString textForEditing(const QString& text, int32_t lineEnding) {
    if (lineEnding != CRLF)
        return text;
    return withoutCrBeforeLf(text);
}

QString textForSaving(const QString& text, int32_t lineEnding) {
    if (lineEnding != CRLF)
        return text;
    return withCrBeforeEveryLf(text);
}

} // namespace LineEndings
