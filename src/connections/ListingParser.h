#pragma once

// Reading one line of a server's directory listing. Plain C++ without Qt, so that it can be
// built on its own (the fuzz target compiles this file alone).

#include <cstdint>

// What one listing line says about an entry. Pointers point into the line given to
// parseListingLine; nothing is copied or allocated.
struct ListingLineInfo {
    // The entry name: nameLength bytes from name (not NUL-terminated).
    const char* name = nullptr;
    int nameLength = 0;
    // 1 when the entry can be entered like a directory (symbolic links included).
    int mayEnter = 0;
    // 1 when the entry can be fetched like a file.
    int mayRetrieve = 0;
    // ListingSizeUnknown or ListingSizeBinary (size holds bytes).
    int sizeKind = 0;
    int64_t size = 0;
    // One of the ListingTime... kinds; time is seconds since 1970-01-01 00:00 UTC, 0 when not
    // given. Server times are taken as UTC.
    int timeKind = 0;
    int64_t time = 0;
    // ListingIdUnknown or ListingIdFull (an EPLF identifier: idLength bytes from id).
    int idKind = 0;
    const char* id = nullptr;
    int idLength = 0;
    // 1 when the line is a symbolic link with the permissions "lrwxrwxrwx" (at least 12 bytes).
    int link = 0;
    // 1 for every Unix line starting with "l": a symbolic link, whatever its permissions.
    int isLink = 0;
};

enum : int {
    ListingSizeUnknown = 0,
    ListingSizeBinary = 1,
};

enum : int {
    ListingTimeUnknown = 0,
    // A time value the server gave as such (EPLF).
    ListingTimeLocal = 1,
    // A date and time to the minute.
    ListingTimeRemoteMinute = 2,
    // A date only (a Unix line giving the year instead of the time).
    ListingTimeRemoteDay = 3,
};

enum : int {
    ListingIdUnknown = 0,
    ListingIdFull = 1,
};

// Reads one listing line of `length` bytes (its terminator removed) in the EPLF, Unix long
// listing (with NetPresenz and NetWare variants), VMS/MultiNet or MS-DOS form, chosen by the
// first byte. Answers 1 and fills `info` when the line describes an entry; answers 0 for lines
// it rejects ("total 96", blank lines, unknown forms). Reads only the given bytes; the line
// need not be NUL-terminated.
//
// Besides lines in no known form, two kinds of entry are rejected so that every caller is
// safe from them: an empty name (it would name the listed folder itself, and a removal would
// recurse into it forever), and a name containing "/" (a server must not be able to name a
// path outside the listed folder). Entries named "." and ".." are accepted; the caller skips
// them.
//
// Dates without a year are placed relative to `now` (seconds since 1970, UTC): in the
// earliest year, from the previous one on, that puts them less than 350 days before now.
int parseListingLine(ListingLineInfo* info, const char* line, int length, int64_t now);
// The same with the current time.
int parseListingLine(ListingLineInfo* info, const char* line, int length);

// Seconds from 1970-01-01 00:00 UTC to 00:00 UTC of a day of the proleptic Gregorian calendar
// (month 0 to 11; months outside that range carry into the year).
int64_t listingDaysFromCivil(int64_t year, int64_t month, int64_t day);
