#include "engine/VornEngine.h"

#include "engine/OscillatorVoice.h"
#include "engine/ParameterCurves.h"
#include "engine/VornVoice.h"
#include "framework/GenericPlugin.h"
#include "framework/SynthNumbering.h"
#include "midi/AbstractChannelEventReceiver.h"
#include "midi/AbstractMusicEventReceiver.h"
#include "persistence/ResourceOpener.h"
#include "wave/MixKernels.h"

namespace {

// Tone constants of the synthesizer's oscillators.
Oscillator::Style::Tones synthTones() {
    Oscillator::Style::Tones t;
    t.triangleGain = 0.7f;
    t.triangleRolloff = 0.45f;
    t.triangleSawMix = 0.02f;
    t.sawGain = 0.5f;
    t.squareGain = 0.6f;
    t.squareMix = 0.5f;
    t.whiteNoiseLevel = 0.2f;
    t.analogNoiseLevel = 0.0006f;
    return t;
}

// Sources.
using synth::kEnvelopeKey;
using synth::kFirstEnvelopeSource;
using synth::kFirstFollowerSource;
using synth::kFirstMidiSource;
using synth::kFirstXLFOSource;
using synth::kFirstXYSource;
using synth::kFollowerKey;
using synth::kFreeXLFOKey;
using synth::kMidiKey;
using synth::kXYKey;

// Targets.
constexpr int kOscLevelTargets[] = {synth::oscillatorTarget(0, synth::kLevelTarget),
                                    synth::oscillatorTarget(1, synth::kLevelTarget),
                                    synth::oscillatorTarget(2, synth::kLevelTarget)};
constexpr int kFilterFreqTargets[] = {synth::filterTarget(0, synth::kFreqTarget),
                                      synth::filterTarget(1, synth::kFreqTarget)};
using synth::kFirstDelayTarget;
using synth::kFirstFollowerTarget;
using synth::kFirstXLFOTarget;
using synth::kOutputVolumeTarget;
using synth::kStereoTarget;
using synth::kTargetsPerDelay;
using synth::kTargetsPerFollower;
using synth::kTargetsPerXLFO;

constexpr int kSideChainLevelMode = static_cast<int>(wave::MixMode::kMaxMagnitude);
constexpr int kAllChannels = 0;
constexpr uint32_t kSeedsPerVoice = 7;

}  // namespace

VornPlugin::Globals::Globals() {
    oscillatorStyle.setTones(synthTones());
    filterStyles.addStandard(openResource);
}

VornPlugin::Engine::Engine(VornPlugin& owner, wave::Environment& environment, Globals& globals)
    : plugin(owner),
      env(environment),
      matrix(*owner.modulationMatrix()),
      master(matrix),
      voiceManager(environment),
      sideChainLevel(environment, kSides),
      midiCache(MidiModSource::Cache::kAnyNote),
      delayUnit(environment, globals.filterStyles),
      stereoSpread(environment) {
    midiCache.setTuning(&owner.tuning());
    buildSideChain();
    buildLevelPans();
    buildTriggersAndXLFOs();
    buildOtherSources();
    buildVoices(globals);
    buildMasterSection();

    // MIDI reaches the plug-in-wide cache always and the voices' caches through the unison
    // layout.
    if (AbstractMusicEventReceiver* receiver = plugin.eventReceiver()) {
        if (AbstractChannelEventReceiver* all = receiver->channelReceiver(kAllChannels)) {
            all->addListener(&midiCache);
        }
    }
}

void VornPlugin::Engine::buildSideChain() {
    // Side chain and audition routers.
    sideChainLevel.setMode(kSideChainLevelMode);
    for (int k = 0; k < kSides; ++k) {
        sideChainInputs[static_cast<size_t>(k)] = std::make_unique<wave::Input>(env);
        sideChainLevel.setSignal(k, sideChainInputs[static_cast<size_t>(k)].get());
        outputs[static_cast<size_t>(k)] = std::make_unique<wave::Router>(env);
    }
}

void VornPlugin::Engine::buildLevelPans() {
    // Level/pan targets.
    for (int k = 0; k < kOscillators; ++k) {
        oscLevelPan[static_cast<size_t>(k)] = std::make_unique<LevelPanTarget>(
            matrix, kOscLevelTargets[k], kOscLevelTargets[k] + 1, LevelPanTarget::Mode::LevelPan);
    }
    for (int k = 0; k < kFilters; ++k) {
        filterLevelPan[static_cast<size_t>(k)] = std::make_unique<LevelPanTarget>(
            matrix, kFilterFreqTargets[k], kFilterFreqTargets[k] + 1,
            LevelPanTarget::Mode::CentreSpread);
    }
    outputLevelPan = std::make_unique<LevelPanTarget>(
        matrix, kOutputVolumeTarget, kOutputVolumeTarget + 1, LevelPanTarget::Mode::LevelPan);
}

