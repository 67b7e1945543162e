#pragma once

#include <algorithm>
#include <cstdint>

// A run of UTF-16 code units: every index in the program counts QString units.
constexpr uint32_t NSNotFound = 0x7fffffffu;

struct NSRange {
    uint32_t location = 0;
    uint32_t length = 0;

    constexpr uint32_t max() const { return location + length; }
    constexpr bool contains(uint32_t index) const { return index >= location && index < max(); }
    constexpr bool isNotFound() const { return location == NSNotFound; }
    friend constexpr bool operator==(const NSRange&, const NSRange&) = default;
};

constexpr NSRange NSMakeRange(uint32_t location, uint32_t length) {
    return NSRange{location, length};
}

constexpr uint32_t NSMaxRange(NSRange range) {
    return range.location + range.length;
}

constexpr bool NSLocationInRange(uint32_t location, NSRange range) {
    return range.contains(location);
}

// The overlap of two ranges; (0, 0) when they do not overlap, as the platform answers.
constexpr NSRange NSIntersectionRange(NSRange a, NSRange b) {
    const uint32_t start = std::max(a.location, b.location);
    const uint32_t end = std::min(NSMaxRange(a), NSMaxRange(b));
    if (end <= start)
        return NSRange{0, 0};
    return NSRange{start, end - start};
}

constexpr NSRange NSUnionRange(NSRange a, NSRange b) {
    const uint32_t start = std::min(a.location, b.location);
    const uint32_t end = std::max(NSMaxRange(a), NSMaxRange(b));
    return NSRange{start, end - start};
}
