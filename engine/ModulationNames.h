#pragma once

#include <string>
#include <vector>

#include "framework/SynthNumbering.h"

// Names of the modulation sources and targets, in their numbering order.

inline constexpr int kModulationSourceCount = synth::kSourceCount;
inline constexpr int kModulationTargetCount = synth::kTargetCount;

// "XY 1 Hor" ... "MIDI 10".
const std::vector<std::string>& modulationSourceNames();
// "Master Tune" ... "Slot 50 Level".
const std::vector<std::string>& modulationTargetNames();

// The names joined by commas, as value names take them.
std::string joinNames(const std::vector<std::string>& names);
