#include "engine/VornPlugin.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "dsp/OscillatorTableCache.h"
#include "engine/NoteExpressions.h"
#include "engine/OscillatorVoice.h"
#include "engine/ParameterCurves.h"
#include "engine/ParameterSetup.h"
#include "engine/UnisonLayout.h"
#include "engine/VornEngine.h"
#include "engine/VornPresets.h"
#include "engine/VornSettings.h"
#include "engine/VornVoice.h"
#include "framework/SynthNumbering.h"
#include "midi/AbstractChannelEventReceiver.h"
#include "midi/AbstractMusicEventReceiver.h"
#include "midi/DefaultEventReceiver.h"
#include "midi/MidiDecoder.h"
#include "modulation/ModMatrixParamController.h"
#include "modulation/SynthTargetGroups.h"
#include "persistence/PluginStorage.h"
#include "persistence/VersionPresetLoader.h"
#include "persistence/VersionRecord.h"
#include "wave/Assert.h"

namespace {

// Master section targets.
using synth::kDelayLevelTarget;
using synth::kDelayPanTarget;
using synth::kDryLevelTarget;
using synth::kDryPanTarget;
using synth::kMasterTuneTarget;
using synth::kOutputPanTarget;
using synth::kOutputVolumeTarget;
using synth::kPortamentoTarget;
using synth::kStereoTarget;
using synth::kTargetsPerOscillator;
using synth::kUnisonSpreadTarget;
constexpr int kFirstDetuneTarget = synth::oscillatorTarget(0, synth::kDetuneTarget);

bool isDetuneTarget(int t) {
    return t >= kFirstDetuneTarget && t < kFirstDetuneTarget + 3 * kTargetsPerOscillator &&
           (t - kFirstDetuneTarget) % kTargetsPerOscillator == 0;
}

constexpr float kPitchModulationRange = 10.0f;  // octaves either way
constexpr double kDefaultTempo = 120.0;
// Seconds over which a released voice's modulation tracker falls silent.
constexpr float kModulationReleaseTime = 0.5f;
using synth::kFreeXLFOKey;
using synth::kRetriggeredXLFOKey;

// Sources and targets of the lists whose entries are modulation sources.
constexpr int kXYSourcesPerEntry = XYControllerParameterSet::kSourcesPerController;
constexpr int kNoTargets = 0;
constexpr int kOneSource = 1;

constexpr float kLongestPortamento = 5.0f;  // seconds
constexpr float kDefaultDelayLevel = 0.5f;
constexpr float kDefaultOutputVolume = 0.7f;
constexpr float kMaximumStereo = 2.0f;
constexpr float kDefaultUnisonSpread = 0.5f;
constexpr float kPercentScale = 100.0f;

// Voice counts offered by "Total Voices" and "Unison Voices".
const std::vector<int> kVoiceCounts = {1, 2, 3, 4, 6, 8, 10, 12, 16, 20, 24, 32};
constexpr int kDefaultTotalVoices = 4;
constexpr int kDefaultUnisonVoices = 1;
constexpr int kPoly = 1;
constexpr int kMinimumEnvelopes = 1;  // "EG Main" always exists

template <typename S>
auto makeSets(ModulationMatrixPlugin& plugin, GenericParameterOwner* owner) {
    return [&plugin, owner](int i) { return std::make_unique<S>(owner, plugin, i); };
}

// Sets that are modulation sources only and need no matrix plug-in.
template <typename S>
auto makeSourceSets(GenericParameterOwner* owner) {
    return [owner](int i) { return std::make_unique<S>(owner, i); };
}

// "Filter 1", "Filter 2" or "Delay Filter 1", "Delay Filter 2".
auto makeFilterSets(VornPlugin& plugin, const std::string& name, int firstTarget,
                    const std::string& subject) {
    return [&plugin, name, firstTarget, subject](int i) {
        const std::string number = std::to_string(i + 1);
        return std::make_unique<FilterParameterSet>(
            &plugin, plugin, name + number, firstTarget + FilterParameterSet::kTargetsPerFilter * i,
            subject + number);
    };
}

// The virtual link parameters move both filters of a pair; the master scale retunes every
// oscillator.
void linkParameterGroups(VornPlugin::Parameters& p) {
    for (int i = 0; i < 2; ++i) {
        p.filterLinkFreq.addParameter(&p.filters[i].freq);
        p.filterLinkPeak.addParameter(&p.filters[i].peak);
        p.delayFilterLinkFreq.addParameter(&p.delayFilters[i].freq);
        p.delayFilterLinkPeak.addParameter(&p.delayFilters[i].peak);
    }
    for (int k = 0; k < OscillatorParameterSet::kCount; ++k) {
        p.masterScale.addOscillator(&p.oscillators[k]);
    }
}

}  // namespace

