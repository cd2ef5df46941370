#pragma once

#include <X11/Xlib.h>

namespace gui::x11 {

// Catches the X errors of one display while it lives: Xlib's default handler ends the process,
// which in a plug-in is the host. Installed only around calls that can fail; the previous handler
// is restored after a sync, and errors of other displays still reach it. One trap at a time in
// the process (the set-up of each window is short).
class XErrorTrap {
public:
    explicit XErrorTrap(Display* display);
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;
    ~XErrorTrap();

    // Syncs and reports the first error code since the trap was set (0 when none).
    int check();

private:
    Display* display_;
};

}  // namespace gui::x11
