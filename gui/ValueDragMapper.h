#pragma once

#include <cstdint>

#include "gui/Clock.h"
#include "gui/Events.h"

namespace gui {

// Turns mouse movement into integer value steps: click detection, fine adjustment and speed-
// dependent acceleration, with the fraction of a step carried to the next event.
class ValueDragMapper {
public:
    static constexpr float kDefaultFineFactor = 0.1f;
    static constexpr int32_t kDefaultPixelRange = 200;
    static constexpr int32_t kDefaultStepCount = 4096;
    // A press stays a possible click while the mouse is closer than this on both axes.
    static constexpr int32_t kClickDistance = 5;
    static constexpr int32_t kMinAcceleratedSteps = 100;
    static constexpr int32_t kPixelsPerStepAtMost = 20;
    static constexpr int64_t kMinIntervalMs = 20;
    static constexpr float kFullSpeed = 0.1f;  // pixels per millisecond
    // Relative changes (wheel): notches over the full range, above kMinAcceleratedSteps.
    static constexpr float kNotchesPerRange = 50.0f;

    explicit ValueDragMapper(const Clock& clock = eventClock()) : clock_(&clock) {}

    bool accelerationEnabled = true;
    float fineFactor = kDefaultFineFactor;
    int32_t pixelRange = kDefaultPixelRange;
    int32_t stepCount = kDefaultStepCount;

    // A button press at `p`: the drag starts over and may still turn out a click.
    void press(Point p);
    // Steps to move for a drag event at `mouse` that moved `delta` pixels along the drag axis.
    int32_t mapDrag(const MouseEvent& e, Point mouse, float delta, uint32_t modifiers);
    // Steps for a relative change (wheel notches and the like).
    int32_t mapRelative(float amount, uint32_t modifiers);
    // Clears the remainders and restarts the timer.
    void resetDrag();
    // True while the press may still become a click.
    bool pressPending() const { return pressX_ >= 0; }

    float accelerate(float delta);

private:
    const Clock* clock_;
    float dragRemainder_ = 0;
    int32_t pressX_ = -1, pressY_ = -1;
    int32_t lastWheelDirection_ = 0;
    float wheelRemainder_ = 0;
    int64_t timerStart_ = 0;
};

}  // namespace gui