VornPlugin::Parameters::Parameters(VornPlugin& plugin)
    : masterTune(&plugin, "Master Tune", plugin, kMasterTuneTarget),
      masterScale(&plugin, "Master Scale"),
      oscillators(OscillatorParameterSet::kCount,
                  makeSets<OscillatorParameterSet>(plugin, &plugin)),
      ringModulation(&plugin, "Ring Modulation Enabled"),
      portamento(&plugin, "Portamento", plugin, kPortamentoTarget),
      portamentoMode(&plugin, "Portamento Mode"),
      filters(2, makeFilterSets(plugin, "Filter ", FilterParameterSet::kFirstVoiceFilterTarget,
                                "filter ")),
      filterRouting(&plugin, "Filter Routing"),
      delays(2, makeSets<DelayParameterSet>(plugin, &plugin)),
      delayLink(&plugin, "Delay Link"),
      delayFilterRouting(&plugin, "Delay Filter Routing"),
      delayFilters(2, makeFilterSets(plugin, "Delay Filter ",
                                     FilterParameterSet::kFirstDelayFilterTarget, "delay filter ")),
      delayEnabled(&plugin, "Delay Enabled"),
      delayLevel(&plugin, "Delay Level", plugin, kDelayLevelTarget),
      delayPan(&plugin, "Delay Pan", plugin, kDelayPanTarget),
      wetEnabled(&plugin, "Wet Enabled"),
      dryLevel(&plugin, "Dry Level", plugin, kDryLevelTarget),
      dryPan(&plugin, "Dry Pan", plugin, kDryPanTarget),
      xyControllers(&plugin, "XY Controllers", XYControllerParameterSet::kCount, 0, kNoTargets,
                    XYControllerParameterSet::kFirstSource, kXYSourcesPerEntry,
                    makeSourceSets<XYControllerParameterSet>(&plugin)),
      xlfos(&plugin, "XLFOs", XLFOParameterSet::kCount, XLFOParameterSet::kFirstTarget,
            XLFOParameterSet::kTargetsPerXLFO, XLFOParameterSet::kFirstSource, kOneSource,
            makeSets<XLFOParameterSet>(plugin, &plugin)),
      envelopes(&plugin, "EGs", EnvelopeParameterSet::kCount, EnvelopeParameterSet::kFirstTarget,
                EnvelopeParameterSet::kTargetsPerEnvelope, EnvelopeParameterSet::kFirstSource,
                kOneSource, makeSets<EnvelopeParameterSet>(plugin, &plugin)),
      followers(&plugin, "EFs", FollowerParameterSet::kCount, FollowerParameterSet::kFirstTarget,
                FollowerParameterSet::kTargetsPerFollower, FollowerParameterSet::kFirstSource,
                kOneSource, makeSets<FollowerParameterSet>(plugin, &plugin)),
      midiSources(&plugin, "MIDI Sources", MidiSourceParameterSet::kCount, 0, kNoTargets,
                  MidiSourceParameterSet::kFirstSource, kOneSource,
                  makeSourceSets<MidiSourceParameterSet>(&plugin)),
      auditionSignal(&plugin, "Audition Signal"),
      outputVolume(&plugin, "Output Volume", plugin, kOutputVolumeTarget),
      outputPan(&plugin, "Output Pan", plugin, kOutputPanTarget),
      stereo(&plugin, "Stereo", plugin, kStereoTarget),
      totalVoices(&plugin, "Total Voices"),
      unisonVoices(&plugin, "Unison Voices"),
      polyphony(&plugin, "Polyphony"),
      unisonSpread(&plugin, "Unison Spread", plugin, kUnisonSpreadTarget),
      slots(&plugin, "Slots", ModulationSlotParameterSet::kCount,
            ModulationSlotParameterSet::kFirstLevelTarget, 1,
            makeSets<ModulationSlotParameterSet>(plugin, &plugin)),
      filterLinkFreq(plugin.virtualParameters_, "Filter Link Freq"),
      filterLinkPeak(plugin.virtualParameters_, "Filter Link Peak"),
      delayFilterLinkFreq(plugin.virtualParameters_, "Delay Filter Link Freq"),
      delayFilterLinkPeak(plugin.virtualParameters_, "Delay Filter Link Peak") {
    linkParameterGroups(*this);
}

