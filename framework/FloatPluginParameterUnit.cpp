#include "framework/FloatPluginParameterUnit.h"

#include <array>
#include <cmath>

#include "framework/FloatPluginParameter.h"
#include "framework/ParameterFormat.h"

namespace {

constexpr float kSemitonesPerOctave = 12.0f;
constexpr float kOctavesPerSemitone = 0.083333336f;
constexpr float kCentsFactor = 0.01f;

std::vector<UnitAlias> frequencyAliases() {
    return {{"Hz", 1.0f}, {"kHz", 1000.0f}, {"k", 1000.0f}};
}

}  // namespace

FloatPluginParameterUnit::FloatPluginParameterUnit(std::vector<UnitAlias> aliases)
    : aliases_(std::move(aliases)) {}

const UnitAlias* FloatPluginParameterUnit::findAlias(const std::string& word) const {
    for (const UnitAlias& alias : aliases_) {
        if (equalsIgnoringCase(alias.name, word)) return &alias;
    }
    return nullptr;
}

FreqParameterUnit::FreqParameterUnit() : FloatPluginParameterUnit(frequencyAliases()) {}

void FreqParameterUnit::configureDisplay(FloatParameterDisplay& display) const {
    display.customFormatter = formatFrequency;
}

void ExpFreqParameterUnit::configureDisplay(FloatParameterDisplay& display) const {
    FreqParameterUnit::configureDisplay(display);
    display.displayForward = [](float octaves) { return std::exp2(octaves); };
    display.displayInverse = [](float hz) { return std::log2(hz); };
}

MsParameterUnit::MsParameterUnit()
    : FloatPluginParameterUnit({{"ms", 1.0f}, {"sec", 1000.0f}, {"s", 1000.0f}}) {}

SecParameterUnit::SecParameterUnit()
    : FloatPluginParameterUnit({{"sec", 1.0f}, {"s", 1.0f}, {"ms", 0.001f}}) {}

DBParameterUnitBase::DBParameterUnitBase()
    : FloatPluginParameterUnit(
          {{"dB", 1.0f}, {"x", 1.0f, ratioToDecibels}, {"*", 1.0f, ratioToDecibels}}) {}

void DBParameterUnit::configureDisplay(FloatParameterDisplay& display) const {
    display.customFormatter = formatDecibels;
}

void DBRangeParameterUnit::configureDisplay(FloatParameterDisplay& display) const {
    display.format = "%.2f";
}

OctavesParameterUnit::OctavesParameterUnit()
    : FloatPluginParameterUnit({{"semitones", 1.0f},
                                {"semitone", 1.0f},
                                {"octaves", kSemitonesPerOctave},
                                {"octave", kSemitonesPerOctave},
                                {"oct", kSemitonesPerOctave},
                                {"notes", 1.0f},
                                {"note", 1.0f},
                                {"cents", kCentsFactor},
                                {"cent", kCentsFactor}}) {}

void OctavesParameterUnit::configureDisplay(FloatParameterDisplay& display) const {
    display.displayForward = [](float octaves) { return octaves * kSemitonesPerOctave; };
    display.displayInverse = [](float semitones) { return semitones * kOctavesPerSemitone; };
}

PercentParameterUnit::PercentParameterUnit() : FloatPluginParameterUnit({{"%", 1.0f}}) {}

void PercentParameterUnit::configureDisplay(FloatParameterDisplay& display) const {
    display.format = "*3f";
}

const FreqParameterUnit& hzParameterUnit() {
    static const FreqParameterUnit unit;
    return unit;
}

const ExpFreqParameterUnit& expFreqParameterUnit() {
    static const ExpFreqParameterUnit unit;
    return unit;
}

const MsParameterUnit& msParameterUnit() {
    static const MsParameterUnit unit;
    return unit;
}

const SecParameterUnit& secParameterUnit() {
    static const SecParameterUnit unit;
    return unit;
}

const DBParameterUnit& dbParameterUnit() {
    static const DBParameterUnit unit;
    return unit;
}

const DBRangeParameterUnit& dbRangeParameterUnit() {
    static const DBRangeParameterUnit unit;
    return unit;
}

const OctavesParameterUnit& octavesParameterUnit() {
    static const OctavesParameterUnit unit;
    return unit;
}

const PercentParameterUnit& percentParameterUnit() {
    static const PercentParameterUnit unit;
    return unit;
}

const FloatPluginParameterUnit* findParameterUnit(const std::string& name) {
    static const std::array<const FloatPluginParameterUnit*, 6> registry = {
        &hzParameterUnit(), &msParameterUnit(),      &secParameterUnit(),
        &dbParameterUnit(), &octavesParameterUnit(), &percentParameterUnit()};
    for (const FloatPluginParameterUnit* unit : registry) {
        if (equalsIgnoringCase(unit->name(), name)) return unit;
    }
    return nullptr;
}
