#include "gui/x11/X11Timer.h"

#include <time.h>

#include <algorithm>

namespace gui::x11 {

X11TimerList::~X11TimerList() {
    for (X11Timer* t : timers_) t->detach();
}

std::unique_ptr<Timer> X11TimerList::create() {
    return std::make_unique<X11Timer>(*this);
}

int64_t X11TimerList::now() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void X11TimerList::fireDue(int64_t nowMs) {
    // Callbacks may create or delete timers: work on a copy and skip the ones gone meanwhile.
    const std::vector<X11Timer*> snapshot = timers_;
    for (X11Timer* t : snapshot) {
        if (std::find(timers_.begin(), timers_.end(), t) == timers_.end()) continue;
        if (!t->running_ || t->due_ > nowMs) continue;
        t->due_ += t->interval();
        if (t->due_ <= nowMs) t->due_ = nowMs + t->interval();
        t->fire();
    }
}

int64_t X11TimerList::msUntilNext(int64_t nowMs) const {
    int64_t next = -1;
    for (const X11Timer* t : timers_)
        if (t->running_) next = next < 0 ? t->due_ - nowMs : std::min(next, t->due_ - nowMs);
    return next < 0 ? -1 : std::max<int64_t>(0, next);
}

X11Timer::X11Timer(X11TimerList& list) : list_(&list) {
    list_->timers_.push_back(this);
}

X11Timer::~X11Timer() {
    if (list_) std::erase(list_->timers_, this);
}

void X11Timer::start() {
    running_ = true;
    due_ = X11TimerList::now() + interval();
}

}  // namespace gui::x11
