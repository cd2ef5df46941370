#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "dsp/BiQuadFilter.h"
#include "dsp/DesignFilter.h"
#include "dsp/EnvelopeGenerator.h"
#include "dsp/MultiDesignFilter.h"
#include "dsp/TuningTable.h"
#include "engine/NoteVoice.h"
#include "engine/UnisonMixer.h"
#include "engine/VornPlugin.h"
#include "framework/Property.h"
#include "modulation/LevelPanTarget.h"
#include "modulation/MidiModSource.h"
#include "modulation/VoiceMatrix.h"
#include "modulation/VoiceTracker.h"
#include "wave/Producer.h"
#include "wave/StaticMixer.h"

class Trigger;

// One note: its unison oscillator voices summed per oscillator and side, two filters per side in
// one of three routings, the envelopes, the per-voice modulation sources and targets.
class VornPlugin::VornVoice : public NoteVoice, public PropertyOwner {
public:
    class Channel;

    static constexpr int kSides = 2;
    static constexpr int kOscillators = 3;
    static constexpr int kFilters = 2;
    static constexpr int kEnvelopes = 6;
    static constexpr int kMidiSources = 10;
    static constexpr int kLowestNote = 1;
    static constexpr int kHighestNote = 120;

    // What the voice shares with the rest of the synthesizer.
    struct Shared {
        ModulationMatrix& matrix;
        const CurveSet& curves;
        const MultiDesignFilter::StyleList& filterStyles;
        std::array<Trigger*, kEnvelopes> triggers;
        std::array<LevelPanTarget*, kOscillators> oscLevelPan;
        std::array<LevelPanTarget*, kFilters> filterLevelPan;
        LevelPanTarget& outputLevelPan;
        // The parallel units of this voice's pair, one per filter.
        std::array<DesignFilter*, kFilters> filterUnits;
        // Whether envelope k follows the side chain instead of the notes.
        const std::array<bool, kEnvelopes>& sideChainTriggered;
        // State of the unison detune generator, one per instance.
        uint32_t& unisonRandomState;
        const TuningSlot& tuning;
    };

    VornVoice(wave::Environment& env, const Shared& shared, int index);
    ~VornVoice() override;

    // NoteVoice
    bool isMuted() const override;
    wave::Producer& amplitude() override;
    const float* outputGain(uint32_t frames, uint32_t flags, int channel) override;
    wave::Producer& channelOutput(int channel) override;
    // Both sides pull both filters in every routing: their units may render early, unless the
    // voice is about to fall silent.
    void willRender() override;
    bool isHeld() const override { return held_; }
    void noteOn(float note, int glideFrom, float velocity) override;
    void noteOff(float velocity) override;

    // Unison membership.
    void clearUnison();
    void addUnison(OscillatorVoice& voice, float position);

    int index() const { return index_; }
    int note() const { return note_; }
    // MPE: the member channel whose expressions the voice follows (1..16), 0 for none. A new
    // note clears it and the note's bend.
    int expressionChannel() const { return expressionChannel_; }
    void setExpressionChannel(int channel) { expressionChannel_ = channel; }
    // The note's own bend in semitones, on top of its pitch.
    void setBend(float semitones, bool immediately);
    VoiceMatrix& matrix() { return matrix_; }
    EnvelopeGenerator& envelope(int k) { return *envelopes_[static_cast<size_t>(k)]; }
    Channel& channel(int side) { return *channels_[static_cast<size_t>(side)]; }
    MidiModSource::Cache& midiCache() { return midiCache_; }
    MidiModSource& midiSource(int list, int i) {
        return *midiSources_[static_cast<size_t>(list)][static_cast<size_t>(i)];
    }
    const std::vector<OscillatorVoice*>& unisonVoices() const { return unisonVoices_; }
    // This side of the unison mixer of an oscillator.
    wave::Producer& unisonOutput(int oscillator, int side);

    // Bound to each envelope's " Range".
    std::array<Property<int>, kEnvelopes> envelopeRange{
        {Property<int>{this, 0}, Property<int>{this, 0}, Property<int>{this, 0},
         Property<int>{this, 0}, Property<int>{this, 0}, Property<int>{this, 0}}};
    void propertyChanged(const void* property) override;

private:
    static constexpr int kSmoothedList = 0;
    static constexpr int kUnsmoothedList = 1;
    static constexpr int kMidiLists = 2;

    void startGlide(OscillatorVoice& voice, int glideFrom);

    int index_;
    Shared shared_;
    std::array<std::unique_ptr<UnisonMixer>, kOscillators> unisonMixers_;
    VoiceMatrix matrix_;
    ModulationMatrix::VoiceTracker tracker_;
    LevelPanTarget::VoiceController outputLevelPan_;
    std::array<std::unique_ptr<EnvelopeGenerator>, kEnvelopes> envelopes_;
    MidiModSource::Cache midiCache_;
    std::array<std::array<std::unique_ptr<MidiModSource>, kMidiSources>, kMidiLists> midiSources_;
    std::vector<std::unique_ptr<LevelPanTarget::VoiceController>> oscLevelPan_;
    std::vector<std::unique_ptr<LevelPanTarget::VoiceController>> filterLevelPan_;
    std::array<std::unique_ptr<Channel>, kSides> channels_;
    std::vector<OscillatorVoice*> unisonVoices_;
    std::vector<float> unisonPositions_;
    bool held_ = false;
    int note_ = 0;
    int expressionChannel_ = 0;
    float bendOctaves_ = 0.0f;
};

// One stereo side of a voice: the two filters and the routing through them.
class VornPlugin::VornVoice::Channel : public PropertyOwner {
public:
    enum Routing : int { kSerial = 0, kParallel = 1, kPerOsc = 2 };

    Channel(wave::Environment& env, VornVoice& voice, int side);
    ~Channel() override;

    wave::Producer& output() { return output_; }
    MultiDesignFilter& filter(int k) { return *filters_[static_cast<size_t>(k)]; }

    Property<int> routing{this, kSerial};
    // Per filter: " Characteristic", " Response", " Slope", " Enabled".
    std::array<Property<int>, kFilters> characteristic{
        {Property<int>{this, 1}, Property<int>{this, 1}}};
    std::array<Property<int>, kFilters> response{{Property<int>{this, 0}, Property<int>{this, 0}}};
    std::array<Property<int>, kFilters> slope{{Property<int>{this, 1}, Property<int>{this, 1}}};
    std::array<Property<bool>, kFilters> enabled{
        {Property<bool>{this, true}, Property<bool>{this, true}}};

    void propertyChanged(const void* property) override;

private:
    void applyRouting();
    void applyFilter(int k, float rampMs);

    std::array<std::unique_ptr<BiQuadFilter>, kFilters> cleanKernels_;
    std::array<std::unique_ptr<MultiDesignFilter>, kFilters> filters_;
    wave::StaticMixer allOscillators_;
    wave::StaticMixer parallelSum_;
    wave::StaticMixer osc13_;
    wave::StaticMixer osc23_;
    wave::Forwarder output_;
};
