#pragma once

struct _XDisplay;

namespace gui::x11 {

// Keeps the X errors of one display connection from ending the process while it lives: Xlib's
// default handler exits, which in a plug-in is the host's end. A host may destroy its window, and
// ours with it, while our requests are in flight, so an editor's connection is guarded for its
// whole life. One process-wide handler is installed while any display is guarded; errors of other
// displays still reach the handler it replaced, which is restored when the last guard goes.
class XErrorGuard {
public:
    explicit XErrorGuard(_XDisplay* display);
    XErrorGuard(const XErrorGuard&) = delete;
    XErrorGuard& operator=(const XErrorGuard&) = delete;
    ~XErrorGuard();

    // The first error code since the last reset (0 when none); requests still in flight count
    // only after a sync.
    int firstError() const;
    void reset();

private:
    int slot_;
};

// Checks requests that may fail (a foreign or vanished window): the display is guarded while
// the trap lives, and check() syncs and reports the first error since the trap was set.
class XErrorTrap {
public:
    explicit XErrorTrap(_XDisplay* display);
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;
    ~XErrorTrap();
    int check();

private:
    _XDisplay* display_;
    XErrorGuard guard_;
};

}  // namespace gui::x11
