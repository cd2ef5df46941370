#pragma once

#include <atomic>
#include <string>

#include "framework/AbstractPluginParameter.h"
#include "framework/FloatPluginParameterUnit.h"

using ParameterFunction = float (*)(float);  // null: identity
using ParameterFormatter = std::string (*)(float display);

// The text and taper part of a continuous parameter.
//   engine  = taperForward(plain)·taperScale + taperOffset
//   display = displayForward(engine·displayScale + displayOffset)
class FloatParameterDisplay {
public:
    static constexpr const char* kDefaultFormat = "%.3f";

    // Safe on the audio thread: no allocation, only the taper function is called.
    float engineValue(float plain) const {
        const float tapered = taperForward ? taperForward(plain) : plain;
        return tapered * taperScale + taperOffset;
    }
    float plainToDisplay(float plain) const {
        const float d = engineValue(plain) * displayScale + displayOffset;
        return displayForward ? displayForward(d) : d;
    }
    float displayToPlain(float display) const {
        const float d = displayInverse ? displayInverse(display) : display;
        const float tapered = ((d - displayOffset) / displayScale - taperOffset) / taperScale;
        return taperInverse ? taperInverse(tapered) : tapered;
    }
    // The custom formatter or the number format, then " " and the suffix when there is one.
    std::string formatDisplay(float display) const;

    std::string format = kDefaultFormat;
    ParameterFunction displayForward = nullptr;
    ParameterFunction displayInverse = nullptr;
    float displayOffset = 0.0f;
    float displayScale = 1.0f;
    std::string suffix;
    ParameterFormatter customFormatter = nullptr;
    ParameterFunction taperForward = nullptr;
    ParameterFunction taperInverse = nullptr;
    float taperOffset = 0.0f;
    float taperScale = 1.0f;
    const FloatPluginParameterUnit* unit = nullptr;
};

// A continuous parameter: a float in [minimum, maximum].
class FloatPluginParameter : public AbstractPluginParameter {
public:
    FloatPluginParameter(GenericParameterOwner* owner, const std::string& name);

    float displayToPlain(float display) const override { return display_.displayToPlain(display); }
    float plainToDisplay(float plain) const override { return display_.plainToDisplay(plain); }
    float plainToNormalized(float plain) const override;
    float normalizedToPlain(float normalized) const override;
    // A number, optionally followed by a unit word (an alias of the unit, or the suffix when
    // there is no unit) or "%" (of the plain range). Out-of-range numbers are clamped.
    bool parseText(const std::string& text, float* plainOut) const override;
    std::string formatValue(float plain) const override;
    float getDefault() const override { return default_; }
    float getMaximum() const override { return maximum_; }
    float getMinimum() const override { return minimum_; }
    float getValue() const override { return value_.load(std::memory_order_relaxed); }
    void setValue(float plain, int flags) override;
    bool isNumeric() const override { return true; }

    float engineValue(float plain) const { return display_.engineValue(plain); }
    const FloatParameterDisplay& display() const { return display_; }

    // Set-up; each of the first two ends with setValue(default, 0).
    void setRange(float minimum, float maximum, float defaultValue);
    void setDefault(float defaultValue);
    void setTaper(ParameterFunction forward, ParameterFunction inverse);
    // The engine value then runs linearly from lo at the minimum to hi at the maximum (through
    // the taper); the display scale and offset return to neutral.
    void setDisplayRange(float lo, float hi);
    void setDisplayFunctions(ParameterFunction forward, ParameterFunction inverse);
    void setDisplayScale(float scale, float offset);
    // Stores the unit, takes its name as suffix and lets it configure the display.
    void setUnit(const FloatPluginParameterUnit& unit);
    // The registry's unit of that name (none when absent) and the name as suffix; the display
    // is left alone.
    void setUnitByName(const std::string& name);
    void setFormat(const std::string& format) { display_.format = format; }
    void setCustomFormatter(ParameterFormatter formatter) { display_.customFormatter = formatter; }

private:
    FloatParameterDisplay display_;
    float default_ = 0.0f;
    float maximum_ = 1.0f;
    float minimum_ = 0.0f;
    // Written by the thread that sets it, read by others (state saves, the editor).
    std::atomic<float> value_{0.0f};
};
