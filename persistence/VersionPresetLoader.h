#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "persistence/PresetLoader.h"

class BinaryDataReader;
class GenericPlugin;

// The synthesizer's loaders for records of earlier versions. Layouts name current parameters by
// their host names, so they stay valid whatever the parameters' ids become.
class ModulationPresetLoader : public CustomPresetLoader {
public:
    explicit ModulationPresetLoader(GenericPlugin& plugin);

protected:
    // Null when the plug-in has no parameter of that name.
    AbstractPluginParameter* parameter(std::string_view name) const;
    void clearLayout();
    // One slot per parameter, `count` consecutive ids from the named one on.
    void appendRun(std::string_view firstName, int count);
    // Every parameter from the first name's id to the last name's id.
    void appendRange(std::string_view firstName, std::string_view lastName);
    void appendParameter(std::string_view name);
    void appendMirror(float* mirror);
    // A value that no parameter takes as it is; returns its position.
    int appendDropped();
    // Every parameter that no slot names goes to its default in prepare().
    void resetUnmapped();
    // Sets a parameter from a value in the old meaning; nothing when it does not exist.
    void set(std::string_view name, float plain);
    float value(std::string_view name) const;

    GenericPlugin& plugin() { return plugin_; }

private:
    GenericPlugin& plugin_;
    std::unordered_map<std::string, AbstractPluginParameter*> byName_;
};

// "QVoi" records of versions 1-4 (the earlier product generation) and "QV2i" records of version 6.
class VersionPresetLoader : public ModulationPresetLoader {
public:
    static constexpr int kGroupCount = 3;
    static constexpr int kGroupSize = 7;
    // Values per record of each old version (index = version; 0 and 5 unused).
    static constexpr std::array<int, 7> kValueCounts = {0, 170, 194, 196, 197, 0, 734};

    explicit VersionPresetLoader(GenericPlugin& plugin);

    bool acceptVersion(int version) override;
    std::string identifier(int version) override;
    void prepare(int version) override;
    void finish(int version) override;

    // Scratch values of the old per-voice LFOs (group g, value k) as last read.
    float scratch(int group, int k) const { return scratch_[group][k]; }

private:
    // Positions of an old modulation slot's source and target numbers.
    struct OldSlot {
        int source = 0;
        int target = 0;
    };

    void buildVersion6();
    void finishVersion6();
    void buildOldGeneration(int version);
    void finishOldGeneration(int version);
    // The value stored at a position of the current layout (0 when the record lacked it).
    float stored(int position);
    void setVoiceCount(std::string_view name, float count);

    int totalVoicesPosition_ = 0;
    int unisonVoicesPosition_ = 0;
    std::vector<OldSlot> oldSlots_;
    std::array<std::array<float, kGroupSize>, kGroupCount> scratch_{};
};

// The synthesizer's preset-file load: a current record of exactly the current version, else any
// older version the VersionPresetLoader reads. "Wet Enabled" keeps its value whatever the file
// holds. Returns the result of the last read made; queues the reset marker after a success.
bool loadSynthPreset(GenericPlugin& plugin, BinaryDataReader& reader);
bool loadSynthPresetFile(GenericPlugin& plugin, const std::string& path);
bool loadSynthPreset(GenericPlugin& plugin, std::span<const uint8_t> bytes);