void VornPlugin::Engine::buildTriggersAndXLFOs() {
    // Global modulation sources.
    for (int k = 0; k < kEnvelopes; ++k) {
        auto trigger = std::make_unique<Trigger>(env);
        trigger->setInput(&sideChainLevel);
        triggers[static_cast<size_t>(k)] = std::move(trigger);
    }
    for (int k = 0; k < kXLFOs; ++k) {
        auto xlfo = std::make_unique<XLFO>(env, static_cast<uint32_t>(k + 1));
        auto frequency = std::make_unique<XLFOFreqController>(env, *xlfo);
        const int t = kFirstXLFOTarget + kTargetsPerXLFO * k;
        frequency->setFreeFrequencyInput(&master.target(t));
        xlfo->setGlideInput(&master.target(t + 1));
        xlfo->setPhaseOffsetInput(&master.target(t + 2));
        matrix.setSourceEntry(kFirstXLFOSource + k, xlfo.get(), kFreeXLFOKey);
        xlfos[static_cast<size_t>(k)] = std::move(xlfo);
        xlfoFrequencies[static_cast<size_t>(k)] = std::move(frequency);
    }
}

void VornPlugin::Engine::buildOtherSources() {
    for (int e = 0; e < kFollowers; ++e) {
        auto follower = std::make_unique<EnvelopeFollower>(env);
        follower->setInput(&sideChainLevel);
        const int t = kFirstFollowerTarget + kTargetsPerFollower * e;
        follower->setAttackInput(&master.target(t));
        follower->setReleaseInput(&master.target(t + 1));
        matrix.setSourceEntry(kFirstFollowerSource + e, follower.get(), kFollowerKey);
        followers[static_cast<size_t>(e)] = std::move(follower);
    }
    for (int i = 0; i < kXYControllers; ++i) {
        auto xy = std::make_unique<XYControllerSource>(env);
        matrix.setSourceEntry(kFirstXYSource + 2 * i, &xy->hor, kXYKey);
        matrix.setSourceEntry(kFirstXYSource + 2 * i + 1, &xy->ver, kXYKey);
        xyControllers[static_cast<size_t>(i)] = std::move(xy);
    }
    // Envelopes and MIDI sources exist per voice; the plug-in-wide MIDI sources serve the units
    // that exist once.
    for (int k = 0; k < kEnvelopes; ++k) {
        matrix.setSourceEntry(kFirstEnvelopeSource + k, nullptr, kEnvelopeKey);
    }
    for (int i = 0; i < kMidiSources; ++i) {
        auto source = std::make_unique<MidiModSource>(env, midiCache, volumeCurve);
        matrix.setSourceEntry(kFirstMidiSource + i, nullptr, kMidiKey);
        master.setSourceInstance(kFirstMidiSource + i, source.get());
        midiSources[static_cast<size_t>(i)] = std::move(source);
    }
}

void VornPlugin::Engine::buildVoices(Globals& globals) {
    // Voices: filter units per pair, the oscillator voice pool, the voices.
    for (int pair = 0; pair < kVoiceCount / 2; ++pair) {
        std::array<std::unique_ptr<DesignFilter>, kFilters> units;
        for (size_t k = 0; k < units.size(); ++k) {
            units[k] = std::make_unique<DesignFilter>(env);
            filterGroups[k].add(*units[k]);
        }
        filterUnits.push_back(std::move(units));
    }
    for (int i = 0; i < kVoiceCount; ++i) {
        oscillatorVoicePool.push_back(std::make_unique<OscillatorVoice>(
            env, globals.oscillatorStyle, kSeedsPerVoice * static_cast<uint32_t>(i + 1)));
    }
    for (int j = 0; j < kVoiceCount; ++j) {
        auto& units = filterUnits[static_cast<size_t>(j / 2)];
        VornVoice::Shared shared{matrix,
                                 globals.curves,
                                 globals.filterStyles,
                                 {},
                                 {},
                                 {},
                                 *outputLevelPan,
                                 {units[0].get(), units[1].get()},
                                 sideChainTriggered,
                                 unisonRandomState,
                                 plugin.tuning()};
        for (int k = 0; k < kEnvelopes; ++k)
            shared.triggers[static_cast<size_t>(k)] = triggers[static_cast<size_t>(k)].get();
        for (int k = 0; k < kOscillators; ++k)
            shared.oscLevelPan[static_cast<size_t>(k)] = oscLevelPan[static_cast<size_t>(k)].get();
        for (int k = 0; k < kFilters; ++k)
            shared.filterLevelPan[static_cast<size_t>(k)] =
                filterLevelPan[static_cast<size_t>(k)].get();
        auto voice = std::make_unique<VornVoice>(env, shared, j);
        voice->midiCache().setTuning(&plugin.tuning());
        voiceManager.addVoice(voice.get());
        voices.push_back(std::move(voice));
    }
}