VornPlugin::VornPlugin() : expressions_(std::make_unique<NoteExpressions>()) {
    initialize();
    assignSynthTargetGroups(createModulationMatrix());
    parameters_ = std::make_unique<Parameters>(*this);
    setupParameters();
    connectModulationLists();
    assignTargetRanges();
    engine_ = std::make_unique<Engine>(*this, environment(), globals());
    expressions_->attach(engine_.get());
    engine_->bind(*parameters_);
    parameters_->totalVoices.bind(&totalVoices_);
    parameters_->unisonVoices.bind(&unisonVoices_);
    modulationMatrix()->setReleaseTime(kModulationReleaseTime);
    applyAllParameters();
    environment().markReset();
    presets_ = std::make_unique<VornPresets>(*this);
}

namespace {
std::unique_ptr<VornPlugin::Globals> sharedGlobals;
}  // namespace

VornPlugin::Globals& VornPlugin::globals() {
    return *sharedGlobals;
}

void VornPlugin::createGlobals() {
    ModulationMatrixPlugin::createGlobals();
    sharedGlobals = std::make_unique<Globals>();
    loadOrBuildOscillatorTables(sharedGlobals->oscillatorStyle, VersionRecord().userDataFolder());
}

std::unique_ptr<GenericPlugin::Settings> VornPlugin::createSettings() {
    return std::make_unique<VornSettings>();
}

std::unique_ptr<GenericPlugin::Storage> VornPlugin::createStorage() {
    return std::make_unique<PluginStorage>();
}

MidiControllerMap& VornPlugin::controllerMap() {
    return static_cast<PluginStorage*>(storage())->controllerMap();
}

std::unique_ptr<MidiMessageReceiver> VornPlugin::createMidiDecoder() {
    auto receiver = std::make_unique<DefaultEventReceiver>(*this, &controllerMap());
    eventReceiver_ = receiver.get();
    auto decoder = std::make_unique<MidiDecoder>(std::move(receiver));
    decoder->setMpe(&mpeZones_, expressions_.get());
    mpeZones_.configure(MpeZones::kLowerManager, static_cast<VornSettings&>(settings()).mpeMembers);
    return decoder;
}

void VornPlugin::setMpeMembers(int members) {
    static_cast<VornSettings&>(settings()).mpeMembers = members;
    settings().markDirty();
    mpeZones_.configure(MpeZones::kLowerManager, members);
    if (members == 0) mpeZones_.configure(MpeZones::kUpperManager, 0);
}

int VornPlugin::editorWidth() {
    return static_cast<VornSettings&>(settings()).showModulation ? kEditorWidth
                                                                 : kNarrowEditorWidth;
}

int VornPlugin::editorHeight() {
    return static_cast<VornSettings&>(settings()).interfaceLayout == 1 ? kEditorHeight
                                                                       : kShortEditorHeight;
}

void VornPlugin::destroyGlobals() {
    VornPresets::destroyGlobals();
    sharedGlobals.reset();
    ModulationMatrixPlugin::destroyGlobals();
}

void VornPlugin::assignTargetRanges() {
    ModulationMatrix& m = *modulationMatrix();
    for (int t = 0; t < kFirstSlotLevelTarget; ++t) {
        if (m.target(t).group >= 0) continue;
        auto* parameter = dynamic_cast<FloatPluginParameter*>(targetParameter(t));
        if (!parameter) continue;
        const float a = parameter->engineValue(parameter->getMinimum());
        const float b = parameter->engineValue(parameter->getMaximum());
        float lower = std::min(a, b);
        float upper = std::max(a, b);
        // A slot at full Level sweeps the parameter's whole range.
        float depth = upper - lower;
        if (t == kMasterTuneTarget || isDetuneTarget(t)) {
            // Pitch: the tune adds octave shifts to the parameter, and modulation counts in
            // octaves.
            lower = -kPitchModulationRange;
            upper = kPitchModulationRange;
            depth = 1.0f;
        }
        m.setTargetRange(t, lower, upper, depth);
    }
}

void VornPlugin::releaseNotes(int note, float velocity) {
    engine_->voiceManager.noteOff(note, velocity);
}

