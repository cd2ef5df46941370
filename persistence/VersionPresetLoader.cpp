#include "persistence/VersionPresetLoader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <unordered_set>

#include "framework/AbstractPluginParameter.h"
#include "framework/GenericPlugin.h"
#include "framework/SynthNumbering.h"
#include "persistence/BinaryDataReader.h"
#include "persistence/ParameterCollection.h"
#include "persistence/ParameterRecord.h"

// Old layouts, by current parameter name.
//
// "QV2i" version 6 (734 values): the current layout without "Osc k Phase Sync" and without
// XLFOs 5 and 6 (the list held four):
//   "Master Tune", "Master Scale"
//   per oscillator k = 1..3: "Osc k Detune" .. "Osc k Pan" (7), "Osc k Enabled"
//   "Ring Modulation Enabled" .. "XLFO 4 Step 16 Random" (354)
//   "Num Active EGs" .. "Slot 50 Target" (354)
// Slot sources and targets were numbered without the two missing XLFOs: stored source numbers
// from the first envelope on are 2 lower, target numbers from the envelopes' on are 6 lower.
//
// "QVoi" versions 1-4 (the earlier product generation, 170 / 194 / 196 / 197 values):
//   "Master Tune", "Master Scale"
//   per oscillator k: "Osc k Detune", "Scale", "Wave Form", "Sync", "Pulse Width", "Level", "Pan"
//   "Ring Modulation Enabled", "Portamento", "Portamento Mode"
//   per filter k = 1, 2: "Filter k Freq", "Pan", "Peak", "Characteristic", "Response", "Slope"
//   "Filter Routing"
//   per delay L, R: "Delay X Time", "Offset", "Sync", "Feedback", "Cross Feedback"
//   "Delay Link", "Delay Filter Routing", per delay filter k: the six filter values
//   "Delay Enabled", "Delay Level", "Delay Pan", "Wet Enabled", "Dry Level", "Dry Pan"
//   three LFOs of 6 values (version 4: 7), kept as scratch and turned into XLFOs 1-3:
//     enabled, frequency (XLFO frequency plain), wave (0 triangle, 1 square, 2 saw up,
//     3 saw down), phase offset, glide, MIDI trigger[, sync mode (version 4)]
//   versions 1-3: two global LFO values that no longer exist (dropped)
//   per envelope "EG Main", "EG 2" .. "EG 4": "Delay", "Attack", "Hold", "Decay", "Sustain",
//     "Release"
//   per MIDI source m = 1, 2: "Input", "Controller Number", "Response Curve"
//   "Output Volume", "Output Pan", "Stereo", total voices and unison voices as voice counts
//     (converted to the lists' entries), "Polyphony"
//   15 modulation slots (versions 2-4: 23): old source, "Slot s Level", old target
//   versions 3-4: "Unison Spread", "Audition Signal"
// Old sources: 0 none, 1-3 LFOs, 4-7 envelopes, 8-9 MIDI sources. Old targets 1-41 are the
// current targets 1-41; later ones are dropped.

namespace {

constexpr int kCurrentVersion = synth::kStateVersion;
constexpr const char* kOldGenerationIdentifier = "QVoi";
constexpr const char* kWetEnabled = "Wet Enabled";

constexpr int kOscillators = synth::kOscillators;
constexpr int kSlots = synth::kSlots;
// Source and target numbers as the slot parameters store them (0 = none, else number + 1).
constexpr int kFirstXLFOSource = synth::kFirstXLFOSource;
constexpr int kFirstEnvelopeSource = synth::kFirstEnvelopeSource;
constexpr int kFirstMidiSource = synth::kFirstMidiSource;
constexpr int kFirstXLFOTarget = synth::kFirstXLFOTarget;
constexpr int kTargetsPerXLFO = synth::kTargetsPerXLFO;
constexpr int kVersion6XLFOs = 4;
constexpr int kMissingVersion6XLFOs = 2;

constexpr int kOldLFOs = 3;
constexpr int kOldEnvelopes = 4;
constexpr int kOldMidiSources = 2;
constexpr int kOldDroppedGlobals = 2;
constexpr int kOldSlotsVersion1 = 15;
constexpr int kOldSlotsLater = 23;
constexpr int kOldLastTarget = 41;
constexpr int kOldFirstLFOSource = 1;
constexpr int kOldFirstEnvelopeSource = 4;
constexpr int kOldFirstMidiSource = 8;
constexpr int kOldLastSource = 9;
constexpr int kOldLFOSteps = 2;

// Old LFO values within a scratch group.
enum OldLFOValue { kEnabled, kFrequency, kWave, kPhase, kGlide, kMidiTrigger, kSyncMode };

std::string oscillator(int k) {
    return "Osc " + std::to_string(k);
}
std::string slot(int s) {
    return "Slot " + std::to_string(s);
}
std::string xlfo(int k) {
    return "XLFO " + std::to_string(k);
}

}  // namespace

