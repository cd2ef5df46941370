#pragma once

// Xlib and GLX for the X11 layer. Xlib's `None` macro would clash with the toolkit's Key::None, so
// it is replaced by a constant here; include this instead of the X11 headers.
#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#undef None
#undef Status

namespace gui::x11 {
inline constexpr unsigned long kNone = 0L;
}  // namespace gui::x11
