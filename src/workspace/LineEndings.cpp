#include "workspace/LineEndings.h"

namespace LineEndings {

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
    QString result = text;
    result.replace(QLatin1StringView("\r\n"), QLatin1StringView("\n"));
    return result;
}

QString textForSaving(const QString& text, int32_t lineEnding) {
    if (lineEnding != CRLF)
        return text;
    QString result = text;
    result.replace(QLatin1Char('\n'), QLatin1StringView("\r\n"));
    return result;
}

QString textForInsertion(const QString& text) {
    if (!text.contains(QLatin1Char('\r')))
        return text;
    QString result = text;
    result.replace(QLatin1StringView("\r\n"), QLatin1StringView("\n"));
    return result;
}

} // namespace LineEndings
