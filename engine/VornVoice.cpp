#include "engine/VornVoice.h"

#include <cmath>

#include "dsp/Trigger.h"
#include "engine/OscillatorVoice.h"
#include "engine/ParameterCurves.h"
#include "engine/UnisonLayout.h"
#include "framework/SynthNumbering.h"

namespace {

using synth::kFirstEnvelopeSource;
using synth::kFirstEnvelopeTarget;
using synth::kFirstMidiSource;
using synth::kSourceCount;
constexpr int kFilterPeakTargets[] = {synth::filterTarget(0, synth::kPeakTarget),
                                      synth::filterTarget(1, synth::kPeakTarget)};

constexpr float kA4Pitch = 8.7813597f;  // log2(440)
constexpr int kA4 = 69;
constexpr float kSemitone = 1.0f / 12.0f;
constexpr float kAutomatic = -1.0f;
// Note ramp time of the smoothed MIDI sources when a sounding voice takes a new note.
constexpr float kRetakeSmoothing = 3.0f;
constexpr float kNoSmoothing = 0.0f;
constexpr int kReleasedNote = -2;

float notePitch(float note) {
    return kA4Pitch + (note - kA4) * kSemitone;
}

// The key's pitch under the tuning; bit for bit the equal scale without one.
float keyPitch(const TuningSlot& tuning, int key) {
    return notePitch(tuning.key(key).note);
}

}  // namespace

VornPlugin::VornVoice::VornVoice(wave::Environment& env, const Shared& shared, int index)
    : index_(index),
      shared_(shared),
      matrix_(shared.matrix),
      tracker_(shared.matrix),
      outputLevelPan_(shared.outputLevelPan, matrix_),
      midiCache_(MidiModSource::Cache::kAnyNote) {
    for (auto& mixer : unisonMixers_) mixer = std::make_unique<UnisonMixer>(env);
    for (int k = 0; k < kEnvelopes; ++k) {
        auto eg = std::make_unique<EnvelopeGenerator>(env, &shared.curves);
        for (int p = 0; p < EnvelopeGenerator::kParameterCount; ++p) {
            eg->setInput(
                static_cast<EnvelopeGenerator::Parameter>(p),
                &matrix_.target(kFirstEnvelopeTarget + EnvelopeGenerator::kParameterCount * k + p));
        }
        eg->setTrigger(shared.triggers[static_cast<size_t>(k)]);
        matrix_.setSourceInstance(kFirstEnvelopeSource + k, eg.get());
        envelopes_[static_cast<size_t>(k)] = std::move(eg);
    }
    for (int list = 0; list < kMidiLists; ++list) {
        for (int i = 0; i < kMidiSources; ++i) {
            auto source = std::make_unique<MidiModSource>(env, midiCache_, volumeCurve);
            if (list == kUnsmoothedList) source->setNoteRampTime(kNoSmoothing);
            matrix_.setSourceInstance(kFirstMidiSource + i + list * kSourceCount, source.get());
            midiSources_[static_cast<size_t>(list)][static_cast<size_t>(i)] = std::move(source);
        }
    }
    for (LevelPanTarget* t : shared.oscLevelPan) {
        oscLevelPan_.push_back(std::make_unique<LevelPanTarget::VoiceController>(*t, matrix_));
    }
    for (LevelPanTarget* t : shared.filterLevelPan) {
        filterLevelPan_.push_back(std::make_unique<LevelPanTarget::VoiceController>(*t, matrix_));
    }
    unisonVoices_.reserve(UnisonMixer::kEntryCapacity);
    unisonPositions_.reserve(UnisonMixer::kEntryCapacity);
    for (int side = 0; side < kSides; ++side) {
        channels_[static_cast<size_t>(side)] = std::make_unique<Channel>(env, *this, side);
    }
}

VornPlugin::VornVoice::~VornVoice() = default;

bool VornPlugin::VornVoice::isMuted() const {
    return envelopes_[0]->isMuted();
}

wave::Producer& VornPlugin::VornVoice::amplitude() {
    return *envelopes_[0];
}

const float* VornPlugin::VornVoice::outputGain(uint32_t frames, uint32_t flags, int channel) {
    return outputLevelPan_.output(channel).pull(frames, flags);
}