// --- ModulationPresetLoader ---------------------------------------------------------------------

ModulationPresetLoader::ModulationPresetLoader(GenericPlugin& plugin)
    : CustomPresetLoader(plugin, plugin.pluginId(), kCurrentVersion), plugin_(plugin) {
    const int count = plugin.getParameterCount();
    for (int i = 0; i < count; ++i) {
        AbstractPluginParameter* p = plugin.getParameter(i);
        byName_.emplace(p->name(), p);
    }
}

AbstractPluginParameter* ModulationPresetLoader::parameter(std::string_view name) const {
    const auto it = byName_.find(std::string(name));
    return it == byName_.end() ? nullptr : it->second;
}

void ModulationPresetLoader::clearLayout() {
    slots().clear();
    resetList().clear();
}

void ModulationPresetLoader::appendRun(std::string_view firstName, int count) {
    AbstractPluginParameter* first = parameter(firstName);
    for (int i = 0; i < count; ++i) {
        slots().push_back(
            {first ? plugin_.getParameter(static_cast<int>(first->id()) + i) : nullptr});
    }
}

void ModulationPresetLoader::appendRange(std::string_view firstName, std::string_view lastName) {
    AbstractPluginParameter* first = parameter(firstName);
    AbstractPluginParameter* last = parameter(lastName);
    if (!first || !last) return;
    appendRun(firstName, static_cast<int>(last->id()) - static_cast<int>(first->id()) + 1);
}

void ModulationPresetLoader::appendParameter(std::string_view name) {
    slots().push_back({parameter(name)});
}

void ModulationPresetLoader::appendMirror(float* mirror) {
    slots().push_back({nullptr, mirror});
}

int ModulationPresetLoader::appendDropped() {
    slots().push_back({});
    return count() - 1;
}

void ModulationPresetLoader::resetUnmapped() {
    std::unordered_set<const AbstractPluginParameter*> mapped;
    for (const Slot& s : slots()) mapped.insert(s.parameter);
    const int count = plugin_.getParameterCount();
    for (int i = 0; i < count; ++i) {
        if (!mapped.count(plugin_.getParameter(i))) resetList().push_back(i);
    }
}

void ModulationPresetLoader::set(std::string_view name, float plain) {
    if (AbstractPluginParameter* p = parameter(name)) p->setValue(plain, 0);
}

float ModulationPresetLoader::value(std::string_view name) const {
    const AbstractPluginParameter* p = parameter(name);
    return p ? p->getValue() : 0.0f;
}

// --- VersionPresetLoader ------------------------------------------------------------------------

VersionPresetLoader::VersionPresetLoader(GenericPlugin& plugin) : ModulationPresetLoader(plugin) {}

bool VersionPresetLoader::acceptVersion(int version) {
    return (version >= 1 && version <= 4) || version == 6;
}

std::string VersionPresetLoader::identifier(int version) {
    return version <= 4 ? kOldGenerationIdentifier : plugin().pluginId();
}

void VersionPresetLoader::prepare(int version) {
    for (auto& group : scratch_) group.fill(0.0f);
    if (version == 6) {
        buildVersion6();
    } else {
        buildOldGeneration(version);
    }
    setPreparedVersion(version);
    CustomPresetLoader::prepare(version);
}

void VersionPresetLoader::finish(int version) {
    if (version == 6) {
        finishVersion6();
    } else {
        finishOldGeneration(version);
    }
}

void VersionPresetLoader::buildVersion6() {
    clearLayout();
    appendRun("Master Tune", 2);
    for (int k = 1; k <= kOscillators; ++k) {
        appendRange(oscillator(k) + " Detune", oscillator(k) + " Pan");
        appendParameter(oscillator(k) + " Enabled");
    }
    appendRange("Ring Modulation Enabled", xlfo(kVersion6XLFOs) + " Step 16 Random");
    appendRange("Num Active EGs", slot(kSlots) + " Target");
    resetUnmapped();
}