void VornPlugin::sustainPedal(bool down) {
    const bool enabled = static_cast<VornSettings&>(settings()).sustainPedal;
    engine_->voiceManager.setSustain(down && enabled);
}

void VornPlugin::triggerNote(int note, float velocity) {
    // Keys the keyboard map leaves out stay silent.
    if (!tuning_.key(note).mapped) return;
    engine_->voiceManager.noteOn(note, velocity);
    for (auto& xlfo : engine_->xlfos) xlfo->noteOn();
}

void VornPlugin::setTransport(double tempo, double beat) {
    if (std::fabs(tempo) <= wave::Environment::kEpsilon) tempo = kDefaultTempo;
    for (auto& frequency : engine_->xlfoFrequencies) {
        if (frequency->syncMode != XLFOFreqController::kFree) {
            frequency->setTransport(static_cast<float>(tempo), beat);
        }
    }
    engine_->delayUnit.setTempo(static_cast<float>(tempo));
}

void VornPlugin::prepareInputs(const float* const* inputs, int count, int frames) {
    const float* silent = environment().silentBuffer().data();
    const bool on = acceptsSideChain() && sideChainEnabled_;
    for (int k = 0; k < Engine::kSides; ++k) {
        const float* data = on && inputs && k < count && inputs[k] ? inputs[k] : silent;
        engine_->sideChainInputs[static_cast<size_t>(k)]->setSource(
            data, data == silent ? 0u : static_cast<uint32_t>(frames));
    }
}

void VornPlugin::render(const float** channelData, int channels, int frames) {
    VORN_ASSERT(frames > 0 && static_cast<uint32_t>(frames) <= environment().blockSize());
    const uint32_t n = static_cast<uint32_t>(frames);
    engine_->voiceManager.advanceClock(n);
    for (int k = 0; k < std::min(channels, Engine::kSides); ++k) {
        channelData[k] = engine_->outputs[static_cast<size_t>(k)]->pull(n, 0);
    }
    publishDisplayValues(n);
}

void VornPlugin::audioParameterChanged(int id) {
    ModulationMatrixPlugin::audioParameterChanged(id);
    Parameters& p = *parameters_;
    const bool all = id < 0;
    if (all || id == static_cast<int>(p.delayEnabled.id()))
        engine_->delayUnit.enabled = p.delayEnabled.getValue() > 0.5f;
    if (all || id == static_cast<int>(p.wetEnabled.id()))
        engine_->delayUnit.wetEnabled = p.wetEnabled.getValue() > 0.5f;
    updateSourceActivity(id);
    for (int k = 0; k < XLFOParameterSet::kCount; ++k) {
        AbstractPluginParameter& trigger = p.xlfos[k].midiTrigger;
        if (!all && id != static_cast<int>(trigger.id())) continue;
        modulationMatrix()->setSourceEntry(
            XLFOParameterSet::kFirstSource + k, engine_->xlfos[static_cast<size_t>(k)].get(),
            trigger.getValue() > 0.5f ? kRetriggeredXLFOKey : kFreeXLFOKey);
    }
    for (int k = 0; k < EnvelopeParameterSet::kCount; ++k) {
        AbstractPluginParameter& triggering = p.envelopes[k].triggering;
        if (!all && id != static_cast<int>(triggering.id())) continue;
        const bool sideChain = triggering.getValue() > 0.5f;
        engine_->sideChainTriggered[static_cast<size_t>(k)] = k != 0 && sideChain;
        // The main envelope never follows the side chain.
        engine_->triggers[static_cast<size_t>(k)]->enabled = k != 0 && sideChain;
        for (auto& voice : engine_->voices) voice->envelope(k).closeGate();
    }
}

