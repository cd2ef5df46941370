#pragma once

#include <cstdint>
#include <vector>

#include "engine/NoteVoice.h"
#include "framework/Property.h"
#include "wave/MultiProducer.h"

// Decides which voice plays which note, in Mono or Poly mode, picks the note every new note
// glides from (also in Poly mode, so that chords slide into chords), and sums the sounding
// voices into a stereo pair (outputs 0 left, 1 right).
class VoiceManager : public wave::MultiProducer, public PropertyOwner {
public:
    enum Polyphony : int { Mono = 0, Poly = 1 };
    enum PortamentoMode : int { Normal = 0, Legato = 1 };

    static constexpr int kDefaultVoiceCount = 10;
    // MIDI note range: the note lists never grow past it.
    static constexpr int kNoteCount = 128;
    // Notes pressed within this time of each other are not glide sources of each other.
    static constexpr int64_t kChordWindowMs = 100;
    // Velocity of the release a voice gets when it is stolen or the mode changes, and of the
    // return to a still-held key in Mono mode.
    static constexpr float kForcedVelocity = 1.0f;
    // Release velocity of the notes the sustain pedal lets go (a keyboard without release
    // velocity sends 64).
    static constexpr float kPedalReleaseVelocity = 64.0f / 127.0f;

    explicit VoiceManager(wave::Environment& env);

    // Appends a slot for the voice (not owned). Allocates: call while building the graph.
    void addVoice(NoteVoice* voice);
    void noteOn(int note, float velocity);
    // note 0 releases every note, the pedal's too.
    void noteOff(int note, float velocity);
    // While the sustain pedal is down, released keys keep sounding; a sustained note struck
    // again retriggers its own voice; lifting the pedal lets go of every note whose key is up.
    void setSustain(bool down);
    bool sustain() const { return sustain_; }

    // The millisecond clock counts rendered samples rather than reading the system clock: it
    // costs no system call on the audio thread, is deterministic, and measures the same time the
    // glides run in. The owner advances it once per chunk.
    void advanceClock(uint32_t frames);
    int64_t clockMs() const;

    int slotCount() const { return static_cast<int>(slots_.size()); }
    // Allocation uses slots [0, activeEnd).
    int activeEnd() const { return activeEnd_; }
    int slotNote(int slot) const { return slots_[static_cast<size_t>(slot)].note; }
    // The voice whose note started last among those sounding; null when all are silent.
    NoteVoice* newestVoice() const;
    // The voice that started the note last; null when none plays it.
    NoteVoice* voiceOf(int note) const;
    // Whether a voice still sounds the note (held, sustained or releasing).
    bool isSounding(int note) const;

    void produceAll(float* const* buffers, const float** outputs, uint32_t frames,
                    uint32_t flags) override;
    void propertyChanged(const void* property) override;

    // Number of voices allocation may use.
    Property<int> voiceCount{this, kDefaultVoiceCount};
    Property<Polyphony> polyphony{this, Poly};
    Property<PortamentoMode> portamentoMode{this, Normal};

private:
    struct Slot {
        int note = 0;
        int stamp = 0;           // the note start counter when the slot's note began
        bool sustained = false;  // its key is up; the pedal holds it
        NoteVoice* voice = nullptr;
        // Started since last found muted: only these can sound, so a chunk reads no other
        // voice's state (32 idle voices cost 32 cache misses per chunk otherwise).
        bool awake = false;
    };
    struct Press {
        int note;
        int64_t timeMs;
    };

    void notePoly(int note, float velocity);
    void noteMono(int note, float velocity);
    int glideSourcePoly(int note, int64_t now);
    void releaseMono(float velocity);
    bool isHeldAnywhere(int note) const;
    // Index of the active slot to reuse, -1 when there is none.
    int allocate() const;
    void updateActiveEnd();

    wave::Environment* env_;
    std::vector<Press> noteHistory_;  // oldest first, at most one per note
    std::vector<int> heldNotes_;      // Mono mode, in pressing order
    uint64_t clockSamples_ = 0;
    uint64_t clockBaseSamples_ = 0;  // sample count at the last rate change
    double clockBaseMs_ = 0.0;
    float clockRate_;
    int stamp_ = 0;
    bool sustain_ = false;
    std::vector<Slot> slots_;
    std::vector<int> sounding_;  // slots found sounding at the start of a chunk
    int activeEnd_ = 0;
    const float* silent_;
};
