#include "gui/x11/XErrorTrap.h"

#include <mutex>

namespace gui::x11 {
namespace {

std::mutex trapMutex;
Display* trapped = nullptr;
int firstError = 0;
XErrorHandler previous = nullptr;

int handleError(Display* display, XErrorEvent* event) {
    if (display == trapped) {
        if (firstError == 0) firstError = event->error_code;
        return 0;
    }
    return previous ? previous(display, event) : 0;
}

}  // namespace

XErrorTrap::XErrorTrap(Display* display) : display_(display) {
    trapMutex.lock();
    XSync(display_, False);
    trapped = display_;
    firstError = 0;
    previous = XSetErrorHandler(handleError);
}

int XErrorTrap::check() {
    XSync(display_, False);
    return firstError;
}

XErrorTrap::~XErrorTrap() {
    XSync(display_, False);
    XSetErrorHandler(previous);
    trapped = nullptr;
    previous = nullptr;
    trapMutex.unlock();
}

}  // namespace gui::x11
