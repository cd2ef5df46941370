#pragma once

#include <cstdint>
#include <functional>

namespace gui {

// A repeating timer on the editor's thread, made by the platform (UserInterface::createTimer).
class Timer {
public:
    static constexpr int32_t kDefaultIntervalMs = 1000;

    virtual ~Timer() = default;
    void setCallback(std::function<void()> callback) { callback_ = std::move(callback); }
    void setInterval(int32_t ms) { interval_ = ms > 0 ? ms : 1; }
    int32_t interval() const { return interval_; }
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool running() const = 0;

protected:
    void fire() {
        if (callback_) callback_();
    }

private:
    std::function<void()> callback_;
    int32_t interval_ = kDefaultIntervalMs;
};

}  // namespace gui
