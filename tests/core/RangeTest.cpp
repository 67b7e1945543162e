#include "core/Range.h"

#include <gtest/gtest.h>

TEST(Range, IntersectionUnionAndMembership) {
    struct Case {
        NSRange a, b, intersection, unionRange;
    };
    const Case cases[] = {
        {{0, 5}, {3, 5}, {3, 2}, {0, 8}},
        {{0, 2}, {3, 5}, {0, 0}, {0, 8}},
        {{4, 0}, {0, 10}, {0, 0}, {0, 10}},
        {{10, 5}, {12, 1}, {12, 1}, {10, 5}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NSIntersectionRange(c.a, c.b), c.intersection);
        EXPECT_EQ(NSUnionRange(c.a, c.b), c.unionRange);
    }
    EXPECT_TRUE(NSLocationInRange(3, NSMakeRange(3, 1)));
    EXPECT_FALSE(NSLocationInRange(4, NSMakeRange(3, 1)));
    EXPECT_FALSE(NSLocationInRange(3, NSMakeRange(3, 0)));
}
