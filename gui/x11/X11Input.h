#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "gui/Events.h"

namespace gui::x11 {

// Translations of X input values into the toolkit's, free of any display.

// Modifier flags of an X key/button state: Shift 1, Alt (Mod1) 2, Ctrl 4, buttons 1/3/2 as
// 8/16/32, Super (Mod4) 256.
uint32_t modifiersFromState(unsigned int state);
// The flag of a pressed button (1 left 8, 2 middle 32, 3 right 16), 0 for the others.
uint32_t buttonFlag(unsigned int button);
// Wheel notches of buttons 4 (up), 5 (down), 6 (left) and 7 (right); false for other buttons.
bool wheelFromButton(unsigned int button, float& wheelX, float& wheelY);

Key keyFromKeysym(unsigned long keysym);
// UTF-8 of a printable keysym (Latin-1 and Unicode keysyms), empty otherwise.
std::string textFromKeysym(unsigned long keysym);

// The scale from the resource string's Xft.dpi (dpi / 96 to the nearest quarter, 1 to 4); 1 when
// absent or unreadable.
float scaleFromResources(const char* resources);

// The integer setting `name` (e.g. "Net/DoubleClickTime") of an XSETTINGS property block; empty
// when it is missing, of another type, or the block is malformed.
std::optional<int32_t> xsettingsInteger(const uint8_t* data, size_t size, std::string_view name);

}  // namespace gui::x11
