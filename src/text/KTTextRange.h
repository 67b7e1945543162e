#pragma once

#include "core/Range.h"

#include <algorithm>
#include <cstdint>

// One place in the text: a UTF-16 index.
struct KTTextPosition {
    uint32_t position = 0;

    friend constexpr bool operator==(const KTTextPosition&, const KTTextPosition&) = default;
};

// A stretch of text between two positions (start ≤ end).
class KTTextRange {
public:
    constexpr KTTextRange() = default;
    constexpr KTTextRange(KTTextPosition start, KTTextPosition end) : _start(start), _end(end) {}
    static constexpr KTTextRange fromRange(NSRange range) {
        return KTTextRange({range.location}, {range.location + range.length});
    }

    constexpr KTTextPosition start() const { return _start; }
    constexpr KTTextPosition end() const { return _end; }
    constexpr NSRange range() const {
        return NSMakeRange(_start.position, _end.position - _start.position);
    }
    constexpr bool isEmpty() const { return _start.position == _end.position; }
    constexpr uint32_t length() const { return _end.position - _start.position; }

    friend constexpr bool operator==(const KTTextRange&, const KTTextRange&) = default;

private:
    KTTextPosition _start;
    KTTextPosition _end;
};

// Directions of the text-input operations, numbered as the input system numbers them.
enum class KTTextLayoutDirection : int32_t { Right = 2, Left = 3, Up = 4, Down = 5 };
enum class KTTextStorageDirection : int32_t { Forward = 0, Backward = 1 };
