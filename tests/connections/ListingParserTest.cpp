#include "connections/ListingParser.h"
#include "connections/ListingAttributes.h"

#include <QDateTime>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

int64_t utc(int year, int month, int day, int hour = 0, int minute = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute), Qt::UTC).toSecsSinceEpoch();
}

// The clock the date guesses are made against in these tests: 15 June 2026, noon.
const int64_t june15 = utc(2026, 6, 15, 12, 0);

struct Parsed {
    int accepted = 0;
    std::string name;
    int mayEnter = 0;
    int mayRetrieve = 0;
    int sizeKind = 0;
    int64_t size = 0;
    int timeKind = 0;
    int64_t time = 0;
    int link = 0;
    int isLink = 0;
    std::string id;
};

Parsed parse(const std::string& line, int64_t now = june15) {
    ListingLineInfo info;
    Parsed parsed;
    parsed.accepted = parseListingLine(&info, line.data(), int(line.size()), now);
    if (info.name)
        parsed.name.assign(info.name, size_t(info.nameLength));
    parsed.mayEnter = info.mayEnter;
    parsed.mayRetrieve = info.mayRetrieve;
    parsed.sizeKind = info.sizeKind;
    parsed.size = info.size;
    parsed.timeKind = info.timeKind;
    parsed.time = info.time;
    parsed.link = info.link;
    parsed.isLink = info.isLink;
    if (info.idKind == ListingIdFull)
        parsed.id.assign(info.id, size_t(info.idLength));
    return parsed;
}

struct Case {
    std::string line;
    std::string name;
    int mayEnter;
    int mayRetrieve;
    int sizeKind;
    int64_t size;
    int timeKind;
    int64_t time;
    int link = 0;
    int isLink = 0;
};

void expectParsed(const Case& c, int64_t now = june15) {
    SCOPED_TRACE(c.line);
    const Parsed parsed = parse(c.line, now);
    ASSERT_EQ(parsed.accepted, 1);
    EXPECT_EQ(parsed.name, c.name);
    EXPECT_EQ(parsed.mayEnter, c.mayEnter);
    EXPECT_EQ(parsed.mayRetrieve, c.mayRetrieve);
    EXPECT_EQ(parsed.sizeKind, c.sizeKind);
    EXPECT_EQ(parsed.size, c.size);
    EXPECT_EQ(parsed.timeKind, c.timeKind);
    EXPECT_EQ(parsed.time, c.time);
    EXPECT_EQ(parsed.link, c.link);
    EXPECT_EQ(parsed.isLink, c.isLink);
}

