// Feeds arbitrary bytes to parseListingLine as one line. The input buffer is exactly the line,
// so AddressSanitizer reports any read past its end; the checks below catch a result that
// points outside the line or breaks the promises callers rely on.

#include "connections/ListingParser.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

namespace {

void require(bool condition) {
    if (!condition)
        __builtin_trap();
}

bool inside(const char* start, int length, const char* line, size_t size) {
    return start >= line && length >= 0 && start + length <= line + size;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16)
        return 0;
    const char* line = reinterpret_cast<const char*>(data);
    // A fixed clock keeps runs reproducible; the second call uses the real one.
    for (const int64_t now : {int64_t(1781524800), int64_t(-1)}) {
        ListingLineInfo info;
        const int accepted = now < 0 ? parseListingLine(&info, line, int(size))
                                     : parseListingLine(&info, line, int(size), now);
        require(accepted == 0 || accepted == 1);
        if (!accepted) {
            require(info.name == nullptr && info.nameLength == 0);
            continue;
        }
        require(info.nameLength > 0 && inside(info.name, info.nameLength, line, size));
        require(std::memchr(info.name, '/', size_t(info.nameLength)) == nullptr);
        require(info.mayEnter == 0 || info.mayEnter == 1);
        require(info.mayRetrieve == 0 || info.mayRetrieve == 1);
        require(info.link == 0 || info.link == 1);
        require(info.isLink == 0 || info.isLink == 1);
        require(!info.link || info.isLink);
        if (info.idKind)
            require(inside(info.id, info.idLength, line, size));
    }
    return 0;
}
