#pragma once

#include "core/Range.h"

#include <QStringView>

// The line that holds an index: from the character after the previous terminator up to and
// including its own terminator (LF, CR, CR LF, NEL, LINE SEPARATOR, PARAGRAPH SEPARATOR). The last
// line may have none. An index at the end of the text belongs to the last line (or to an empty
// line after a final terminator).
inline bool KTIsLineTerminator(QChar c) {
    const char16_t u = c.unicode();
    return u == u'\n' || u == u'\r' || u == 0x85 || u == 0x2028 || u == 0x2029;
}

inline NSRange KTLineRangeForIndex(QStringView s, uint32_t index) {
    const uint32_t n = uint32_t(s.size());
    if (index > n)
        index = n;
    if (index > 0 && index < n && s[index] == u'\n' && s[index - 1] == u'\r')
        --index;
    uint32_t start = index;
    while (start > 0 && !KTIsLineTerminator(s[start - 1]))
        --start;
    uint32_t end = index;
    while (end < n && !KTIsLineTerminator(s[end]))
        ++end;
    if (end < n) {
        if (s[end] == u'\r' && end + 1 < n && s[end + 1] == u'\n')
            end += 2;
        else
            end += 1;
    }
    return NSMakeRange(start, end - start);
}

// End (terminator included) of the line that holds the index.
inline uint32_t KTLineEndForIndex(QStringView s, uint32_t index) {
    return NSMaxRange(KTLineRangeForIndex(s, index));
}