TEST(ListingParser, AcceptedLinesInEveryForm) {
    const Case cases[] = {
        // Unix with and without a group column, and with a year instead of a time.
        {"-rw-r--r-- 1 web staff 2048 Mar 3 14:05 index.html", "index.html", 0, 1, 1, 2048, 2,
         utc(2026, 3, 3, 14, 5)},
        {"drwxr-xr-x 3 web 4096 Nov 21 2009 images", "images", 1, 0, 1, 4096, 3, utc(2009, 11, 21)},
        {"-rw-r--r--   1 web      staff        17 Jan  9  9:07 notes.txt", "notes.txt", 0, 1, 1, 17,
         2, utc(2026, 1, 9, 9, 7)},
        // Links: both flags; only "lrwxrwxrwx" sets the link key, every "l" line is a link.
        {"lrwxrwxrwx 1 web staff 12 Feb 2 09:30 current -> release-7", "current", 1, 1, 1, 12, 2,
         utc(2026, 2, 2, 9, 30), 1, 1},
        {"lrwxr-xr-x 1 web staff 12 Feb 2 09:30 latest -> release-7", "latest", 1, 1, 1, 12, 2,
         utc(2026, 2, 2, 9, 30), 0, 1},
        {"lrwxrwxrwx 1 web staff 7 Feb 2 09:30 a->b", "a->b", 1, 1, 1, 7, 2, utc(2026, 2, 2, 9, 30),
         1, 1},
        {"lrwxrwxrwx 1 web staff 7 Feb 2 09:30 up -> ..", "up", 1, 1, 1, 7, 2,
         utc(2026, 2, 2, 9, 30), 1, 1},
        // NetPresenz folder column, NetWare's extra spaces, a folder name with a slash.
        {"drwxr-xr-x folder 4 Jun 1 2008 assets", "assets", 1, 0, 1, 4, 3, utc(2008, 6, 1)},
        {"- [RWCEAFMS] admin 2210 Oct 5 11:20    notes.txt", "notes.txt", 0, 1, 1, 2210, 2,
         utc(2025, 10, 5, 11, 20)},
        {"d [RWCEAFMS] admin 512 Oct 5 11:20    public", "public", 1, 0, 1, 512, 2,
         utc(2025, 10, 5, 11, 20)},
        {"drwxr-xr-x 2 web staff 512 Apr 9 2011 cgi-bin/", "cgi-bin", 1, 0, 1, 512, 3,
         utc(2011, 4, 9)},
        // Spaces beyond the one after the time belong to the name, as do spaces inside it.
        {"-rw-r--r-- 1 web staff 5 May 4 10:00  two spaces", " two spaces", 0, 1, 1, 5, 2,
         utc(2026, 5, 4, 10, 0)},
        // Month names in any case; other file kinds neither enter nor retrieve.
        {"-rw-r--r-- 1 web staff 1 MAR 3 14:05 a", "a", 0, 1, 1, 1, 2, utc(2026, 3, 3, 14, 5)},
        {"-rw-r--r-- 1 web staff 1 mAr 3 2020 b", "b", 0, 1, 1, 1, 3, utc(2020, 3, 3)},
        {"srwxrwxrwx 1 web staff 0 Dec 1 2020 mysql.sock", "mysql.sock", 0, 0, 1, 0, 3,
         utc(2020, 12, 1)},
        // Sizes beyond 32 bits.
        {"-rw-r--r-- 1 web staff 5000000000 Mar 3 14:05 big.iso", "big.iso", 0, 1, 1, 5000000000, 2,
         utc(2026, 3, 3, 14, 5)},
        {"+s9876543210,r,\tbackup.tar", "backup.tar", 0, 1, 1, 9876543210, 0, 0},
        // EPLF.
        {"+i1234.5678,m1262304000,/,\tdocs", "docs", 1, 0, 0, 0, 1, 1262304000},
        {"+i8388621.48594,m825718503,r,s280,\tdjb.html", "djb.html", 0, 1, 1, 280, 1, 825718503},
        {"+m825718503,/,,x9,\tname with spaces", "name with spaces", 1, 0, 0, 0, 1, 825718503},
        // VMS.
        {"ARCHIVE.DIR;1 2 14-MAR-2005 10:42 [WEB] (RWE,RWE,RE,RE)", "ARCHIVE", 1, 0, 0, 0, 2,
         utc(2005, 3, 14, 10, 42)},
        {"INDEX.HTML;3       12/14   1-JAN-2010 08:05:11  [WEB,USER]", "INDEX.HTML", 0, 1, 0, 0, 2,
         utc(2010, 1, 1, 8, 5)},
        {"CORE.DIR;1 1 8-SEP-1996 16:09 [ANONYMOUS,ANONYMOUS] (RWE,RWE,,)", "CORE", 1, 0, 0, 0, 2,
         utc(1996, 9, 8, 16, 9)},
        // MS-DOS.
        {"07-04-01 08:15PM <DIR> public", "public", 1, 0, 0, 0, 2, utc(2001, 7, 4, 20, 15)},
        {"11-30-98 12:05AM 4315 old.htm", "old.htm", 0, 1, 1, 4315, 2, utc(1998, 11, 30, 0, 5)},
        {"04-27-00  12:09PM       <DIR>          licensed", "licensed", 1, 0, 0, 0, 2,
         utc(2000, 4, 27, 12, 9)},
        {"02-05-2013  09:41AM            123456 My Page.aspx", "My Page.aspx", 0, 1, 1, 123456, 2,
         utc(2013, 2, 5, 9, 41)},
    };
    for (const Case& c : cases)
        expectParsed(c);
}

TEST(ListingParser, EplfIdentifier) {
    const Parsed parsed = parse("+i8388621.48594,m825718503,r,s280,\tdjb.html");
    EXPECT_EQ(parsed.id, "8388621.48594");
}

