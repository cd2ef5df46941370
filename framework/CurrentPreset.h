#pragma once

#include <atomic>
#include <string>

#include "framework/Property.h"

// The preset the instance was last loaded from or saved to, and whether it was edited since.
// `modified` is set from any thread (every parameter change), so it is atomic; the listener hears
// only the transition from clean to modified.
class CurrentPreset {
public:
    std::string name;
    std::string path;

    bool isModified() const { return modified_.load(std::memory_order_relaxed); }

    void markModified() {
        if (!modified_.exchange(true, std::memory_order_acq_rel) && listener_)
            listener_->propertyChanged(&modified_);
    }
    void clearModified() { modified_.store(false, std::memory_order_release); }

    void setListener(PropertyOwner* listener) { listener_ = listener; }
    const void* modifiedAddress() const { return &modified_; }

private:
    std::atomic<bool> modified_{false};
    PropertyOwner* listener_ = nullptr;
};
