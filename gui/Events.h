#pragma once

#include <cstdint>
#include <string>

#include "gui/Geometry.h"

namespace gui {

// A mouse event in the receiving component's own coordinates (logical pixels).
struct MouseEvent {
    Point position;
    uint32_t modifiers = 0;  // gui::modifier flags
    int64_t time = 0;        // milliseconds, from the event's own time stamp
    float wheelX = 0;        // wheel notches, positive right
    float wheelY = 0;        // wheel notches, positive up

    MouseEvent at(Point p) const {
        MouseEvent e = *this;
        e.position = p;
        return e;
    }
};

// Keys the toolkit acts on; others arrive as text.
enum class Key { None, Enter, Escape, Tab, Backspace, Delete, Left, Right, Up, Down, Home, End };

struct KeyEvent {
    Key key = Key::None;
    std::string text;  // UTF-8 of a printable key
    uint32_t modifiers = 0;
    int64_t time = 0;
};

}  // namespace gui