TEST(ListingParser, RejectedLines) {
    const char* lines[] = {
        "",
        "-",
        "total 96",
        "total 0",
        // A time field of three bytes, or a walk that never reaches the name.
        "-rw-r--r-- 1 web staff 2048 Mar 3 1:5 index.html",
        "-rw-r--r-- 1 web staff 2048 Mar 3 14:05",
        "-rw-r--r-- 1 web staff 2048 Mar 3",
        // "Sept" is not a month: the line never finds one.
        "-rw-r--r-- 1 web staff 2048 Sept 3 14:05 index.html",
        // Empty names: they would name the listed folder itself.
        "-rw-r--r-- 1 web staff 2048 Mar 3 14:05 ",
        "drwxr-xr-x 2 web staff 512 Apr 9 2011 /",
        "lrwxrwxrwx 1 web staff 12 Feb 2 09:30  -> release-7",
        "+/,m825718503,\t",
        ";1 2 14-MAR-2005 10:42 [WEB]",
        "07-04-01 08:15PM <DIR> ",
        // Names with a slash would reach outside the listed folder.
        "-rw-r--r-- 1 web staff 2048 Mar 3 14:05 ../../etc/passwd",
        "-rw-r--r-- 1 web staff 2048 Mar 3 14:05 sub/file",
        "lrwxrwxrwx 1 web staff 12 Feb 2 09:30 a/b -> c",
        "+r,\t../escape",
        "07-04-01 08:15PM 12 ..\\../x/y",
        "A/B.TXT;1 2 14-MAR-2005 10:42 [WEB]",
        // EPLF without its TAB.
        "+i1234.5678,m1262304000,/, docs",
        // VMS lines that end early or have no month.
        "ARCHIVE.DIR;1 2 14-MAR-2005",
        "ARCHIVE.DIR;1 2 14-XYZ-2005 10:42 [WEB]",
        "ARCHIVE.DIR;1",
        "ARCHIVE.DIR;1 2",
        "ARCHIVE.DIR;1 2 14-MAR-2005 10:42",
        // MS-DOS lines that end early.
        "07-04-01 08:15PM <DIR>",
        "07-04-01 08:15PM",
        "07-04-01 08:15",
        "07-04-01",
        "12345",
        // No form at all.
        "Total of 12 files",
        "226 Transfer complete",
    };
    for (const char* line : lines) {
        SCOPED_TRACE(line);
        const Parsed parsed = parse(line);
        EXPECT_EQ(parsed.accepted, 0);
        // A rejected line leaves the record cleared.
        EXPECT_EQ(parsed.name, "");
        EXPECT_EQ(parsed.mayEnter + parsed.mayRetrieve + parsed.sizeKind + parsed.timeKind, 0);
        EXPECT_EQ(parsed.size, 0);
        EXPECT_EQ(parsed.time, 0);
    }
}

TEST(ListingParser, DatesWithoutAYearAreGuessedAroundNow) {
    struct DateCase {
        int64_t now;
        const char* date;
        int64_t expected;
    };
    const DateCase cases[] = {
        // Up to 15 days ahead stays in this year, in the near future.
        {june15, "Jun 30 10:00", utc(2026, 6, 30, 10, 0)},
        {june15, "Jun 29 10:00", utc(2026, 6, 29, 10, 0)},
        {june15, "Jun 15 13:00", utc(2026, 6, 15, 13, 0)},
        // Further ahead goes back a year.
        {june15, "Jul 1 10:00", utc(2025, 7, 1, 10, 0)},
        {june15, "Dec 31 23:59", utc(2025, 12, 31, 23, 59)},
        {june15, "Jan 1 00:00", utc(2026, 1, 1, 0, 0)},
        // Late in the year a date from early this year that is more than 350 days old moves
        // to the next year.
        {utc(2026, 12, 31, 12, 0), "Jan 10 08:00", utc(2027, 1, 10, 8, 0)},
        {utc(2026, 12, 31, 12, 0), "Jan 20 08:00", utc(2026, 1, 20, 8, 0)},
        // Early in the year, last December is the previous year.
        {utc(2027, 1, 3, 9, 0), "Dec 30 17:45", utc(2026, 12, 30, 17, 45)},
        {utc(2027, 1, 3, 9, 0), "Jan 18 17:45", utc(2027, 1, 18, 17, 45)},
        {utc(2027, 1, 3, 9, 0), "Jan 19 17:45", utc(2026, 1, 19, 17, 45)},
        // A leap day in a year that has none rolls over to 1 March.
        {utc(2027, 6, 1), "Feb 29 12:00", utc(2027, 3, 1, 12, 0)},
        {utc(2028, 6, 1), "Feb 29 12:00", utc(2028, 2, 29, 12, 0)},
    };
    for (const DateCase& c : cases) {
        const std::string line = std::string("-rw-r--r-- 1 web staff 1 ") + c.date + " x";
        SCOPED_TRACE(
            line + " at " +
            QDateTime::fromSecsSinceEpoch(c.now, Qt::UTC).toString(Qt::ISODate).toStdString());
        const Parsed parsed = parse(line, c.now);
        ASSERT_EQ(parsed.accepted, 1);
        EXPECT_EQ(parsed.timeKind, ListingTimeRemoteMinute);
        EXPECT_EQ(parsed.time, c.expected);
    }
}