void VornPlugin::updateSourceActivity(int id) {
    Parameters& p = *parameters_;
    struct ListSources {
        AbstractParameterSetList& list;
        int firstSource;
        int sourcesPerEntry;
        int entries;
    };
    const ListSources lists[] = {
        {p.xyControllers, XYControllerParameterSet::kFirstSource, kXYSourcesPerEntry,
         XYControllerParameterSet::kCount},
        {p.xlfos, XLFOParameterSet::kFirstSource, kOneSource, XLFOParameterSet::kCount},
        {p.envelopes, EnvelopeParameterSet::kFirstSource, kOneSource, EnvelopeParameterSet::kCount},
        {p.followers, FollowerParameterSet::kFirstSource, kOneSource, FollowerParameterSet::kCount},
        {p.midiSources, MidiSourceParameterSet::kFirstSource, kOneSource,
         MidiSourceParameterSet::kCount},
    };
    ModulationMatrix& m = *modulationMatrix();
    bool changed = false;
    for (const ListSources& l : lists) {
        if (id >= 0 && id != static_cast<int>(l.list.numActive().id())) continue;
        const int active = l.list.activeCount();
        for (int e = 0; e < l.entries; ++e) {
            for (int j = 0; j < l.sourcesPerEntry; ++j) {
                m.setSourceActive(l.firstSource + e * l.sourcesPerEntry + j, e < active);
            }
        }
        changed = true;
    }
    if (!changed) return;
    // Slots of entries that came or went change state.
    for (int i = 0; i < m.slotCount(); ++i) m.updateSlot(i, ModulationMatrix::kUpdateFlags);
    // Units of inactive entries rest: nobody reads them.
    Engine& e = *engine_;
    for (int k = 0; k < Engine::kXLFOs; ++k) {
        const bool on = m.source(XLFOParameterSet::kFirstSource + k).active;
        environment().setEnabled(e.xlfos[static_cast<size_t>(k)].get(), on);
        environment().setEnabled(e.xlfoFrequencies[static_cast<size_t>(k)].get(), on);
    }
    for (int k = 0; k < Engine::kFollowers; ++k) {
        environment().setEnabled(e.followers[static_cast<size_t>(k)].get(),
                                 m.source(FollowerParameterSet::kFirstSource + k).active);
    }
}

void VornPlugin::setTargetBaseValue(int target, float value, float rampMs) {
    ModulationMatrixPlugin::setTargetBaseValue(target, value, rampMs);
    if (!engine_) return;
    DelayEffectUnit& delay = engine_->delayUnit;
    switch (target) {
        case kDelayLevelTarget:
        case kDelayPanTarget:
            delay.setDelayLevel(targetBaseValue(kDelayLevelTarget),
                                targetBaseValue(kDelayPanTarget), rampMs);
            return;
        case kDryLevelTarget:
        case kDryPanTarget:
            delay.setDryLevel(targetBaseValue(kDryLevelTarget), targetBaseValue(kDryPanTarget),
                              rampMs);
            return;
        default:
            break;
    }
    const int filterTarget = target - FilterParameterSet::kFirstDelayFilterTarget;
    if (filterTarget >= 0 && filterTarget < 2 * FilterParameterSet::kTargetsPerFilter) {
        DelayEffectUnit::FilterSettings& settings =
            delay.filterSettings(filterTarget / FilterParameterSet::kTargetsPerFilter);
        switch (filterTarget % FilterParameterSet::kTargetsPerFilter) {
            case 0:
                settings.frequency().setTarget(value, rampMs);
                break;
            case 1:
                settings.pan().setTarget(value, rampMs);
                break;
            default:
                settings.peak().setTarget(value, rampMs);
                break;
        }
    }
}

// The sources' values at the block's end, in the newest sounding voice, for the editor.
void VornPlugin::publishDisplayValues(uint32_t frames) {
    NoteVoice* newest = engine_->voiceManager.newestVoice();
    const VoiceMatrix* voice = newest ? &static_cast<VornVoice*>(newest)->matrix() : nullptr;
    for (int s = 0; s < kSourceCount; ++s) {
        const wave::Producer* p =
            voice ? voice->sourceFor(s, false) : modulationMatrix()->source(s).global;
        float value = std::numeric_limits<float>::quiet_NaN();
        if (p && p->producedInChunk() && p->outputData())
            value = p->outputData()[p->isConstant() ? 0 : frames - 1];
        publishDisplayValue(s, value);
    }
}

void VornPlugin::propertyChanged(const void* /*property*/) {
    layoutUnison();
}