void VersionPresetLoader::finishVersion6() {
    const int sourceShift = kMissingVersion6XLFOs;
    const int targetShift = kMissingVersion6XLFOs * kTargetsPerXLFO;
    const int firstShiftedSource = kFirstXLFOSource + kVersion6XLFOs + 1;
    const int firstShiftedTarget = kFirstXLFOTarget + kVersion6XLFOs * kTargetsPerXLFO + 1;
    for (int s = 1; s <= kSlots; ++s) {
        const float source = value(slot(s) + " Source");
        if (source >= firstShiftedSource) set(slot(s) + " Source", source + sourceShift);
        const float target = value(slot(s) + " Target");
        if (target >= firstShiftedTarget) set(slot(s) + " Target", target + targetShift);
    }
}

void VersionPresetLoader::buildOldGeneration(int version) {
    static const char* const kFilterValues[] = {" Freq",           " Pan",      " Peak",
                                                " Characteristic", " Response", " Slope"};
    static const char* const kEnvelopes[] = {"EG Main", "EG 2", "EG 3", "EG 4"};
    static const char* const kEnvelopeValues[] = {" Delay", " Attack",  " Hold",
                                                  " Decay", " Sustain", " Release"};
    clearLayout();
    appendRun("Master Tune", 2);
    for (int k = 1; k <= kOscillators; ++k)
        appendRange(oscillator(k) + " Detune", oscillator(k) + " Pan");
    appendRange("Ring Modulation Enabled", "Portamento Mode");
    for (const char* filter : {"Filter 1", "Filter 2"}) {
        for (const char* v : kFilterValues) appendParameter(std::string(filter) + v);
    }
    appendParameter("Filter Routing");
    for (const char* delay : {"Delay L", "Delay R"})
        appendRange(std::string(delay) + " Time", std::string(delay) + " Cross Feedback");
    appendParameter("Delay Link");
    appendParameter("Delay Filter Routing");
    for (const char* filter : {"Delay Filter 1", "Delay Filter 2"}) {
        for (const char* v : kFilterValues) appendParameter(std::string(filter) + v);
    }
    appendRange("Delay Enabled", "Dry Pan");
    const int lfoValues = version >= 4 ? kGroupSize : kGroupSize - 1;
    for (auto& group : scratch_) {
        for (int k = 0; k < lfoValues; ++k) appendMirror(&group[static_cast<size_t>(k)]);
    }
    if (version < 4) {
        for (int i = 0; i < kOldDroppedGlobals; ++i) appendDropped();
    }
    for (const char* eg : kEnvelopes) {
        for (const char* v : kEnvelopeValues) appendParameter(std::string(eg) + v);
    }
    for (int m = 1; m <= kOldMidiSources; ++m) {
        const std::string source = "MIDI Source " + std::to_string(m);
        appendRange(source + " Input", source + " Response Curve");
    }
    appendRange("Output Volume", "Stereo");
    totalVoicesPosition_ = appendDropped();
    unisonVoicesPosition_ = appendDropped();
    appendParameter("Polyphony");
    const int slotCount = version == 1 ? kOldSlotsVersion1 : kOldSlotsLater;
    oldSlots_.clear();
    for (int s = 1; s <= slotCount; ++s) {
        OldSlot old;
        old.source = appendDropped();
        appendParameter(slot(s) + " Level");
        old.target = appendDropped();
        oldSlots_.push_back(old);
    }
    if (version >= 3) {
        appendParameter("Unison Spread");
        appendParameter("Audition Signal");
    }
    resetUnmapped();
}

float VersionPresetLoader::stored(int position) {
    return slots()[static_cast<size_t>(position)].last;
}

void VersionPresetLoader::setVoiceCount(std::string_view name, float count) {
    // The list shows voice counts; take the first entry that holds at least `count` voices.
    AbstractPluginParameter* p = parameter(name);
    if (!p) return;
    const int lo = static_cast<int>(p->getMinimum());
    const int hi = static_cast<int>(p->getMaximum());
    int index = hi;
    for (int i = lo; i <= hi; ++i) {
        if (std::strtof(p->formatValue(static_cast<float>(i)).c_str(), nullptr) >= count) {
            index = i;
            break;
        }
    }
    p->setValue(static_cast<float>(index), 0);
}

