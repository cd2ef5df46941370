#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "dsp/TuningTable.h"
#include "framework/Property.h"
#include "midi/MidiListener.h"
#include "wave/Producer.h"
#include "wave/ValueRamp.h"

// A modulation source driven by one kind of MIDI data (mod wheel, pitch bend, velocity,
// aftertouch, keyboard position or a controller), shaped by a response curve and glided into a
// control signal in [-1, 1].
class MidiModSource : public wave::Source, public PropertyOwner {
public:
    class Cache;

    // Values of `input`.
    static constexpr int kModWheel = 0;
    static constexpr int kPitchBend = 1;
    static constexpr int kVelocity = 2;
    static constexpr int kAftertouch = 3;
    static constexpr int kKbTrack = 4;
    static constexpr int kController = 5;
    static constexpr int kInputCount = 6;

    // Values of `responseCurve`.
    static constexpr int kLinear = 0;
    static constexpr int kExp = 1;
    static constexpr int kLog = 2;
    static constexpr int kSqr = 3;
    static constexpr int kSqrt = 4;
    static constexpr int kSine = 5;
    static constexpr int kCurveCount = 6;

    static constexpr int kControllerCount = 128;

    // Event keys; a key is also the index of its value in the cache. Keys below 128 are
    // controller numbers.
    static constexpr int kModWheelKey = 128;
    static constexpr int kPitchBendKey = 129;
    static constexpr int kVelocityKey = 130;
    static constexpr int kAftertouchKey = 131;
    static constexpr int kKeyboardKey = 132;
    static constexpr int kKeyCount = 133;

    static constexpr float kAutomaticTime = -1.0f;
    // 1/120: keys 0..120 span the curve's input range; key 48 (0.4) is the zero point.
    static constexpr float kKeyScale = 0.008333334f;
    static constexpr float kKeyCentre = 0.4f;

    // The synthesizer's volume taper, used by the Exp curve (gain for a plain value in 0..1).
    using VolumeCurve = float (*)(float);

    MidiModSource(wave::Environment& env, Cache& cache, VolumeCurve volumeCurve);
    ~MidiModSource() override;

    // Response curve `curve` (clamped to 0..5) at x, odd-symmetric around 0.
    static float respond(int curve, float x, VolumeCurve volumeCurve);
    // The cache key this source listens to.
    static int keyFor(int input, int controllerNumber);

    // Called by the cache after it stored a value; ignored unless the key is this source's.
    void update(int key, float value);

    // Glide time in ms for velocity and keyboard changes, kAutomaticTime for automatic.
    void setNoteRampTime(float ms) { noteRampTime_ = ms; }
    float noteRampTime() const { return noteRampTime_; }

    int key() const { return keyFor(input, controllerNumber); }
    float target() const { return ramp_.target(); }
    // 0..1 for the editor's source meter.
    float displayValue() const;
    const wave::ValueRamp& ramp() const { return ramp_; }
    // Null once the cache is gone.
    Cache* cache() const { return cache_; }

    bool produce(float* buffer, uint32_t frames, uint32_t flags) override;
    void propertyChanged(const void* property) override;

    Property<int> input{this, kModWheel};
    Property<int> controllerNumber{this, 0};
    Property<int> responseCurve{this, kLinear};

private:
    float shape(float x) const { return respond(curve_, x, volumeCurve_); }
    // Target and glide time for a value of this source's key.
    void apply(int key, float value);

    Cache* cache_;
    VolumeCurve volumeCurve_;
    int curve_ = kLinear;
    float noteRampTime_ = kAutomaticTime;
    wave::ValueRamp ramp_;
};

// The latest value of every MIDI quantity, fed to the sources registered with it. A cache with a
// note filter belongs to one voice and accepts note-ons and poly pressure of that note only.
class MidiModSource::Cache : public MidiListener {
public:
    static constexpr int32_t kAnyNote = -1;

    explicit Cache(int32_t noteFilter = kAnyNote);
    // Sources still registered are detached; they keep their last target.
    ~Cache() override;
    Cache(const Cache&) = delete;
    Cache& operator=(const Cache&) = delete;

    void setNoteFilter(int32_t note) { noteFilter_ = note; }
    int32_t noteFilter() const { return noteFilter_; }
    // Null: key positions are the key numbers.
    void setTuning(const TuningSlot* tuning) { tuning_ = tuning; }
    // key in 0..132.
    float value(int key) const { return values_[static_cast<size_t>(key)]; }
    const std::vector<MidiModSource*>& sources() const { return sources_; }

    // Allocates: sources register while the graph is built.
    void addSource(MidiModSource* source);
    void removeSource(MidiModSource* source);

    void channelPressure(float pressure) override;
    void polyPressure(int note, float pressure) override;
    void controller(int number, int value, float normalized) override;
    void modWheel(float normalized) override;
    void noteOn(int note, float velocity) override;
    void pitchBend(float bend) override;

private:
    bool accepts(int note) const { return noteFilter_ == kAnyNote || noteFilter_ == note; }
    void store(int key, float value);

    std::array<float, kKeyCount> values_{};
    int32_t noteFilter_;
    const TuningSlot* tuning_ = nullptr;
    std::vector<MidiModSource*> sources_;
};