void VornPlugin::layoutUnison() {
    const int total = totalVoices_;
    const int unison = unisonVoices_;
    if (total <= 0 || unison <= 0) return;
    Engine& e = *engine_;
    AbstractChannelEventReceiver* all = nullptr;
    if (AbstractMusicEventReceiver* receiver = eventReceiver()) all = receiver->channelReceiver(0);
    for (auto& voice : e.voices) {
        if (all) all->removeListener(&voice->midiCache());
    }
    const int u = UnisonLayout::voicesPerNote(total, unison);
    const int notes = UnisonLayout::notesAtATime(total, unison);
    e.voiceManager.voiceCount = notes;
    for (int j = 0; j < notes; ++j) {
        VornVoice& voice = *e.voices[static_cast<size_t>(j)];
        voice.clearUnison();
        if (all) all->addListener(&voice.midiCache());
        for (int i = 0; i < u; ++i) {
            voice.addUnison(*e.oscillatorVoicePool[static_cast<size_t>(j * u + i)],
                            static_cast<float>(unisonPosition(i, u)));
        }
    }
}

void VornPlugin::connectModulationLists() {
    Parameters& p = *parameters_;
    const ModulationControllerFactory factory = [this] {
        Parameters& q = *parameters_;
        std::vector<ModMatrixParamController::SlotParameters> slots;
        for (int i = 0; i < ModulationSlotParameterSet::kCount; ++i) {
            ModulationSlotParameterSet& s = q.slots[i];
            slots.push_back({&s.source, &s.target, &s.inverted, &s.bypassed, &s.level});
        }
        return std::make_unique<ModMatrixParamController>(
            *this, std::move(slots), modulationMatrix(),
            ModulationSlotParameterSet::kFirstLevelTarget);
    };
    p.xyControllers.setControllerFactory(factory);
    p.xlfos.setControllerFactory(factory);
    p.envelopes.setControllerFactory(factory);
    p.followers.setControllerFactory(factory);
    p.midiSources.setControllerFactory(factory);
    p.slots.setControllerFactory(factory);
}

bool VornPlugin::loadPresetFile(const std::string& path) {
    return loadSynthPresetFile(*this, path);
}

bool VornPlugin::savePreset(const std::string& path) {
    return presets_->savePreset(path);
}

void VornPlugin::resetProgramChange() {
    if (presets_) presets_->resetProgramChange();
}

VornPlugin::~VornPlugin() {
    presets_.reset();
    engine_.reset();
    parameters_.reset();
    finalize();
}

void VornPlugin::receiveMidi(const MidiEvent& event) {
    GenericPlugin::receiveMidi(event);
    editorMidi_.push(event);
}

void VornPlugin::setLearnParameter(int32_t id) {
    if (eventReceiver_) eventReceiver_->setLearnParameter(id);
}

