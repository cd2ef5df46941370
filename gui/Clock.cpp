#include "gui/Clock.h"

namespace gui {

ManualClock& eventClock() {
    static ManualClock clock;
    return clock;
}

namespace {
int32_t gDoubleClickMs = kDefaultDoubleClickMs;
}

int32_t doubleClickTime() {
    return gDoubleClickMs;
}
void setDoubleClickTime(int32_t ms) {
    gDoubleClickMs = ms > 0 ? ms : kDefaultDoubleClickMs;
}

}  // namespace gui