TEST(ListingParser, DaysFromCivil) {
    struct DayCase {
        int64_t year, month, day;
        QDate date;
    };
    const DayCase cases[] = {
        {1970, 0, 1, QDate(1970, 1, 1)},
        {1969, 11, 31, QDate(1969, 12, 31)},
        {2000, 1, 29, QDate(2000, 2, 29)},
        {1900, 2, 1, QDate(1900, 3, 1)},
        {1900, 1, 29, QDate(1900, 3, 1)},
        {2038, 0, 19, QDate(2038, 1, 19)},
        {2400, 11, 31, QDate(2400, 12, 31)},
        {1601, 0, 1, QDate(1601, 1, 1)},
        // Months outside 0 to 11 carry into the year.
        {2025, 12, 1, QDate(2026, 1, 1)},
        {2025, -1, 1, QDate(2024, 12, 1)},
    };
    for (const DayCase& c : cases) {
        SCOPED_TRACE(c.date.toString(Qt::ISODate).toStdString());
        EXPECT_EQ(listingDaysFromCivil(c.year, c.month, c.day),
                  QDateTime(c.date, QTime(0, 0), Qt::UTC).toSecsSinceEpoch());
    }
}

TEST(ListingParser, ReadsOnlyTheGivenBytes) {
    const std::string lines[] = {
        "-rw-r--r-- 1 web staff 2048 Mar 3 14:05 index.html",
        "lrwxrwxrwx 1 web staff 12 Feb 2 09:30 current -> release-7",
        "- [RWCEAFMS] admin 2210 Oct 5 11:20    notes.txt",
        "drwxr-xr-x folder 4 Jun 1 2008 assets/",
        "+i1234.5678,m1262304000,/,s12,\tdocs",
        "ARCHIVE.DIR;1 2 14-MAR-2005 10:42 [WEB] (RWE,RWE,RE,RE)",
        "07-04-01 08:15PM <DIR> public",
        "11-30-98 12:05AM 4315 old.htm",
    };
    // Every prefix must parse the same whatever follows it in memory.
    for (const std::string& line : lines) {
        for (size_t length = 0; length <= line.size(); ++length) {
            SCOPED_TRACE(line.substr(0, length));
            std::string first = line.substr(0, length) + " -> x;1 AM\t/,:-";
            std::string second = line.substr(0, length) + std::string(16, '\0');
            ListingLineInfo a, b;
            const int acceptedA = parseListingLine(&a, first.data(), int(length), june15);
            const int acceptedB = parseListingLine(&b, second.data(), int(length), june15);
            ASSERT_EQ(acceptedA, acceptedB);
            EXPECT_EQ(a.nameLength, b.nameLength);
            if (a.name && b.name) {
                EXPECT_EQ(a.name - first.data(), b.name - second.data());
                EXPECT_LE(a.name - first.data() + a.nameLength, ptrdiff_t(length));
            }
            EXPECT_EQ(a.size, b.size);
            EXPECT_EQ(a.time, b.time);
            EXPECT_EQ(a.mayEnter, b.mayEnter);
            EXPECT_EQ(a.link, b.link);
        }
    }
}

TEST(ListingParser, GarbageNumbersDoNotBreakTheParser) {
    // Digits far beyond any real size or date still give an answer.
    const std::string huge(60, '9');
    const Parsed sized = parse("-rw-r--r-- 1 web staff " + huge + " Mar 3 14:05 x");
    EXPECT_EQ(sized.accepted, 1);
    const Parsed dated = parse("-rw-r--r-- 1 web staff 1 Mar " + huge + " " + huge + " x");
    EXPECT_EQ(dated.accepted, 1);
    EXPECT_EQ(
        parse(huge + "-" + huge + "-" + huge + " " + huge + ":" + huge + "PM <DIR> d").accepted, 1);
}

ConnectionItemAttributes record(const QString& name, const char* type, std::optional<int64_t> size,
                                std::optional<int64_t> time, bool link = false,
                                bool isLink = false) {
    ConnectionItemAttributes attributes;
    attributes.name = name;
    attributes.type = QString::fromLatin1(type);
    attributes.size = size;
    if (time)
        attributes.mdate = QDateTime::fromSecsSinceEpoch(*time, Qt::UTC);
    if (link)
        attributes.link = QString("");
    attributes.isLink = isLink;
    return attributes;
}

