#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "framework/AbstractPluginParameter.h"
#include "host/lv2/Lv2Ports.h"

// The parameter ports as vorn.ttl describes them; vorn_lv2_make_ttl writes both together.
namespace Lv2Ports {

// The parameter id behind each parameter port (see parameterPortOrder).
extern const std::array<uint16_t, kParameterCount> kParameterOfPort;
// Each parameter's port default, as its port holds it: its value in the factory "Default Sound".
extern const std::array<float, kParameterCount> kDefaultOfParameter;
// Parameters whose port holds the shown number (Hz, semitones) rather than the plain value.
extern const std::array<bool, kParameterCount> kInDisplayUnits;

// The port of a parameter id; kParameterCount for none.
inline uint32_t portOfParameter(int id) {
    for (uint32_t port = 0; port < kParameterCount; ++port) {
        if (kParameterOfPort[port] == id) return port;
    }
    return kParameterCount;
}

// A port value as the parameter's plain value, inside its range; parameter id id.
inline float plainOfPortValue(const AbstractPluginParameter& p, int id, float value) {
    if (!kInDisplayUnits[static_cast<size_t>(id)]) return value;
    const float plain = p.displayToPlain(value);
    return std::isnan(plain) ? p.getMinimum() : std::clamp(plain, p.getMinimum(), p.getMaximum());
}

// A plain value as the port holds it.
inline float portValueOfPlain(const AbstractPluginParameter& p, int id, float plain) {
    return kInDisplayUnits[static_cast<size_t>(id)] ? p.plainToDisplay(plain) : plain;
}

}  // namespace Lv2Ports
