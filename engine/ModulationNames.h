#pragma once

#include <string>
#include <vector>

// Names of the modulation sources and targets, in their numbering order.

inline constexpr int kModulationSourceCount = 34;
inline constexpr int kModulationTargetCount = 157;

// "XY 1 Hor" ... "MIDI 10".
const std::vector<std::string>& modulationSourceNames();
// "Master Tune" ... "Slot 50 Level".
const std::vector<std::string>& modulationTargetNames();

// The names joined by commas, as value names take them.
std::string joinNames(const std::vector<std::string>& names);
