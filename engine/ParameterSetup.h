#pragma once

#include <string>

#include "framework/FloatPluginParameter.h"
#include "framework/IndexedPluginParameter.h"

// Set-up steps that many of the synthesizer's parameter sets share.

// The pattern with every "{}" replaced by subject ("Cut-off frequency of {}." and "filter 1").
std::string describe(const std::string& pattern, const std::string& subject);

// Range and default, then the help text.
void setupContinuous(FloatPluginParameter& p, float minimum, float maximum, float defaultValue,
                     const std::string& help);
// Range, default, value names, help.
template <typename T>
void setupList(IndexedPluginParameter<T>& p, int minimum, int maximum, T defaultValue,
               const std::string& names, const std::string& help) {
    p.declare(minimum, maximum, defaultValue);
    if (!names.empty()) p.setNames(names);
    p.setHelpText(help);
}

// Engine value as a gain, shown in dB.
void showDecibels(FloatPluginParameter& p);
// Engine value = lo + time curve(p)·(hi - lo), in seconds.
void setTimeTaper(FloatPluginParameter& p, float lo, float hi);

inline constexpr const char* kToggleNames = "Disabled,Enabled";
inline constexpr const char* kOffOnNames = "Off,On";
