#pragma once

#include <memory>

#include "framework/CriticalSection.h"

// Base of objects that need a lock of their own; the lock lives as long as the object.
class LockedObject {
public:
    LockedObject() : lock_(createCriticalSection()) {}
    virtual ~LockedObject() = default;
    LockedObject(const LockedObject&) = delete;
    LockedObject& operator=(const LockedObject&) = delete;

    CriticalSection& lock() const { return *lock_; }

private:
    std::unique_ptr<CriticalSection> lock_;
};
