#include "gui/x11/X11Clipboard.h"

#include <poll.h>

#include "gui/x11/X11Timer.h"

namespace gui::x11 {

X11Clipboard::X11Clipboard(Display* display, Window window)
    : display_(display),
      window_(window),
      clipboard_(XInternAtom(display, "CLIPBOARD", False)),
      utf8_(XInternAtom(display, "UTF8_STRING", False)),
      targets_(XInternAtom(display, "TARGETS", False)),
      text_(XInternAtom(display, "TEXT", False)),
      property_(XInternAtom(display, "VORN_CLIPBOARD", False)) {}

void X11Clipboard::setText(const std::string& text) {
    owned_ = text;
    XSetSelectionOwner(display_, clipboard_, window_, CurrentTime);
    XFlush(display_);
}

std::string X11Clipboard::text() {
    const Window owner = XGetSelectionOwner(display_, clipboard_);
    if (owner == window_) return owned_;
    if (owner == kNone) return {};
    XDeleteProperty(display_, window_, property_);
    XConvertSelection(display_, clipboard_, utf8_, property_, window_, CurrentTime);
    XFlush(display_);
    XEvent event{};
    if (!waitForNotify(event) || event.xselection.property == kNone) return {};
    return readProperty();
}

bool X11Clipboard::waitForNotify(XEvent& event) {
    const int64_t end = X11TimerList::now() + kReadTimeoutMs;
    for (;;) {
        if (XCheckTypedWindowEvent(display_, window_, SelectionNotify, &event)) return true;
        const int64_t left = end - X11TimerList::now();
        if (left <= 0) return false;
        pollfd p{ConnectionNumber(display_), POLLIN, 0};
        poll(&p, 1, static_cast<int>(left));
        // Reads what arrived into the queue without taking anything out of it.
        XEventsQueued(display_, QueuedAfterReading);
    }
}

std::string X11Clipboard::readProperty() {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display_, window_, property_, 0, 1 << 24, True, AnyPropertyType, &type,
                       &format, &count, &after, &data);
    std::string out;
    // Large transfers (INCR) are not supported: text on the clipboard is short.
    if (data && format == 8 && (type == utf8_ || type == XA_STRING))
        out.assign(reinterpret_cast<const char*>(data), count);
    if (data) XFree(data);
    return out;
}

void X11Clipboard::answer(const XSelectionRequestEvent& request) {
    XSelectionEvent reply{};
    reply.type = SelectionNotify;
    reply.display = request.display;
    reply.requestor = request.requestor;
    reply.selection = request.selection;
    reply.target = request.target;
    reply.time = request.time;
    // Old clients leave the property out: the target names it then.
    const Atom property = request.property == kNone ? request.target : request.property;
    reply.property = property;
    if (request.target == targets_) {
        const Atom offered[] = {targets_, utf8_, XA_STRING, text_};
        XChangeProperty(display_, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(offered), 4);
    } else if (request.target == utf8_ || request.target == XA_STRING || request.target == text_) {
        const Atom type = request.target == XA_STRING ? XA_STRING : utf8_;
        XChangeProperty(display_, request.requestor, property, type, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(owned_.data()),
                        static_cast<int>(owned_.size()));
    } else {
        reply.property = kNone;
    }
    XEvent e{};
    e.xselection = reply;
    XSendEvent(display_, request.requestor, False, 0, &e);
    XFlush(display_);
}

}  // namespace gui::x11
