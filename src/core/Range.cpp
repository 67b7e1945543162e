#include "core/Range.h"

static_assert(NSIntersectionRange(NSMakeRange(0, 5), NSMakeRange(3, 5)) == NSMakeRange(3, 2));
static_assert(NSIntersectionRange(NSMakeRange(0, 2), NSMakeRange(3, 5)) == NSMakeRange(0, 0));
static_assert(NSUnionRange(NSMakeRange(0, 2), NSMakeRange(3, 5)) == NSMakeRange(0, 8));
