#include "engine/VornPlugin.h"

#include "engine/ParameterCurves.h"
#include "engine/ParameterSetup.h"
#include "modulation/ModMatrixParamController.h"
#include "modulation/SynthTargetGroups.h"

namespace {

// Master section targets.
constexpr int kMasterTuneTarget = 0;
constexpr int kPortamentoTarget = 1;
constexpr int kDelayLevelTarget = 37;
constexpr int kDelayPanTarget = 38;
constexpr int kDryLevelTarget = 39;
constexpr int kDryPanTarget = 40;
constexpr int kOutputVolumeTarget = 103;
constexpr int kOutputPanTarget = 104;
constexpr int kStereoTarget = 105;
constexpr int kUnisonSpreadTarget = 106;

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

}  // namespace

VornPlugin::Parameters::Parameters(VornPlugin& plugin)
    : masterTune(&plugin, "Master Tune", plugin, kMasterTuneTarget),
      masterScale(&plugin, "Master Scale"),
      oscillators(OscillatorParameterSet::kCount,
                  makeSets<OscillatorParameterSet>(plugin, &plugin)),
      ringModulation(&plugin, "Ring Modulation Enabled"),
      portamento(&plugin, "Portamento", plugin, kPortamentoTarget),
      portamentoMode(&plugin, "Portamento Mode"),
      filters(2,
              [&plugin](int i) {
                  return std::make_unique<FilterParameterSet>(
                      &plugin, plugin, "Filter " + std::to_string(i + 1),
                      FilterParameterSet::kFirstVoiceFilterTarget +
                          FilterParameterSet::kTargetsPerFilter * i,
                      "filter " + std::to_string(i + 1));
              }),
      filterRouting(&plugin, "Filter Routing"),
      delays(2, makeSets<DelayParameterSet>(plugin, &plugin)),
      delayLink(&plugin, "Delay Link"),
      delayFilterRouting(&plugin, "Delay Filter Routing"),
      delayFilters(2,
                   [&plugin](int i) {
                       return std::make_unique<FilterParameterSet>(
                           &plugin, plugin, "Delay Filter " + std::to_string(i + 1),
                           FilterParameterSet::kFirstDelayFilterTarget +
                               FilterParameterSet::kTargetsPerFilter * i,
                           "delay filter " + std::to_string(i + 1));
                   }),
      delayEnabled(&plugin, "Delay Enabled"),
      delayLevel(&plugin, "Delay Level", plugin, kDelayLevelTarget),
      delayPan(&plugin, "Delay Pan", plugin, kDelayPanTarget),
      wetEnabled(&plugin, "Wet Enabled"),
      dryLevel(&plugin, "Dry Level", plugin, kDryLevelTarget),
      dryPan(&plugin, "Dry Pan", plugin, kDryPanTarget),
      xyControllers(
          &plugin, "XY Controllers", XYControllerParameterSet::kCount, 0, kNoTargets,
          XYControllerParameterSet::kFirstSource, kXYSourcesPerEntry,
          [&plugin](int i) { return std::make_unique<XYControllerParameterSet>(&plugin, i); }),
      xlfos(&plugin, "XLFOs", XLFOParameterSet::kCount, XLFOParameterSet::kFirstTarget,
            XLFOParameterSet::kTargetsPerXLFO, XLFOParameterSet::kFirstSource, kOneSource,
            makeSets<XLFOParameterSet>(plugin, &plugin)),
      envelopes(&plugin, "EGs", EnvelopeParameterSet::kCount, EnvelopeParameterSet::kFirstTarget,
                EnvelopeParameterSet::kTargetsPerEnvelope, EnvelopeParameterSet::kFirstSource,
                kOneSource, makeSets<EnvelopeParameterSet>(plugin, &plugin)),
      followers(&plugin, "EFs", FollowerParameterSet::kCount, FollowerParameterSet::kFirstTarget,
                FollowerParameterSet::kTargetsPerFollower, FollowerParameterSet::kFirstSource,
                kOneSource, makeSets<FollowerParameterSet>(plugin, &plugin)),
      midiSources(
          &plugin, "MIDI Sources", MidiSourceParameterSet::kCount, 0, kNoTargets,
          MidiSourceParameterSet::kFirstSource, kOneSource,
          [&plugin](int i) { return std::make_unique<MidiSourceParameterSet>(&plugin, i); }),
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
    for (int i = 0; i < 2; ++i) {
        filterLinkFreq.addParameter(&filters[i].freq);
        filterLinkPeak.addParameter(&filters[i].peak);
        delayFilterLinkFreq.addParameter(&delayFilters[i].freq);
        delayFilterLinkPeak.addParameter(&delayFilters[i].peak);
    }
    for (int k = 0; k < OscillatorParameterSet::kCount; ++k) {
        masterScale.addOscillator(&oscillators[k]);
    }
}

VornPlugin::VornPlugin() {
    initialize();
    assignSynthTargetGroups(createModulationMatrix());
    parameters_ = std::make_unique<Parameters>(*this);
    setupParameters();
    connectModulationLists();
    applyAllParameters();
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

VornPlugin::~VornPlugin() {
    parameters_.reset();
    finalize();
}

MidiVirtualPluginParameter* VornPlugin::virtualParameter(uint32_t id) const {
    const uint64_t index = static_cast<uint64_t>(id) - MidiVirtualPluginParameter::kFirstId;
    if (id < MidiVirtualPluginParameter::kFirstId || index >= virtualParameters_.size()) {
        return nullptr;
    }
    return virtualParameters_[index];
}

void VornPlugin::setupParameters() {
    Parameters& p = *parameters_;

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

void VornPlugin::applyAllParameters() {
    // Drains what setting up queued, then pushes every current value into the engine once.
    applyParameterChanges();
    for (int id = 0; id < getParameterCount(); ++id) {
        AbstractPluginParameter* parameter = getParameter(id);
        parameter->applyValue(parameter->getValue());
        audioParameterChanged(id);
    }
}
