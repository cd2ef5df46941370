#pragma once

#include <algorithm>

// Observable values: an owner learns about every real change of a property it holds.

class PropertyOwner {
public:
    virtual ~PropertyOwner() = default;
    // `property` is the address of the member that changed; owners compare it with their members.
    virtual void propertyChanged(const void* property) = 0;
};

template <typename T>
class Property {
public:
    Property() = default;
    explicit Property(PropertyOwner* owner, T value = T()) : owner_(owner), value_(value) {}

    const T& get() const { return value_; }
    operator const T&() const { return value_; }

    // Stores v and notifies the owner, unless v equals the stored value.
    void set(const T& v) {
        if (v == value_) return;
        value_ = v;
        if (owner_) owner_->propertyChanged(this);
    }
    Property& operator=(const T& v) {
        set(v);
        return *this;
    }
    // Assigning one property to another would copy its owner: assign the value instead.
    Property& operator=(const Property&) = delete;
    Property(const Property&) = default;

    void setOwner(PropertyOwner* owner) { owner_ = owner; }
    PropertyOwner* owner() const { return owner_; }

private:
    PropertyOwner* owner_ = nullptr;
    T value_ = T();
};

template <typename T>
class LimitedProperty {
public:
    LimitedProperty() = default;
    LimitedProperty(PropertyOwner* owner, T minimum, T maximum, T value)
        : owner_(owner), minimum_(minimum), maximum_(maximum), value_(value) {}

    const T& get() const { return value_; }
    operator const T&() const { return value_; }
    T minimum() const { return minimum_; }
    T maximum() const { return maximum_; }

    // Clamps v to the limits, then behaves like Property::set.
    void set(T v) {
        v = std::clamp(v, minimum_, maximum_);
        if (v == value_) return;
        value_ = v;
        if (owner_) owner_->propertyChanged(this);
    }
    LimitedProperty& operator=(T v) {
        set(v);
        return *this;
    }

    void setLimits(T minimum, T maximum) {
        minimum_ = minimum;
        maximum_ = maximum;
    }
    void setOwner(PropertyOwner* owner) { owner_ = owner; }
    PropertyOwner* owner() const { return owner_; }

private:
    PropertyOwner* owner_ = nullptr;
    T minimum_ = T();
    T maximum_ = T();
    T value_ = T();
};