void VornPlugin::Engine::buildMasterSection() {
    // Master section.
    for (int k = 0; k < kSides; ++k) delayUnit.setInput(k, &voiceManager.output(k));
    for (int s = 0; s < kSides; ++s) {
        DelayEffectUnit::Channel& channel = delayUnit.channel(s);
        const int t = kFirstDelayTarget + kTargetsPerDelay * s;
        channel.setTimeInput(&master.target(t));
        channel.setOffsetInput(&master.target(t + 1));
        channel.setFeedbackInput(&master.target(t + 2));
        channel.setCrossFeedbackInput(&master.target(t + 3));
    }
    for (int k = 0; k < kSides; ++k) stereoSpread.setInput(k, &delayUnit.output(k));
    stereoSpread.setWidthInput(&master.target(kStereoTarget));
    for (int k = 0; k < kSides; ++k) {
        wave::Router& router = *outputs[static_cast<size_t>(k)];
        auto blocker = std::make_unique<DcBlocker>(env);
        blocker->setInput(&stereoSpread.output(k));
        router.setSignal(0, blocker.get());
        dcBlockers[static_cast<size_t>(k)] = std::move(blocker);
        router.setSignal(1, sideChainInputs[static_cast<size_t>(k)].get());
        router.selectNow(auditionSignal);
    }
}

VornPlugin::Engine::~Engine() {
    if (AbstractMusicEventReceiver* receiver = plugin.eventReceiver()) {
        if (AbstractChannelEventReceiver* all = receiver->channelReceiver(kAllChannels)) {
            all->removeListener(&midiCache);
            for (auto& voice : voices) all->removeListener(&voice->midiCache());
        }
    }
}

void VornPlugin::Engine::propertyChanged(const void* property) {
    if (property == &polyphony) {
        voiceManager.polyphony = static_cast<VoiceManager::Polyphony>(polyphony.get());
    } else if (property == &portamentoMode) {
        voiceManager.portamentoMode =
            static_cast<VoiceManager::PortamentoMode>(portamentoMode.get());
    } else if (property == &auditionSignal) {
        for (auto& router : outputs) router->setSelection(auditionSignal.get());
    }
}

void VornPlugin::Engine::bind(Parameters& p) {
    p.polyphony.bind(&polyphony);
    p.portamentoMode.bind(&portamentoMode);
    p.auditionSignal.bind(&auditionSignal);
    bindVoices(p);
    bindSources(p);
    bindDelay(p);
}

void VornPlugin::Engine::bindVoices(Parameters& p) {
    for (auto& pooled : oscillatorVoicePool) {
        p.ringModulation.bind(&pooled->ringModulation);
        for (size_t k = 0; k < kOscillators; ++k) {
            p.oscillators[static_cast<int>(k)].bind(pooled->waveForm[k], pooled->phaseSync[k],
                                                    pooled->oscillatorOn[k]);
        }
    }
    for (auto& voice : voices) {
        for (int side = 0; side < kSides; ++side) {
            VornVoice::Channel& channel = voice->channel(side);
            p.filterRouting.bind(&channel.routing);
            for (size_t k = 0; k < kFilters; ++k) {
                p.filters[static_cast<int>(k)].bind(channel.characteristic[k], channel.response[k],
                                                    channel.slope[k], channel.enabled[k]);
            }
        }
        for (int k = 0; k < kEnvelopes; ++k) {
            p.envelopes[k].range.bind(&voice->envelopeRange[static_cast<size_t>(k)]);
        }
        for (int list = 0; list < 2; ++list) {
            for (int i = 0; i < kMidiSources; ++i)
                p.midiSources[i].bind(voice->midiSource(list, i));
        }
    }
}

void VornPlugin::Engine::bindSources(Parameters& p) {
    for (int i = 0; i < kMidiSources; ++i) {
        p.midiSources[i].bind(*midiSources[static_cast<size_t>(i)]);
    }
    for (int k = 0; k < kEnvelopes; ++k) {
        p.envelopes[k].threshold.bind(&triggers[static_cast<size_t>(k)]->threshold);
    }
    for (int k = 0; k < kXLFOs; ++k) {
        p.xlfos[k].bind(*xlfos[static_cast<size_t>(k)], *xlfoFrequencies[static_cast<size_t>(k)]);
    }
    for (int i = 0; i < kXYControllers; ++i) {
        xyControllers[static_cast<size_t>(i)]->bind(p.xyControllers[i].hor, p.xyControllers[i].ver);
    }
}

void VornPlugin::Engine::bindDelay(Parameters& p) {
    p.delayLink.bind(&delayUnit.link);
    p.delayFilterRouting.bind(&delayUnit.filterRouting);
    for (int s = 0; s < kSides; ++s) {
        p.delays[s].bind(delayUnit.channel(s).sync, delayUnit.channel(s).enabled);
    }
    for (int k = 0; k < kFilters; ++k) {
        DelayEffectUnit::FilterSettings& settings = delayUnit.filterSettings(k);
        p.delayFilters[k].bind(settings.characteristic, settings.response, settings.slope,
                               settings.enabled);
    }
}
