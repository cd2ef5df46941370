#include "gui/ValueDragMapper.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "gui/Modifiers.h"

namespace gui {
namespace {

int32_t takeWhole(float value, float& remainder) {
    const float whole = std::trunc(value);
    remainder = value - whole;
    return static_cast<int32_t>(whole);
}

}  // namespace

void ValueDragMapper::press(Point p) {
    resetDrag();
    pressX_ = p.x;
    pressY_ = p.y;
}

void ValueDragMapper::resetDrag() {
    dragRemainder_ = 0;
    wheelRemainder_ = 0;
    lastWheelDirection_ = 0;
    timerStart_ = clock_->milliseconds();
}

float ValueDragMapper::accelerate(float delta) {
    const int64_t now = clock_->milliseconds();
    const int64_t elapsed = std::max(kMinIntervalMs, now - timerStart_);
    timerStart_ = now;
    const float speed = std::min(kFullSpeed, std::abs(delta) / static_cast<float>(elapsed));
    const float factor = fineFactor + (speed * 10.0f) * (1.0f - fineFactor);
    return delta * factor;
}

int32_t ValueDragMapper::mapDrag(const MouseEvent& /*e*/, Point mouse, float delta,
                                 uint32_t modifiers) {
    if (pressPending()) {
        const bool near = std::abs(mouse.x - pressX_) < kClickDistance &&
                          std::abs(mouse.y - pressY_) < kClickDistance;
        if (near && clock_->milliseconds() - timerStart_ <= doubleClickTime()) return 0;
        pressX_ = pressY_ = -1;
    }
    if (ModifierTable::functionsOf(modifiers) & function::kFine) {
        delta *= fineFactor;
    } else if (accelerationEnabled && stepCount >= kMinAcceleratedSteps) {
        delta = accelerate(delta);
    }
    const float range =
        static_cast<float>(std::max(1, std::min(pixelRange, stepCount * kPixelsPerStepAtMost)));
    return takeWhole(static_cast<float>(stepCount) * delta / range + dragRemainder_,
                     dragRemainder_);
}

int32_t ValueDragMapper::mapRelative(float amount, uint32_t modifiers) {
    if (amount == 0) return 0;
    const int32_t direction = amount > 0 ? 1 : -1;
    // Turning back drops what was left over in the other direction.
    if (direction != lastWheelDirection_) wheelRemainder_ = 0;
    lastWheelDirection_ = direction;
    const bool fine = (ModifierTable::functionsOf(modifiers) & function::kFine) != 0;
    float steps;
    if (stepCount < kMinAcceleratedSteps) {
        // Few steps: one per notch, a fine notch is a fraction.
        steps = amount * (fine ? fineFactor : 1.0f);
    } else {
        steps = amount * static_cast<float>(stepCount) / kNotchesPerRange;
        if (fine) steps *= fineFactor;
    }
    return takeWhole(steps + wheelRemainder_, wheelRemainder_);
}

}  // namespace gui
