#pragma once

#include <string>

#include "gui/x11/Xlib.h"

namespace gui::x11 {

// The CLIPBOARD selection of one window: owned to offer text, converted to read another
// program's.
class X11Clipboard {
public:
    // How long a read waits for the owner's answer.
    static constexpr int kReadTimeoutMs = 500;

    X11Clipboard(Display* display, Window window);

    void setText(const std::string& text);
    // The clipboard's UTF-8 text; empty when there is none or the owner does not answer in time.
    std::string text();
    // Answers another program's request for the text this window owns.
    void answer(const XSelectionRequestEvent& request);

private:
    bool waitForNotify(XEvent& event);
    std::string readProperty();

    Display* display_;
    Window window_;
    Atom clipboard_, utf8_, targets_, text_, property_;
    std::string owned_;
};

}  // namespace gui::x11