void VersionPresetLoader::finishOldGeneration(int version) {
    set("Num Active EGs", kOldEnvelopes);
    set("Num Active MIDI Sources", kOldMidiSources);
    setVoiceCount("Total Voices", stored(totalVoicesPosition_));
    setVoiceCount("Unison Voices", stored(unisonVoicesPosition_));

    int activeSlots = 0;
    int usedLFOs = 0;
    for (int s = 1; s <= static_cast<int>(oldSlots_.size()); ++s) {
        const OldSlot& old = oldSlots_[static_cast<size_t>(s - 1)];
        const int source = static_cast<int>(stored(old.source));
        const int target = static_cast<int>(stored(old.target));
        float newSource = 0.0f;
        if (source >= kOldFirstLFOSource && source < kOldFirstEnvelopeSource) {
            newSource = static_cast<float>(kFirstXLFOSource + source - kOldFirstLFOSource + 1);
            usedLFOs = std::max(usedLFOs, source - kOldFirstLFOSource + 1);
        } else if (source >= kOldFirstEnvelopeSource && source < kOldFirstMidiSource) {
            newSource =
                static_cast<float>(kFirstEnvelopeSource + source - kOldFirstEnvelopeSource + 1);
        } else if (source >= kOldFirstMidiSource && source <= kOldLastSource) {
            newSource = static_cast<float>(kFirstMidiSource + source - kOldFirstMidiSource + 1);
        }
        const float newTarget =
            target >= 0 && target <= kOldLastTarget ? static_cast<float>(target) : 0.0f;
        set(slot(s) + " Source", newSource);
        set(slot(s) + " Target", newTarget);
        if (newSource != 0.0f || newTarget != 0.0f) activeSlots = s;
    }
    set("Num Active Slots", static_cast<float>(activeSlots));

    // Old LFO waves as two steps: (first value, first glide, second value, second glide).
    static constexpr float kWaves[4][4] = {
        {-1.0f, 1.0f, 1.0f, 1.0f},  // triangle
        {1.0f, 0.0f, -1.0f, 0.0f},  // square
        {-1.0f, 1.0f, 1.0f, 0.0f},  // saw up
        {1.0f, 1.0f, -1.0f, 0.0f},  // saw down
    };
    int activeLFOs = usedLFOs;
    for (int g = 0; g < kOldLFOs; ++g) {
        const auto& lfo = scratch_[static_cast<size_t>(g)];
        const std::string name = xlfo(g + 1);
        if (lfo[kEnabled] >= 0.5f) activeLFOs = std::max(activeLFOs, g + 1);
        set(name + " Frequency", lfo[kFrequency]);
        set(name + " Phase Offset", lfo[kPhase]);
        set(name + " Glide", lfo[kGlide]);
        set(name + " MIDI Trigger", lfo[kMidiTrigger]);
        set(name + " Sync Mode", version >= 4 ? lfo[kSyncMode] : 0.0f);
        const int wave = std::clamp(static_cast<int>(lfo[kWave]), 0, 3);
        set("Num Active " + name + " Steps", kOldLFOSteps);
        set(name + " Step 1 Value", kWaves[wave][0]);
        set(name + " Step 1 Glide", kWaves[wave][1]);
        set(name + " Step 2 Value", kWaves[wave][2]);
        set(name + " Step 2 Glide", kWaves[wave][3]);
    }
    set("Num Active XLFOs", static_cast<float>(activeLFOs));
}

// --- The synthesizer's preset-file load ---------------------------------------------------------

bool loadSynthPreset(GenericPlugin& plugin, BinaryDataReader& reader) {
    AbstractPluginParameter* wet = nullptr;
    for (int i = 0, n = plugin.getParameterCount(); i < n && !wet; ++i) {
        if (plugin.getParameter(i)->name() == kWetEnabled) wet = plugin.getParameter(i);
    }
    const float wetValue = wet ? wet->getValue() : 0.0f;

    const ParameterCollection collection = ParameterCollection::of(plugin);
    bool ok = ParameterRecord::loadCollection(collection, reader, kCurrentVersion);
    if (!ok && reader.rewind()) {
        VersionPresetLoader loader(plugin);
        ok = ParameterRecord::readRecord(loader, reader);
    }
    if (wet) wet->setValue(wetValue, 0);
    if (ok) plugin.queueResetMarker();
    return ok;
}

bool loadSynthPresetFile(GenericPlugin& plugin, const std::string& path) {
    BinaryFileReader reader(path);
    return loadSynthPreset(plugin, reader);
}

bool loadSynthPreset(GenericPlugin& plugin, std::span<const uint8_t> bytes) {
    BinaryMemoryReader reader(bytes);
    return loadSynthPreset(plugin, reader);
}
