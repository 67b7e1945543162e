#include "text/KTTextLayoutCache.h"

#include "text/KTTextLayoutFrame.h"

namespace {

// Everything the cache holds or is searched with is a frame (probes are frames too).
const KTTextLayoutFrame* valueOf(const KTObject* object) {
    return static_cast<const KTTextLayoutFrame*>(object);
}

} // namespace

KTTextLayoutCache::KTTextLayoutCache() {
    setComparatorFunction(rangeComparatorFunction);
}

int KTTextLayoutCache::rangeComparatorFunction(const KTObject* a, const KTObject* b, bool reverse) {
    const NSRange first = valueOf(a)->rangeValue();
    const NSRange second = valueOf(b)->rangeValue();
    const uint32_t firstKey = reverse ? first.location + first.length : first.location;
    const uint32_t secondKey = reverse ? second.location + second.length : second.location;
    return firstKey > secondKey ? 1 : -1;
}

int KTTextLayoutCache::rectComparatorFunction(const KTObject* a, const KTObject* b, bool reverse) {
    const std::optional<QRectF> second = valueOf(b)->CGRectValue();
    if (!second)
        return 1;
    const std::optional<QRectF> first = valueOf(a)->CGRectValue();
    if (!first)
        return -1;
    const qreal firstKey = reverse ? first->bottom() : first->top();
    const qreal secondKey = reverse ? second->bottom() : second->top();
    if (firstKey == secondKey)
        return 0;
    return firstKey < secondKey ? -1 : 1;
}
