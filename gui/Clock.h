#pragma once

#include <cstdint>

namespace gui {

// Milliseconds for drags, clicks and animations. The editor's clock reads the time stamp of the
// event being handled (X11 stamps every input event), so gestures replay exactly; tests inject
// their own.
class Clock {
public:
    virtual ~Clock() = default;
    virtual int64_t milliseconds() const = 0;
};

// A clock set from outside: by the event loop from each event's stamp, or by a test.
class ManualClock : public Clock {
public:
    int64_t milliseconds() const override { return now_; }
    void set(int64_t ms) { now_ = ms; }
    void advance(int64_t ms) { now_ += ms; }

private:
    int64_t now_ = 0;
};

// The process-wide event clock used by default; the window's event loop sets it.
ManualClock& eventClock();

// No system setting for it on X11: the desktop's XSETTINGS value replaces it where published.
inline constexpr int32_t kDefaultDoubleClickMs = 400;
int32_t doubleClickTime();
void setDoubleClickTime(int32_t ms);

}  // namespace gui
