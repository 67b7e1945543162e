#include "platform/Animations.h"

#include <QtGlobal>

namespace {
bool& flag() {
    static bool enabled = qEnvironmentVariableIntValue("QUORVEL_NO_ANIMATIONS") == 0;
    return enabled;
}
} // namespace

bool animationsEnabled() {
    return flag();
}

void setAnimationsEnabled(bool enabled) {
    flag() = enabled;
}
