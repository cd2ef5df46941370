#pragma once

#include <vector>

#include "framework/FloatPluginParameter.h"
#include "framework/IndexedPluginParameter.h"
#include "framework/Property.h"

// A parameter that writes its value into any number of properties of engine or settings objects.
template <typename Prop, typename Base>
class GenericPropPluginParameter : public Base {
public:
    using Base::Base;

    // Binding allocates: bind while building, never on the audio thread.
    void bind(Prop* property) { properties_.push_back(property); }
    const std::vector<Prop*>& properties() const { return properties_; }

protected:
    std::vector<Prop*> properties_;
};

// Indexed parameter writing the selected value (through the value map) into Property<T>s.
template <typename T>
class PropPluginParameter
    : public GenericPropPluginParameter<Property<T>, IndexedPluginParameter<T>> {
public:
    using GenericPropPluginParameter<Property<T>,
                                     IndexedPluginParameter<T>>::GenericPropPluginParameter;

    void applyValue(float plain) override {
        const T value = this->valueForIndex(static_cast<int>(plain));
        for (Property<T>* property : this->properties_) property->set(value);
    }
};

// Continuous parameter writing its engine value into LimitedProperty<float>s, each clamping it
// to its own limits.
class LimFloatPropPluginParameter
    : public GenericPropPluginParameter<LimitedProperty<float>, FloatPluginParameter> {
public:
    using GenericPropPluginParameter::GenericPropPluginParameter;

    void applyValue(float plain) override {
        const float engine = engineValue(plain);
        for (LimitedProperty<float>* property : properties_) property->set(engine);
    }
};