void expectRecords(const QList<ConnectionItemAttributes>& actual,
                   const QList<ConnectionItemAttributes>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (qsizetype i = 0; i < actual.size(); ++i) {
        SCOPED_TRACE(expected[i].name.toStdString());
        EXPECT_EQ(actual[i].name, expected[i].name);
        EXPECT_EQ(actual[i].type, expected[i].type);
        EXPECT_EQ(actual[i].size, expected[i].size);
        EXPECT_EQ(actual[i].mdate, expected[i].mdate);
        EXPECT_EQ(actual[i].link.has_value(), expected[i].link.has_value());
        EXPECT_EQ(actual[i].isLink, expected[i].isLink);
    }
}

TEST(ListingAttributes, UnixServerListing) {
    const QByteArray listing =
        "total 48\n"
        "drwxr-xr-x    5 1001     1001         4096 Jun 10 09:12 .\n"
        "drwxr-xr-x   12 0        0            4096 Jan 02  2024 ..\n"
        "-rw-r--r--    1 1001     1001          612 Mar 14 16:40 .htaccess\n"
        "drwxr-xr-x    2 1001     1001         4096 Jun 10 09:12 css\n"
        "-rw-r--r--    1 1001     1001        18342 May 30 22:05 index.html\n"
        "lrwxrwxrwx    1 1001     1001           11 Feb 28  2025 www -> public_html\n"
        "lrwxr-xr-x    1 1001     1001            2 Feb 28  2025 up -> ..\n"
        "-rw-r--r--    1 1001     1001            0 Nov  3  2023 caf\xc3\xa9.txt\n"
        "-rw-r--r--    1 1001     1001            0 Nov  3  2023 na\xefve.txt\n"
        "-rw-r--r--    1 1001     1001            9 Nov  3  2023 a/b\n"
        "-rw-r--r--    1 1001     1001            3 Nov  3  2023 ends with cr\r\n";
    expectRecords(connectionItemAttributesFromListing(listing, june15),
                  {
                      record(".htaccess", "file", 612, utc(2026, 3, 14, 16, 40)),
                      record("css", "directory", 4096, utc(2026, 6, 10, 9, 12)),
                      record("index.html", "file", 18342, utc(2026, 5, 30, 22, 5)),
                      record("www", "directory", 11, utc(2025, 2, 28), true, true),
                      record("up", "directory", 2, utc(2025, 2, 28), false, true),
                      record(QString::fromUtf8("café.txt"), "file", 0, utc(2023, 11, 3)),
                      record(QString("na") + QChar(0xDCEF) + "ve.txt", "file", 0, utc(2023, 11, 3)),
                      record("ends with cr", "file", 3, utc(2023, 11, 3)),
                  });
}

TEST(ListingAttributes, WindowsVmsAndEplfListings) {
    expectRecords(
        connectionItemAttributesFromListing("04-27-00  09:09PM       <DIR>          licensed\r\n"
                                            "07-18-00  10:16AM       <DIR>          pub\r\n"
                                            "04-14-00  03:47PM                  589 readme.htm\r\n",
                                            june15),
        {
            record("licensed", "directory", std::nullopt, utc(2000, 4, 27, 21, 9)),
            record("pub", "directory", std::nullopt, utc(2000, 7, 18, 10, 16)),
            record("readme.htm", "file", 589, utc(2000, 4, 14, 15, 47)),
        });
    expectRecords(
        connectionItemAttributesFromListing(
            "Directory DISK$WEB:[WWW]\n"
            "\n"
            "CGI-BIN.DIR;1             1   9-FEB-2011 14:02:11  [WEB]  (RWE,RWE,RE,RE)\n"
            "INDEX.HTML;12             8  21-DEC-2010 09:30:00  [WEB]  (RWED,RWED,RE,RE)\n"
            "\n"
            "Total of 2 files, 9 blocks.\n",
            june15),
        {
            record("CGI-BIN", "directory", std::nullopt, utc(2011, 2, 9, 14, 2)),
            record("INDEX.HTML", "file", std::nullopt, utc(2010, 12, 21, 9, 30)),
        });
    // A LF CR pair is one line end; a zero time gives no date.
    expectRecords(
        connectionItemAttributesFromListing("+i8388621.29609,m824255902,/,\tdev\n\r"
                                            "+i8388621.44468,m839956783,r,s10376,\tRFC959.txt\n\r"
                                            "+r,s0,\tempty\n\r",
                                            june15),
        {
            record("dev", "directory", std::nullopt, 824255902),
            record("RFC959.txt", "file", 10376, 839956783),
            record("empty", "file", 0, std::nullopt),
        });
}

