#pragma once

#include <array>
#include <memory>
#include <vector>

#include "dsp/CurveSet.h"
#include "dsp/DcBlocker.h"
#include "dsp/DelayEffectUnit.h"
#include "dsp/DesignFilter.h"
#include "dsp/EnvelopeFollower.h"
#include "dsp/MultiDesignFilter.h"
#include "dsp/Oscillator.h"
#include "dsp/OscillatorStyle.h"
#include "dsp/Trigger.h"
#include "dsp/XLFO.h"
#include "dsp/XLFOFreqController.h"
#include "engine/StereoSpread.h"
#include "engine/UnisonLayout.h"
#include "engine/VoiceManager.h"
#include "engine/VornPlugin.h"
#include "modulation/LevelPanTarget.h"
#include "modulation/MidiModSource.h"
#include "modulation/VoiceMatrix.h"
#include "modulation/XYControllerSource.h"
#include "wave/Mixer.h"
#include "wave/Router.h"

// What every instance shares: envelope curves, the oscillators' wave tables and the filter
// characteristics. Built by the first instance, read-only while audio runs.
struct VornPlugin::Globals {
    Globals();

    CurveSet curves;
    Oscillator::Style oscillatorStyle;
    MultiDesignFilter::StyleList filterStyles;
};

// The synthesizer's processing graph, built once; parameters change only selections, enabled
// states and unison membership.
struct VornPlugin::Engine : public PropertyOwner {
    static constexpr int kSides = 2;
    static constexpr int kXYControllers = 4;
    static constexpr int kXLFOs = 6;
    static constexpr int kEnvelopes = 6;
    static constexpr int kFollowers = 4;
    static constexpr int kMidiSources = 10;
    static constexpr int kOscillators = 3;
    static constexpr int kFilters = 2;

    Engine(VornPlugin& owner, wave::Environment& environment, Globals& globals);
    ~Engine() override;

    // Connects the parameters to the graph's properties and sources.
    void bind(Parameters& p);
    void propertyChanged(const void* property) override;

private:
    // The graph's sections, built in this order.
    void buildSideChain();
    void buildLevelPans();
    void buildTriggersAndXLFOs();
    void buildOtherSources();
    void buildVoices(Globals& globals);
    void buildMasterSection();
    void bindVoices(Parameters& p);
    void bindSources(Parameters& p);
    void bindDelay(Parameters& p);

public:
    VornPlugin& plugin;
    wave::Environment& env;
    ModulationMatrix& matrix;
    // The plug-in-wide view of the matrix: units that exist once read their targets here.
    VoiceMatrix master;
    VoiceManager voiceManager;
    Property<int> polyphony{this, VoiceManager::Poly};
    Property<int> portamentoMode{this, VoiceManager::Normal};

    std::array<std::unique_ptr<wave::Input>, kSides> sideChainInputs;
    wave::Mixer sideChainLevel;
    std::array<std::unique_ptr<wave::Router>, kSides> outputs;
    Property<int> auditionSignal{this, 0};

    std::array<std::unique_ptr<LevelPanTarget>, kOscillators> oscLevelPan;
    std::array<std::unique_ptr<LevelPanTarget>, kFilters> filterLevelPan;
    std::unique_ptr<LevelPanTarget> outputLevelPan;

    std::array<std::unique_ptr<Trigger>, kEnvelopes> triggers;
    std::array<bool, kEnvelopes> sideChainTriggered{};
    // The unison detune generator of this instance: instances on different threads share nothing
    // and play alike from the same start.
    uint32_t unisonRandomState = UnisonLayout::kLcgSeed;
    std::array<std::unique_ptr<XLFO>, kXLFOs> xlfos;
    std::array<std::unique_ptr<XLFOFreqController>, kXLFOs> xlfoFrequencies;
    std::array<std::unique_ptr<EnvelopeFollower>, kFollowers> followers;
    std::array<std::unique_ptr<XYControllerSource>, kXYControllers> xyControllers;
    MidiModSource::Cache midiCache;
    std::array<std::unique_ptr<MidiModSource>, kMidiSources> midiSources;

    // Per filter, the units of every pair: they render together.
    std::array<GenericFilter::UnitGroup, kFilters> filterGroups;
    // Per pair of voices, the parallel units of filter 1 and filter 2.
    std::vector<std::array<std::unique_ptr<DesignFilter>, kFilters>> filterUnits;
    std::vector<std::unique_ptr<OscillatorVoice>> oscillatorVoicePool;
    std::vector<std::unique_ptr<VornVoice>> voices;

    DelayEffectUnit delayUnit;
    StereoSpread stereoSpread;
    // The filters' asymmetric saturation leaves an offset; the output stage takes it out.
    std::array<std::unique_ptr<DcBlocker>, kSides> dcBlockers;
};
