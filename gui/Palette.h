#pragma once

#include "gui/Graphics.h"

namespace gui {

// The toolkit's colours, fonts and metrics, in one place so that every control looks of a piece.
namespace palette {
inline constexpr Colour kBackground = Colour::rgb(0x1b1f24);
inline constexpr Colour kPanel = Colour::rgb(0x252a31);
inline constexpr Colour kPanelRaised = Colour::rgb(0x2f353d);
inline constexpr Colour kBorder = Colour::rgb(0x3d444e);
inline constexpr Colour kText = Colour::rgb(0xdde2e8);
inline constexpr Colour kTextDim = Colour::rgb(0x8d96a1);
inline constexpr Colour kTextDisabled = Colour::rgb(0x5a626c);
inline constexpr Colour kAccent = Colour::rgb(0x4cb8cf);      // values, selections
inline constexpr Colour kModulation = Colour::rgb(0xf0a44a);  // modulation, warnings
inline constexpr Colour kTrack = Colour::rgb(0x171a1e);       // the unfilled part of a value
inline constexpr Colour kHighlight = Colour::rgb(0xffffff, 0.08f);
inline constexpr Colour kShadow = Colour::rgb(0x000000, 0.45f);

inline constexpr Font kSmall{9.5f, false};
inline constexpr Font kNormal{11.0f, false};
inline constexpr Font kBold{11.0f, true};
inline constexpr Font kTitle{13.0f, true};

inline constexpr float kRadius = 3.0f;
inline constexpr int kRowHeight = 20;
inline constexpr int kPadding = 6;
}  // namespace palette

}  // namespace gui
