#pragma once

#include <array>
#include <string>

// The kinds of section that can be saved and loaded on their own. The index of a type is its
// place in kComponentPresetTypes.
struct ComponentPresetType {
    const char* extension;
    // Under "<user data>/Component Presets".
    const char* folder;
    // Values in a record of the current version.
    int valueCount;
};

namespace ComponentPresets {

enum Type { kOscillator, kFilters, kDelays, kXLFO, kEG, kEF, kMidi, kTypeCount };

inline constexpr std::array<ComponentPresetType, kTypeCount> kTypes = {{
    {".osc", "Oscillator", 27},
    {".filters", "Filters", 15},
    {".delays", "Delays", 27},
    {".xlfo", "XLFO", 73},
    {".eg", "EG", 9},
    {".ef", "EF", 2},
    {".midi", "MIDI", 3},
}};

inline constexpr const char* kFolder = "Component Presets";
// The component preset a section resets to.
inline constexpr const char* kDefaultName = "Default";

// "<userData>/Component Presets/<type folder>/".
std::string folderOf(int type, const std::string& userData);
// The save dialog's filter: "Quorvalis Component Presets (*.osc)|*.osc|All Files (*.*)|*.*".
std::string fileFilter(int type);

}  // namespace ComponentPresets
