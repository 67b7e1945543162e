#include "connections/ListingParser.h"

#include <algorithm>
#include <cstring>
#include <ctime>

namespace {

constexpr int64_t secondsPerDay = 86400;

// Garbage in a listing must give garbage values, not undefined behaviour: arithmetic on
// parsed numbers wraps.
int64_t wrappingAdd(int64_t a, int64_t b) {
    return int64_t(uint64_t(a) + uint64_t(b));
}

int64_t wrappingMultiply(int64_t a, int64_t b) {
    return int64_t(uint64_t(a) * uint64_t(b));
}

// The decimal value of exactly these bytes; they are not checked to be digits.
int64_t number(const char* bytes, int length) {
    uint64_t value = 0;
    for (int i = 0; i < length; ++i)
        value = value * 10 + uint64_t(int64_t(static_cast<unsigned char>(bytes[i])) - '0');
    return int64_t(value);
}

// 0 to 11 for a three-letter month name in any case mix; -1 for anything else.
int month(const char* bytes, int length) {
    static const char names[] = "janfebmaraprmayjunjulaugsepoctnovdec";
    if (length != 3)
        return -1;
    for (int month = 0; month < 12; ++month) {
        bool matches = true;
        for (int i = 0; i < 3 && matches; ++i) {
            const char letter = names[month * 3 + i];
            matches = bytes[i] == letter || bytes[i] == letter - 32;
        }
        if (matches)
            return month;
    }
    return -1;
}

int64_t floorDivide(int64_t a, int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

int64_t civilYearOf(int64_t seconds) {
    // The inverse of listingDaysFromCivil for the year only.
    const int64_t days = floorDivide(seconds, secondsPerDay) + 719468;
    const int64_t era = floorDivide(days, 146097);
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    return yearOfEra + era * 400 + (shiftedMonth >= 10 ? 1 : 0);
}

// The date of a line that gives no year: the first year from last year on that puts it less
// than 350 days before now (or after now); 0 when none of a century of years does.
int64_t guessedDate(int month, int64_t day, int64_t now) {
    const int64_t currentYear = civilYearOf(now);
    for (int64_t year = currentYear - 1; year < currentYear + 100; ++year) {
        const int64_t date = listingDaysFromCivil(year, month, day);
        if (date > now - 350 * secondsPerDay)
            return date;
    }
    return 0;
}

// The index of the first `wanted` byte at or after `from`, or -1.
int find(const char* line, int length, int from, char wanted) {
    if (from >= length)
        return -1;
    const void* found = std::memchr(line + from, wanted, size_t(length - from));
    return found ? int(static_cast<const char*>(found) - line) : -1;
}

int skip(const char* line, int length, int from, char unwanted) {
    while (from < length && line[from] == unwanted)
        ++from;
    return from;
}

int skipNonSpaces(const char* line, int length, int from) {
    while (from < length && line[from] != ' ')
        ++from;
    return from;
}

// "+" facts "," ... TAB name
int parseEplf(ListingLineInfo* info, const char* line, int length) {
    int factStart = 1;
    for (int i = 1; i < length; ++i) {
        if (line[i] == '\t') {
            info->name = line + i + 1;
            info->nameLength = length - i - 1;
            return 1;
        }
        if (line[i] != ',')
            continue;
        const char* fact = line + factStart;
        const int factLength = i - factStart;
        factStart = i + 1;
        if (factLength == 0)
            continue;
        switch (fact[0]) {
        case '/':
            info->mayEnter = 1;
            break;
        case 'r':
            info->mayRetrieve = 1;
            break;
        case 's':
            info->sizeKind = ListingSizeBinary;
            info->size = number(fact + 1, factLength - 1);
            break;
        case 'm':
            info->timeKind = ListingTimeLocal;
            info->time = number(fact + 1, factLength - 1);
            break;
        case 'i':
            info->idKind = ListingIdFull;
            info->id = fact + 1;
            info->idLength = factLength - 1;
            break;
        default:
            break;
        }
    }
    return 0;
}

// Permissions, link count, owner, [group,] size, month, day, time or year, name.
int parseUnix(ListingLineInfo* info, const char* line, int length, int64_t now) {
    const char kind = line[0];
    info->mayEnter = kind == 'd' || kind == 'l';
    info->mayRetrieve = kind == '-' || kind == 'l';

    int state = 1;
    int fieldStart = 0;
    int64_t size = 0;
    int monthIndex = 0;
    int64_t day = 0;
    int nameStart = length;
    for (int i = 1; i < length && state != 8; ++i) {
        if (line[i] != ' ' || line[i - 1] == ' ')
            continue;
        const char* field = line + fieldStart;
        const int fieldLength = i - fieldStart;
        switch (state) {
        case 1: // permissions
            state = 2;
            break;
        case 2: // link count, or the folder column of NetPresenz servers
            state = fieldLength == 6 && field[0] == 'f' ? 4 : 3;
            break;
        case 3: // owner
            state = 4;
            break;
        case 4:
            size = number(field, fieldLength);
            state = 5;
            break;
        case 5: {
            // Up to the month, the last number is the size (this absorbs a group column).
            const int found = month(field, fieldLength);
            if (found >= 0) {
                monthIndex = found;
                state = 6;
            } else {
                size = number(field, fieldLength);
            }
            break;
        }
        case 6:
            day = number(field, fieldLength);
            state = 7;
            break;
        case 7:
            if (fieldLength == 4 && field[1] == ':') {
                info->timeKind = ListingTimeRemoteMinute;
                info->time = wrappingAdd(guessedDate(monthIndex, day, now),
                                         wrappingAdd(wrappingMultiply(number(field, 1), 3600),
                                                     wrappingMultiply(number(field + 2, 2), 60)));
            } else if (fieldLength == 5 && field[2] == ':') {
                info->timeKind = ListingTimeRemoteMinute;
                info->time = wrappingAdd(guessedDate(monthIndex, day, now),
                                         wrappingAdd(wrappingMultiply(number(field, 2), 3600),
                                                     wrappingMultiply(number(field + 3, 2), 60)));
            } else if (fieldLength >= 4) {
                info->timeKind = ListingTimeRemoteDay;
                info->time = listingDaysFromCivil(number(field, fieldLength), monthIndex, day);
            } else {
                return 0;
            }
            // Only the one space ending this field separates it from the name; any further
            // spaces belong to the name.
            nameStart = i + 1;
            state = 8;
            break;
        }
        int next = i + 1;
        while (next < length && line[next] == ' ')
            ++next;
        fieldStart = next;
    }
    if (state != 8)
        return 0;

    info->sizeKind = ListingSizeBinary;
    info->size = size;
    const char* name = line + nameStart;
    int nameLength = length - nameStart;

    if (kind == 'l') {
        // Drop the link target.
        for (int i = 0; i + 4 <= nameLength; ++i) {
            if (std::memcmp(name + i, " -> ", 4) == 0) {
                nameLength = i;
                break;
            }
        }
    }
    // NetWare puts three more spaces before the name.
    if ((line[1] == ' ' || line[1] == '[') && nameLength > 3 && std::memcmp(name, "   ", 3) == 0) {
        name += 3;
        nameLength -= 3;
    }
    if (kind == 'd' && nameLength > 0 && name[nameLength - 1] == '/')
        --nameLength;

    info->name = name;
    info->nameLength = nameLength;
    info->link = length >= 12 && std::memcmp(line, "lrwxrwxrwx", 10) == 0;
    info->isLink = kind == 'l';
    return 1;
}

// NAME;VERSION size DD-MMM-YYYY HH:MM ...
int parseVms(ListingLineInfo* info, const char* line, int length, int semicolon) {
    int nameLength = semicolon;
    if (nameLength > 4 && std::memcmp(line + nameLength - 4, ".DIR", 4) == 0) {
        nameLength -= 4;
        info->mayEnter = 1;
    }
    if (!info->mayEnter)
        info->mayRetrieve = 1;
    info->name = line;
    info->nameLength = nameLength;

    // Past the version, the spaces, the size column and the spaces after it.
    int at = skipNonSpaces(line, length, semicolon);
    if (at == length)
        return 0;
    at = skip(line, length, at, ' ');
    if (at == length)
        return 0;
    at = skipNonSpaces(line, length, at);
    if (at == length)
        return 0;
    at = skip(line, length, at, ' ');
    if (at == length)
        return 0;

    int end = find(line, length, at, '-');
    if (end < 0)
        return 0;
    const int64_t day = number(line + at, end - at);
    at = skip(line, length, end, '-');
    end = find(line, length, at, '-');
    if (end < 0)
        return 0;
    const int monthIndex = month(line + at, end - at);
    if (monthIndex < 0)
        return 0;
    at = skip(line, length, end, '-');
    end = find(line, length, at, ' ');
    if (end < 0)
        return 0;
    const int64_t year = number(line + at, end - at);
    at = skip(line, length, end, ' ');
    end = find(line, length, at, ':');
    if (end < 0)
        return 0;
    const int64_t hour = number(line + at, end - at);
    at = skip(line, length, end, ':');
    end = at;
    while (end < length && line[end] != ':' && line[end] != ' ')
        ++end;
    if (end == length)
        return 0;
    const int64_t minute = number(line + at, end - at);

    info->timeKind = ListingTimeRemoteMinute;
    info->time =
        wrappingAdd(listingDaysFromCivil(year, monthIndex, day),
                    wrappingAdd(wrappingMultiply(hour, 3600), wrappingMultiply(minute, 60)));
    return 1;
}

// MM-DD-YY HH:MM{AM|PM} {<DIR>|size} name
int parseMsdos(ListingLineInfo* info, const char* line, int length) {
    int end = find(line, length, 0, '-');
    if (end < 0)
        return 0;
    const int64_t monthIndex = wrappingAdd(number(line, end), -1);
    int at = skip(line, length, end, '-');
    end = find(line, length, at, '-');
    if (end < 0)
        return 0;
    const int64_t day = number(line + at, end - at);
    at = skip(line, length, end, '-');
    end = find(line, length, at, ' ');
    if (end < 0)
        return 0;
    int64_t year = number(line + at, end - at);
    if (year < 50)
        year += 2000;
    if (year < 1000)
        year += 1900;

    at = skip(line, length, end, ' ');
    end = find(line, length, at, ':');
    if (end < 0)
        return 0;
    int64_t hour = number(line + at, end - at);
    at = skip(line, length, end, ':');
    end = at;
    while (end < length && line[end] != 'A' && line[end] != 'P')
        ++end;
    if (end == length)
        return 0;
    const int64_t minute = number(line + at, end - at);
    at = end;
    if (hour == 12)
        hour = 0;
    if (at < length && line[at] == 'A')
        ++at;
    if (at < length && line[at] == 'P') {
        hour += 12;
        ++at;
    }
    if (at < length && line[at] == 'M')
        ++at;

    at = skip(line, length, at, ' ');
    if (at == length)
        return 0;
    end = find(line, length, at, ' ');
    if (end < 0)
        return 0;
    if (line[at] == '<') {
        info->mayEnter = 1;
    } else {
        info->sizeKind = ListingSizeBinary;
        info->size = number(line + at, end - at);
        info->mayRetrieve = 1;
    }
    at = skip(line, length, end, ' ');
    info->name = line + at;
    info->nameLength = length - at;

    info->timeKind = ListingTimeRemoteMinute;
    info->time =
        wrappingAdd(listingDaysFromCivil(year, monthIndex, day),
                    wrappingAdd(wrappingMultiply(hour, 3600), wrappingMultiply(minute, 60)));
    return 1;
}

int parseAnyForm(ListingLineInfo* info, const char* line, int length, int64_t now) {
    switch (line[0]) {
    case '+':
        return parseEplf(info, line, length);
    case 'b':
    case 'c':
    case 'd':
    case 'l':
    case 'p':
    case 's':
    case '-':
        return parseUnix(info, line, length, now);
    default:
        break;
    }
    const int semicolon = find(line, length, 0, ';');
    if (semicolon >= 0)
        return parseVms(info, line, length, semicolon);
    if (line[0] >= '0' && line[0] <= '9')
        return parseMsdos(info, line, length);
    return 0;
}

} // namespace

int64_t listingDaysFromCivil(int64_t year, int64_t month, int64_t day) {
    // Values far outside any calendar only come from garbage; keeping them within a few
    // billion years keeps the arithmetic below exact and free of overflow.
    constexpr int64_t bound = int64_t(1) << 31;
    year = std::clamp(year, -bound, bound);
    month = std::clamp(month, -bound, bound);
    year += floorDivide(month, 12);
    const int64_t monthOfYear = month - floorDivide(month, 12) * 12; // 0 = January
    // Count from March so that the leap day ends the year.
    if (monthOfYear < 2)
        --year;
    const int64_t era = floorDivide(year, 400);
    const int64_t yearOfEra = year - era * 400;
    const int64_t shiftedMonth = monthOfYear >= 2 ? monthOfYear - 2 : monthOfYear + 10;
    const int64_t dayOfYear = (153 * shiftedMonth + 2) / 5;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const int64_t days = era * 146097 + dayOfEra - 719468;
    return wrappingMultiply(wrappingAdd(days, wrappingAdd(day, -1)), secondsPerDay);
}

int parseListingLine(ListingLineInfo* info, const char* line, int length, int64_t now) {
    *info = ListingLineInfo();
    if (!line || length < 2)
        return 0;
    if (!parseAnyForm(info, line, length, now)) {
        *info = ListingLineInfo();
        return 0;
    }
    if (info->nameLength <= 0 || std::memchr(info->name, '/', size_t(info->nameLength))) {
        *info = ListingLineInfo();
        return 0;
    }
    return 1;
}

int parseListingLine(ListingLineInfo* info, const char* line, int length) {
    return parseListingLine(info, line, length, int64_t(std::time(nullptr)));
}