void VornPlugin::VornVoice::willRender() {
    // A finished amplitude envelope mutes the voice when it is next pulled: whether the voice
    // still renders in this chunk then depends on the order of the pulls, which must stay.
    const bool finishing = envelopes_[0]->stage() == EnvelopeGenerator::kFinished;
    for (const auto& channel : channels_) {
        for (int k = 0; k < kFilters; ++k) {
            if (finishing) {
                channel->filter(k).holdUnitBack();
            } else {
                channel->filter(k).armUnit();
            }
        }
    }
}

wave::Producer& VornPlugin::VornVoice::channelOutput(int channel) {
    return channels_[static_cast<size_t>(channel)]->output();
}

void VornPlugin::VornVoice::clearUnison() {
    unisonVoices_.clear();
    unisonPositions_.clear();
    for (auto& mixer : unisonMixers_) mixer->clear();
}

void VornPlugin::VornVoice::addUnison(OscillatorVoice& voice, float position) {
    unisonVoices_.push_back(&voice);
    unisonPositions_.push_back(position);
    voice.bind(matrix_);
    for (int k = 0; k < kOscillators; ++k) {
        LevelPanTarget::VoiceController& gain = *oscLevelPan_[static_cast<size_t>(k)];
        unisonMixers_[static_cast<size_t>(k)]->addEntry(
            &gain.output(LevelPanTarget::VoiceController::kFirst),
            &gain.output(LevelPanTarget::VoiceController::kSecond), &voice.output(k), position);
    }
    voice.unisonDetune().setTarget(unisonDetuneOctaves(position, shared_.unisonRandomState),
                                   kAutomatic);
    // Joins the note from wherever its own pitch is.
    voice.portamento().startGlide(voice.portamento().current(), keyPitch(shared_.tuning, note_));
    voice.portamento().setBend(bendOctaves_, true);
}

void VornPlugin::VornVoice::setBend(float semitones, bool immediately) {
    bendOctaves_ = semitones * kSemitone;
    for (OscillatorVoice* voice : unisonVoices_)
        voice->portamento().setBend(bendOctaves_, immediately);
}

wave::Producer& VornPlugin::VornVoice::unisonOutput(int oscillator, int side) {
    return unisonMixers_[static_cast<size_t>(oscillator)]->output(side);
}

void VornPlugin::VornVoice::startGlide(OscillatorVoice& voice, int glideFrom) {
    PortamentoController& portamento = voice.portamento();
    const float from = glideFrom > 0 ? keyPitch(shared_.tuning, glideFrom) : portamento.current();
    portamento.startGlide(from, keyPitch(shared_.tuning, note_));
}

void VornPlugin::VornVoice::noteOn(float note, int glideFrom, float /*velocity*/) {
    if (note < kLowestNote || note > kHighestNote) return;
    note_ = static_cast<int>(note + 0.5f);
    const bool wasSounding = !isMuted();
    for (auto& source : midiSources_[kSmoothedList]) {
        source->setNoteRampTime(wasSounding ? kRetakeSmoothing : kNoSmoothing);
    }
    midiCache_.setNoteFilter(note_);
    expressionChannel_ = 0;
    if (bendOctaves_ != 0.0f) setBend(0.0f, true);
    for (size_t i = 0; i < unisonVoices_.size(); ++i) {
        OscillatorVoice& voice = *unisonVoices_[i];
        voice.unisonDetune().setTarget(
            unisonDetuneOctaves(unisonPositions_[i], shared_.unisonRandomState), kAutomatic);
        startGlide(voice, glideFrom);
        if (!held_) voice.resetPhases();
    }
    // A legato change of note keeps the envelopes running.
    if (held_) return;
    tracker_.start(note_);
    envelopes_[0]->noteOn();
    for (int k = 1; k < kEnvelopes; ++k) {
        // An envelope whose list entry is not in use stays idle and costs nothing.
        if (!shared_.sideChainTriggered[static_cast<size_t>(k)] &&
            shared_.matrix.source(kFirstEnvelopeSource + k).active) {
            envelopes_[static_cast<size_t>(k)]->noteOn();
        }
    }
    held_ = true;
}

