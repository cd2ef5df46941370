#pragma once

#include <cstdint>

union _XEvent;

namespace gui::x11 {

// Lets a host adapter look at each input event before the tree does and add flags of its own
// (modifier::kHostModifier) to the event's modifiers.
class X11MessageHook {
public:
    virtual ~X11MessageHook() = default;
    virtual uint32_t extraModifiers(const _XEvent& event) = 0;
};

}  // namespace gui::x11
