#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "gui/Timer.h"

namespace gui::x11 {

class X11Timer;

// The timers of one window, fired from its idle call when due (CLOCK_MONOTONIC).
class X11TimerList {
public:
    X11TimerList() = default;
    X11TimerList(const X11TimerList&) = delete;
    X11TimerList& operator=(const X11TimerList&) = delete;
    ~X11TimerList();

    std::unique_ptr<Timer> create();
    // Fires every running timer that is due at `nowMs`; a late timer fires once, not in a burst.
    void fireDue(int64_t nowMs);
    // Milliseconds until the next due timer, -1 when none runs.
    int64_t msUntilNext(int64_t nowMs) const;

    static int64_t now();

private:
    friend class X11Timer;
    std::vector<X11Timer*> timers_;
};

class X11Timer : public Timer {
public:
    explicit X11Timer(X11TimerList& list);
    ~X11Timer() override;
    void start() override;
    void stop() override { running_ = false; }
    bool running() const override { return running_; }

    // Called by the list when it goes first.
    void detach() { list_ = nullptr; }

private:
    friend class X11TimerList;
    X11TimerList* list_;
    bool running_ = false;
    int64_t due_ = 0;
};

}  // namespace gui::x11
