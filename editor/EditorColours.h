#pragma once

#include "gui/Graphics.h"

// One accent colour per section family, so that the eye finds a section by its colour.
namespace editor_colours {
inline constexpr gui::Colour kOscillators = gui::Colour::rgb(0x4cb8cf);
inline constexpr gui::Colour kFilters = gui::Colour::rgb(0xe8944a);
inline constexpr gui::Colour kEnvelopes = gui::Colour::rgb(0x6cc489);
inline constexpr gui::Colour kXlfos = gui::Colour::rgb(0xa58bf0);
inline constexpr gui::Colour kDelay = gui::Colour::rgb(0x5a9cf0);
inline constexpr gui::Colour kFollowers = gui::Colour::rgb(0xe0c050);
inline constexpr gui::Colour kMidiSources = gui::Colour::rgb(0xe57aa8);
inline constexpr gui::Colour kXyPads = gui::Colour::rgb(0xe06a6a);
inline constexpr gui::Colour kMaster = gui::Colour::rgb(0xc8ccd2);
}  // namespace editor_colours
