#pragma once

#include "syntax/KTCharacterSet.h"

#include <QStringView>
#include <cstdint>

// A forward scanner over a string that skips nothing, with the few operations the colouring
// passes need. "scanUpTo..." answer whether anything was scanned; the location never leaves
// 0...length.
class KTScanner {
public:
    explicit KTScanner(QStringView string) : string_(string) {}

    uint32_t scanLocation() const { return location_; }
    void setScanLocation(uint32_t location) {
        location_ = location > length() ? length() : location;
    }
    bool isAtEnd() const { return location_ >= length(); }
    uint32_t length() const { return uint32_t(string_.size()); }
    QStringView string() const { return string_; }

    // Moves to the next occurrence of the marker, or to the end when there is none.
    bool scanUpToString(QStringView marker) {
        const uint32_t start = location_;
        if (isAtEnd())
            return false;
        const qsizetype found = marker.isEmpty() ? -1 : string_.indexOf(marker, start);
        location_ = found < 0 ? length() : uint32_t(found);
        return location_ > start;
    }

    bool scanUpToCharactersFromSet(const KTCharacterSet& set) {
        const uint32_t start = location_;
        const uint32_t n = length();
        const QChar* data = string_.data();
        while (location_ < n && !set.contains(data[location_]))
            ++location_;
        return location_ > start;
    }

    bool scanCharactersFromSet(const KTCharacterSet& set) {
        const uint32_t start = location_;
        const uint32_t n = length();
        const QChar* data = string_.data();
        while (location_ < n && set.contains(data[location_]))
            ++location_;
        return location_ > start;
    }

private:
    QStringView string_;
    uint32_t location_ = 0;
};
