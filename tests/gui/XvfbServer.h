#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gui/Geometry.h"
#include "gui/x11/Xlib.h"

namespace gui::test {

// A private X server for one test: Xvfb picks a free display number and writes it to a pipe
// (-displayfd), so tests running side by side never meet. Stopped when destroyed.
class XvfbServer {
public:
    // False when Xvfb is not installed (the test skips).
    static bool available();

    explicit XvfbServer(const std::vector<std::string>& extraArgs = {});
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;
    ~XvfbServer();

    bool running() const { return !display_.empty(); }
    // ":N", empty when the server did not start.
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// A rectangle of a window as 0xRRGGBB pixels; empty when it cannot be read.
std::vector<uint32_t> windowPixels(Display* display, Window window, const Rect& r);

}  // namespace gui::test