namespace {

// Tuning, oscillators, portamento and the voice filters.
void setupVoiceSection(VornPlugin::Parameters& p) {
    setupContinuous(p.masterTune, -1.0f, 1.0f, 0.0f,
                    "Tuning of the whole instrument, up to an octave up or down.");
    p.masterTune.setUnit(octavesParameterUnit());
    setupList(p.masterScale, -1, 2, 0, "32\",16\",8\",4\"",
              "Octave register of all oscillators, in organ footage.");
    p.oscillators.setupSets();
    setupList(p.ringModulation, 0, 1, false, kToggleNames,
              "Switches the ring modulation of the oscillators on or off.");
    setupContinuous(p.portamento, 0.0f, 1.0f, 0.0f, "Glide time from one note to the next.");
    setTimeTaper(p.portamento, 0.0f, kLongestPortamento);
    setupList(p.portamentoMode, 0, 1, 0, "Normal,Legato",
              "Normal glides into every note, Legato only into notes played while others are "
              "held.");

    p.filters.setupSets();
    setupList(p.filterRouting, 0, 2, 0, "Serial,Parallel,Per Osc",
              "How the oscillators pass through the two filters.");
}

// The delay lines, their filters and the wet and dry mix.
void setupDelaySection(VornPlugin::Parameters& p) {
    p.delays.setupSets();
    setupList(p.delayLink, 0, 1, 0, "Separate,Linked",
              "Whether the two delay lines share their settings.");
    setupList(p.delayFilterRouting, 0, 2, 0, "Serial,Parallel,Per Delay",
              "How the delayed signal passes through the two delay filters.");
    p.delayFilters.setupSets();
    setupList(p.delayEnabled, 0, 1, false, kToggleNames, "Switches the delay effect on or off.");
    setupContinuous(p.delayLevel, 0.0f, 1.0f, kDefaultDelayLevel,
                    "Level of the delayed signal in the output.");
    showDecibels(p.delayLevel);
    setupContinuous(p.delayPan, -1.0f, 1.0f, 0.0f, "Stereo position of the delayed signal.");
    setupList(p.wetEnabled, 0, 1, true, kToggleNames,
              "Switches the delayed signal in the output on or off.");
    setupContinuous(p.dryLevel, 0.0f, 1.0f, 1.0f, "Level of the direct signal in the output.");
    showDecibels(p.dryLevel);
    setupContinuous(p.dryPan, -1.0f, 1.0f, 0.0f, "Stereo position of the direct signal.");
}

// The lists of modulation sources.
void setupSourceLists(VornPlugin::Parameters& p) {
    p.xyControllers.numActive().setHelpText("Number of XY controllers in use.");
    p.xyControllers.setupSets();
    p.xlfos.numActive().setHelpText("Number of XLFOs in use.");
    p.xlfos.setupSets();
    p.envelopes.numActive().declare(kMinimumEnvelopes, EnvelopeParameterSet::kCount,
                                    kMinimumEnvelopes);
    p.envelopes.numActive().setHelpText("Number of envelope generators in use.");
    p.envelopes.setupSets();
    p.followers.numActive().setHelpText("Number of envelope followers in use.");
    p.followers.setupSets();
    p.midiSources.numActive().setHelpText("Number of MIDI modulation sources in use.");
    p.midiSources.setupSets();
}

// Output, voices and the modulation slots.
void setupOutputSection(VornPlugin::Parameters& p) {
    setupList(p.auditionSignal, 0, 1, 0, "Output,Side Chain",
              "Plays the synthesizer, or the side-chain input to check it.");
    setupContinuous(p.outputVolume, 0.0f, 1.0f, kDefaultOutputVolume, "Overall output volume.");
    p.outputVolume.setTaper(volumeCurve, volumeCurveInverse);
    p.outputVolume.setUnit(dbParameterUnit());
    p.outputVolume.setDisplayFunctions(outputVolumeToDisplay, outputVolumeFromDisplay);
    setupContinuous(p.outputPan, -1.0f, 1.0f, 0.0f, "Stereo balance of the output.");
    setupContinuous(p.stereo, 0.0f, kMaximumStereo, 1.0f,
                    "Stereo width of the output: 0 is mono, 1 leaves it as it is, above 1 "
                    "widens it.");
    p.stereo.setDisplayFunctions(stereoToDisplay, stereoFromDisplay);
    setupList(p.totalVoices, 0, 0, kDefaultTotalVoices, "",
              "How many voices can sound at the same time.");
    p.totalVoices.setValueMap(kVoiceCounts, 0);
    setupList(p.unisonVoices, 0, 0, kDefaultUnisonVoices, "",
              "How many detuned voices play every note.");
    p.unisonVoices.setValueMap(kVoiceCounts, 0);
    setupList(p.polyphony, 0, 1, kPoly, "Mono,Poly",
              "Mono plays one note at a time, Poly plays chords.");
    setupContinuous(p.unisonSpread, 0.0f, 1.0f, kDefaultUnisonSpread,
                    "Detuning between the unison voices.");
    p.unisonSpread.setTaper(timeCurve, timeCurveInverse);
    p.unisonSpread.setDisplayScale(kPercentScale, 0.0f);
    p.unisonSpread.setUnitByName("%");
    p.unisonSpread.setFormat("%.0f");

    p.slots.numActive().setHelpText("Number of modulation slots in use.");
    p.slots.setupSets();
}

}  // namespace

void VornPlugin::setupParameters() {
    Parameters& p = *parameters_;
    setupVoiceSection(p);
    setupDelaySection(p);
    setupSourceLists(p);
    setupOutputSection(p);
}

void VornPlugin::applyAllParameters() {
    // Drains what setting up queued, then pushes every current value into the engine once.
    applyParameterChanges();
    for (int id = 0; id < getParameterCount(); ++id) {
        AbstractPluginParameter* parameter = getParameter(id);
        parameter->applyValue(parameter->getValue());
        audioParameterChanged(id);
    }
}

bool VornPlugin::noteSounding(int note) const {
    return engine_->voiceManager.isSounding(note);
}

bool VornPlugin::setTuning(std::string_view scale, std::string_view keymap, std::string& error,
                           std::string_view scaleName, std::string_view keymapName) {
    std::unique_ptr<TuningTable> table =
        TuningTable::create(scale, keymap, error, scaleName, keymapName);
    if (!table) return false;
    tuning_.set(std::move(table));
    return true;
}
