#include "framework/AsyncEventQueue.h"

#include <algorithm>

void AsyncEventQueue::addHandler(Handler* handler) {
    handlers_.push_back(handler);
}

void AsyncEventQueue::removeHandler(Handler* handler) {
    handlers_.erase(std::remove(handlers_.begin(), handlers_.end(), handler), handlers_.end());
}

void AsyncEventQueue::deliver(int32_t code, int64_t value) {
    currentValue_ = value;
    currentCode_ = code;
    if (primaryHandler_) primaryHandler_->handleEvent(*this);
    // A handler may remove itself or others while it runs; the index is re-checked every step.
    for (size_t i = handlers_.size(); i-- > 0;) {
        if (i < handlers_.size()) handlers_[i]->handleEvent(*this);
    }
}
