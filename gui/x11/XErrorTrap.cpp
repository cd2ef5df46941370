#include "gui/x11/XErrorTrap.h"

#include <array>
#include <atomic>
#include <cassert>
#include <mutex>

#include "gui/x11/Xlib.h"

namespace gui::x11 {
namespace {

// Slots are read by the handler without a lock: it runs inside Xlib on whichever thread met
// the error, possibly while that thread holds the registration lock.
constexpr int kSlots = 32;
struct Slot {
    std::atomic<Display*> display{nullptr};
    std::atomic<int> firstError{0};
    int users = 0;  // under registration
};
std::array<Slot, kSlots> slots;
std::mutex registration;
int guarded = 0;
XErrorHandler previous = nullptr;

int handleError(Display* display, XErrorEvent* event) {
    for (Slot& s : slots) {
        if (s.display.load(std::memory_order_acquire) != display) continue;
        int none = 0;
        s.firstError.compare_exchange_strong(none, event->error_code);
        return 0;
    }
    return previous ? previous(display, event) : 0;
}

int acquire(Display* display) {
    std::lock_guard<std::mutex> lock(registration);
    int free = -1;
    for (int i = 0; i < kSlots; ++i) {
        if (slots[i].display.load() == display) {
            ++slots[i].users;
            return i;
        }
        if (free < 0 && slots[i].users == 0) free = i;
    }
    if (free < 0) return -1;  // more connections than any editor opens: Xlib's default stays
    slots[free].users = 1;
    slots[free].firstError = 0;
    slots[free].display.store(display, std::memory_order_release);
    if (guarded++ == 0) previous = XSetErrorHandler(handleError);
    return free;
}

void release(int slot) {
    std::lock_guard<std::mutex> lock(registration);
    assert(slots[slot].users > 0);
    if (--slots[slot].users > 0) return;
    slots[slot].display.store(nullptr, std::memory_order_release);
    if (--guarded > 0) return;
    // A handler the host installed after ours stays.
    const XErrorHandler current = XSetErrorHandler(previous);
    if (current != handleError) XSetErrorHandler(current);
    previous = nullptr;
}

}  // namespace

XErrorGuard::XErrorGuard(Display* display) : slot_(acquire(display)) {}

XErrorGuard::~XErrorGuard() {
    if (slot_ >= 0) release(slot_);
}

int XErrorGuard::firstError() const {
    return slot_ >= 0 ? slots[slot_].firstError.load() : 0;
}

void XErrorGuard::reset() {
    if (slot_ >= 0) slots[slot_].firstError = 0;
}

XErrorTrap::XErrorTrap(Display* display) : display_(display), guard_(display) {
    // Errors of earlier requests are not this trap's.
    XSync(display_, False);
    guard_.reset();
}

// The trapped requests' errors arrive before the guard can go.
XErrorTrap::~XErrorTrap() {
    XSync(display_, False);
}

int XErrorTrap::check() {
    XSync(display_, False);
    return guard_.firstError();
}

}  // namespace gui::x11
