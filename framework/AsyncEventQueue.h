#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// Hands (code, value) events from any thread to the thread that created the queue.
class AsyncEventQueue {
public:
    class Handler {
    public:
        virtual ~Handler() = default;
        // Reads the event from queue.currentCode() and queue.currentValue().
        virtual void handleEvent(AsyncEventQueue& queue) = 0;
    };

    virtual ~AsyncEventQueue() = default;

    // Callable from any thread, including the audio thread; never waits. False when the event
    // was dropped because too many are pending.
    virtual bool post(int32_t code, int64_t value) = 0;
    // Delivers the pending events in posting order when called on the creating thread (its event
    // loop calls this on a timer); elsewhere it delivers nothing. Returns the number delivered.
    virtual int pump() = 0;

    void setPrimaryHandler(Handler* handler) { primaryHandler_ = handler; }
    Handler* primaryHandler() const { return primaryHandler_; }
    void addHandler(Handler* handler);
    void removeHandler(Handler* handler);

    int32_t currentCode() const { return currentCode_; }
    int64_t currentValue() const { return currentValue_; }

protected:
    // Makes the event current, then tells the primary handler and the handlers from the newest to
    // the oldest.
    void deliver(int32_t code, int64_t value);

private:
    Handler* primaryHandler_ = nullptr;
    std::vector<Handler*> handlers_;
    int64_t currentValue_ = 0;
    int32_t currentCode_ = 0;
};

// The platform's queue, owned by the calling thread.
std::unique_ptr<AsyncEventQueue> createAsyncEventQueue();
