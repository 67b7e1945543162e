// Times the parsing of a generated 100,000-line Unix listing, line by line and into records.

#include "connections/ListingAttributes.h"
#include "connections/ListingParser.h"

#include <QByteArray>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <time.h>
#include <vector>

namespace {

constexpr int lineCount = 100000;
constexpr double targetMs = 30.0;

QByteArray generateListing() {
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    QByteArray listing = "total 812345\n";
    listing.reserve(lineCount * 80);
    uint32_t seed = 12345;
    const auto next = [&seed]() { return seed = seed * 1664525u + 1013904223u; };
    char line[256];
    for (int i = 0; i < lineCount; ++i) {
        const uint32_t r = next();
        const char* month = months[r % 12];
        const int day = 1 + int((r >> 4) % 28);
        const unsigned long long size = (r >> 8) % 50000000ull;
        int n;
        switch (r % 5) {
        case 0:
            n = std::snprintf(
                line, sizeof line,
                "drwxr-xr-x    2 web      www          4096 %s %2d  20%02d folder-%d\n", month, day,
                int(r % 24), i);
            break;
        case 1:
            n = std::snprintf(line, sizeof line,
                              "lrwxrwxrwx    1 web      www            11 %s %2d %02d:%02d link-%d "
                              "-> target-%d\n",
                              month, day, int(r % 24), int((r >> 3) % 60), i, i);
            break;
        case 2:
            n = std::snprintf(line, sizeof line,
                              "-rw-r--r--    1 web      %llu %s %2d %02d:%02d no group %d.txt\n",
                              size, month, day, int(r % 24), int((r >> 3) % 60), i);
            break;
        default:
            n = std::snprintf(
                line, sizeof line,
                "-rw-r--r--    1 web      www      %10llu %s %2d %02d:%02d page-%d.html\n", size,
                month, day, int(r % 24), int((r >> 3) % 60), i);
            break;
        }
        listing.append(line, n);
    }
    return listing;
}

struct Timing {
    double bestMs;
    double medianMs;
};

double threadCpuMs() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Processor time of this thread, so that other programs sharing the machine weigh less on
// the figure; the best run is the one least disturbed.
template <typename Work> Timing time(int runs, Work work) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const double start = threadCpuMs();
        work();
        times.push_back(threadCpuMs() - start);
    }
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2]};
}

} // namespace

int main() {
    const QByteArray listing = generateListing();
    const int64_t now = int64_t(std::time(nullptr));

    long accepted = 0;
    const Timing lines = time(21, [&]() {
        accepted = 0;
        const char* const bytes = listing.constData();
        const qsizetype size = listing.size();
        qsizetype start = 0;
        while (start < size) {
            const char* end =
                static_cast<const char*>(std::memchr(bytes + start, '\n', size_t(size - start)));
            const qsizetype lineEnd = end ? end - bytes : size;
            ListingLineInfo info;
            accepted += parseListingLine(&info, bytes + start, int(lineEnd - start), now);
            start = lineEnd + 1;
        }
    });

    qsizetype recordCount = 0;
    const Timing records =
        time(21, [&]() { recordCount = connectionItemAttributesFromListing(listing, now).size(); });

    std::printf("listing of %d lines, %.1f MB; processor time, best (median) of 21 runs\n",
                lineCount, listing.size() / 1e6);
    std::printf(
        "parseListingLine over every line:    %6.2f ms (%6.2f), target %.0f ms, ratio %.2f\n",
        lines.bestMs, lines.medianMs, targetMs, lines.bestMs / targetMs);
    std::printf(
        "listing to ConnectionItemAttributes: %6.2f ms (%6.2f), target %.0f ms, ratio %.2f\n",
        records.bestMs, records.medianMs, targetMs, records.bestMs / targetMs);
    if (accepted != lineCount || recordCount != lineCount) {
        std::printf("wrong count: %ld lines accepted, %lld records\n", accepted,
                    static_cast<long long>(recordCount));
        return 1;
    }
    return 0;
}