TEST(ListingAttributes, ServerNamesRoundTripToTheirBytes) {
    struct NameCase {
        QByteArray bytes;
        QString expected;
    };
    const NameCase cases[] = {
        {"index.html", "index.html"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", QString::fromUtf8("café € 😀")},
        {"\xef\xbb\xbf"
         "bom",
         QString(QChar(0xFEFF)) + "bom"},
        // Bytes outside valid UTF-8 are kept one by one.
        {"na\xefve", QString("na") + QChar(0xDCEF) + "ve"},
        {"\xff\xfe", QString(QChar(0xDCFF)) + QChar(0xDCFE)},
        {"\xc0\xaf", QString(QChar(0xDCC0)) + QChar(0xDCAF)},                     // overlong "/"
        {"\xed\xa0\x80", QString(QChar(0xDCED)) + QChar(0xDCA0) + QChar(0xDC80)}, // surrogate
        {"\xf4\x90\x80\x80",
         QString(QChar(0xDCF4)) + QChar(0xDC90) + QChar(0xDC80) + QChar(0xDC80)},
        {"cut\xe2\x82", QString("cut") + QChar(0xDCE2) + QChar(0xDC82)},
        {"\x80mixed\xc3\xa9", QString(QChar(0xDC80)) + QString::fromUtf8("mixedé")},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.bytes.toHex().toStdString());
        ListingLineInfo info;
        info.name = c.bytes.constData();
        info.nameLength = int(c.bytes.size());
        const QString name = listingEntryName(info);
        EXPECT_EQ(name, c.expected);
        EXPECT_EQ(serverStringFromBytes(c.bytes), c.expected);
        EXPECT_EQ(serverBytesFromString(name), c.bytes);
    }
    // Plain strings encode as UTF-8, and a genuine surrogate pair is not taken for bytes.
    const char32_t high[] = {0x10C80};
    EXPECT_EQ(serverBytesFromString(QString::fromUcs4(high, 1)), QByteArray("\xf0\x90\xb2\x80"));
    EXPECT_EQ(serverBytesFromString(QString::fromUtf8("Bob's page.html")), "Bob's page.html");
}

TEST(ListingAttributes, EveryByteStringRoundTrips) {
    // All strings of up to two bytes, then longer ones from a fixed seed, biased towards the
    // bytes that start and continue multi-byte sequences.
    std::vector<QByteArray> samples;
    for (int a = 0; a < 256; ++a) {
        samples.push_back(QByteArray(1, char(a)));
        for (int b = 0; b < 256; ++b)
            samples.push_back(QByteArray{char(a), char(b)});
    }
    uint32_t seed = 2026;
    const char pool[] = {'\x80', '\xbf', '\xc2', '\xdf', '\xe0', '\xed', '\xef', '\xf0',
                         '\xf4', '\xf5', '\xa0', '\x9f', 'a',    '\0',   '\xff', '\x90'};
    for (int i = 0; i < 20000; ++i) {
        QByteArray bytes;
        for (int length = 3 + int(i % 6); length > 0; --length) {
            seed = seed * 1664525u + 1013904223u;
            bytes += pool[(seed >> 16) % sizeof pool];
        }
        samples.push_back(bytes);
    }
    for (const QByteArray& bytes : samples) {
        const QString decoded = serverStringFromBytes(bytes);
        ASSERT_EQ(serverBytesFromString(decoded), bytes) << bytes.toHex().toStdString();
        // Valid UTF-8 reads as the standard decoder reads it.
        if (QString::fromUtf8(bytes).toUtf8() == bytes && !bytes.startsWith("\xef\xbb\xbf")) {
            ASSERT_EQ(decoded, QString::fromUtf8(bytes)) << bytes.toHex().toStdString();
        }
    }
}

TEST(ListingAttributes, EmptyListing) {
    EXPECT_TRUE(connectionItemAttributesFromListing(QByteArray()).isEmpty());
    EXPECT_TRUE(connectionItemAttributesFromListing("total 0\n").isEmpty());
}

} // namespace