void VornPlugin::VornVoice::noteOff(float /*velocity*/) {
    midiCache_.setNoteFilter(kReleasedNote);
    if (!held_) return;
    tracker_.release();
    envelopes_[0]->noteOff();
    for (int k = 1; k < kEnvelopes; ++k) {
        if (!shared_.sideChainTriggered[static_cast<size_t>(k)])
            envelopes_[static_cast<size_t>(k)]->noteOff();
    }
    for (OscillatorVoice* voice : unisonVoices_) voice->portamento().stopGlide();
    held_ = false;
}

void VornPlugin::VornVoice::propertyChanged(const void* property) {
    for (int k = 0; k < kEnvelopes; ++k) {
        if (property == &envelopeRange[static_cast<size_t>(k)]) {
            envelopes_[static_cast<size_t>(k)]->range =
                static_cast<EnvelopeGenerator::Range>(envelopeRange[static_cast<size_t>(k)].get());
        }
    }
}

// Channel

VornPlugin::VornVoice::Channel::Channel(wave::Environment& env, VornVoice& voice, int side)
    : allOscillators_(env), parallelSum_(env), osc13_(env), osc23_(env), output_(env) {
    for (int k = 0; k < kFilters; ++k) {
        auto filter = std::make_unique<MultiDesignFilter>(env);
        filter->addEntries(*voice.shared_.filterUnits[static_cast<size_t>(k)],
                           voice.shared_.filterStyles);
        auto clean = std::make_unique<BiQuadFilter>(env);
        filter->addEntry(*clean);
        LevelPanTarget::VoiceController& cutoff = *voice.filterLevelPan_[static_cast<size_t>(k)];
        filter->setFrequencyInput(&cutoff.output(side));
        filter->setPeakInput(&voice.matrix_.target(kFilterPeakTargets[k]));
        cleanKernels_[static_cast<size_t>(k)] = std::move(clean);
        filters_[static_cast<size_t>(k)] = std::move(filter);
        applyFilter(k, 0.0f);
    }
    for (int k = 0; k < kOscillators; ++k)
        allOscillators_.addEntry(1.0f, &voice.unisonOutput(k, side));
    osc13_.addEntry(1.0f, &voice.unisonOutput(0, side));
    osc13_.addEntry(1.0f, &voice.unisonOutput(2, side));
    osc23_.addEntry(1.0f, &voice.unisonOutput(1, side));
    osc23_.addEntry(1.0f, &voice.unisonOutput(2, side));
    parallelSum_.addEntry(0.5f, filters_[0].get());
    parallelSum_.addEntry(0.5f, filters_[1].get());
    applyRouting();
}

VornPlugin::VornVoice::Channel::~Channel() = default;

void VornPlugin::VornVoice::Channel::applyRouting() {
    MultiDesignFilter& f1 = *filters_[0];
    MultiDesignFilter& f2 = *filters_[1];
    switch (routing.get()) {
        case kParallel:
            f1.setInput(&allOscillators_);
            f2.setInput(&allOscillators_);
            output_.setInput(&parallelSum_);
            break;
        case kPerOsc:
            f1.setInput(&osc13_);
            f2.setInput(&osc23_);
            output_.setInput(&parallelSum_);
            break;
        default:
            f1.setInput(&allOscillators_);
            f2.setInput(&f1);
            output_.setInput(&f2);
            break;
    }
}

void VornPlugin::VornVoice::Channel::applyFilter(int k, float rampMs) {
    MultiDesignFilter& f = *filters_[static_cast<size_t>(k)];
    f.setCharacteristic(characteristic[static_cast<size_t>(k)]);
    f.setResponse(response[static_cast<size_t>(k)]);
    f.setSlope(slope[static_cast<size_t>(k)]);
    // A switched-off filter passes its input through.
    f.defaultMix().setTarget(enabled[static_cast<size_t>(k)] ? 1.0f : 0.0f, rampMs);
}

void VornPlugin::VornVoice::Channel::propertyChanged(const void* property) {
    if (property == &routing) {
        applyRouting();
        return;
    }
    for (int k = 0; k < kFilters; ++k) applyFilter(k, kAutomatic);
}
