#pragma once

#include "text/KTAATree.h"

// The laid-out frames, ordered by their character ranges. Frames never overlap and lie one
// under the other, so the same tree also answers searches by vertical position.
class KTTextLayoutCache : public KTMutableAATree {
public:
    KTTextLayoutCache();

    // By range start (range end with reverse on). Never answers 0: two frames are equal only
    // when they are the same object.
    static int rangeComparatorFunction(const KTObject* a, const KTObject* b, bool reverse);
    // By rectangle top (bottom with reverse on); 1 when the second has no rectangle.
    static int rectComparatorFunction(const KTObject* a, const KTObject* b, bool reverse);
};
