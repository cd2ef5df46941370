#pragma once

#include <cstdint>
#include <string>

#include "framework/GenericParameterOwner.h"

// Base of every parameter. Four value domains meet here: the plain value (stored in presets), the
// normalised 0..1 value (host, MIDI learn), the engine value and the display number.
class AbstractPluginParameter {
public:
    static constexpr int kContinuous = 0;
    static constexpr int kIndexed = 1;

    // Registers with the owner at once; the returned id is kept for life.
    AbstractPluginParameter(GenericParameterOwner* owner, int kind, const std::string& name);
    virtual ~AbstractPluginParameter() = default;
    AbstractPluginParameter(const AbstractPluginParameter&) = delete;
    AbstractPluginParameter& operator=(const AbstractPluginParameter&) = delete;

    virtual float displayToPlain(float display) const { return display; }
    virtual float plainToDisplay(float plain) const { return plain; }
    virtual float plainToNormalized(float plain) const = 0;
    // rangeKey selects a sub-range of an indexed parameter (see IndexedPluginParameter).
    virtual float plainToHostNormalized(float plain, int /*rangeKey*/) const {
        return plainToNormalized(plain);
    }
    virtual float normalizedToPlain(float normalized) const = 0;
    // On failure writes the current value and returns false.
    virtual bool parseText(const std::string& /*text*/, float* plainOut) const {
        *plainOut = getValue();
        return false;
    }
    virtual bool hostNormalizedToPlain(float normalized, int /*rangeKey*/, float* plainOut) const {
        *plainOut = normalizedToPlain(normalized);
        return true;
    }
    virtual std::string formatValue(float plain) const = 0;
    virtual float getDefault() const = 0;
    virtual int lookupRangeBoundary(int /*key*/) const { return -1; }
    virtual float getMaximum() const = 0;
    virtual float getMinimum() const = 0;
    virtual float getValue() const = 0;
    // Clamps; changes of at most FLT_EPSILON are dropped, others reach the owner.
    virtual void setValue(float plain, int flags) = 0;
    // True when the value has no names.
    virtual bool isNumeric() const { return true; }
    // Pushes a value into whatever the parameter drives; the owner calls it on the audio thread.
    virtual void applyValue(float /*plain*/) {}

    uint32_t id() const { return id_; }
    int kind() const { return kind_; }
    const std::string& name() const { return name_; }
    const std::string& hostName() const { return hostName_; }
    const std::string& helpText() const { return helpText_; }
    bool isAutomatable() const { return automatable_ != 0; }
    GenericParameterOwner* owner() const { return owner_; }

    void setHostName(const std::string& hostName) { hostName_ = hostName; }
    void setHelpText(const std::string& helpText) { helpText_ = helpText; }
    void setAutomatable(bool automatable) { automatable_ = automatable ? 1 : 0; }

private:
    int32_t automatable_ = 1;
    std::string name_;
    std::string hostName_;
    std::string helpText_;
    GenericParameterOwner* owner_;
    int32_t kind_;
    uint32_t id_;
};
