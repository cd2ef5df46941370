#pragma once

// The numbering of the modulation sources and targets, and the version of the saved state.
// Presets, host automation, the matrix's tables and the old-version loaders all depend on these
// numbers, so they are defined here once.
namespace synth {

inline constexpr int kStateVersion = 8;

// Sources, in their numbering order: XY pads (horizontal, vertical), XLFOs, envelopes,
// envelope followers, MIDI sources.
inline constexpr int kXYControllers = 4;
inline constexpr int kSourcesPerXY = 2;
inline constexpr int kXLFOs = 6;
inline constexpr int kEnvelopes = 6;
inline constexpr int kFollowers = 4;
inline constexpr int kMidiSources = 10;

inline constexpr int kFirstXYSource = 0;
inline constexpr int kFirstXLFOSource = kFirstXYSource + kXYControllers * kSourcesPerXY;
inline constexpr int kFirstEnvelopeSource = kFirstXLFOSource + kXLFOs;
inline constexpr int kFirstFollowerSource = kFirstEnvelopeSource + kEnvelopes;
inline constexpr int kFirstMidiSource = kFirstFollowerSource + kFollowers;
inline constexpr int kSourceCount = kFirstMidiSource + kMidiSources;
// Source keys: how the per-source factors of a target group tell the kinds of source apart.
inline constexpr int kXYKey = 0;
inline constexpr int kFreeXLFOKey = 1;
inline constexpr int kEnvelopeKey = 2;
inline constexpr int kFollowerKey = 3;
inline constexpr int kMidiKey = 4;
inline constexpr int kRetriggeredXLFOKey = 5;

// Targets, in their numbering order.
inline constexpr int kOscillators = 3;
inline constexpr int kFilters = 2;
inline constexpr int kDelays = 2;
inline constexpr int kSlots = 50;

inline constexpr int kMasterTuneTarget = 0;
inline constexpr int kPortamentoTarget = 1;
// Per oscillator: Detune, Pulse Width, Sync, Level, Pan.
inline constexpr int kFirstOscillatorTarget = 2;
inline constexpr int kTargetsPerOscillator = 5;
inline constexpr int kDetuneTarget = 0;
inline constexpr int kPulseWidthTarget = 1;
inline constexpr int kSyncTarget = 2;
inline constexpr int kLevelTarget = 3;
inline constexpr int kPanTarget = 4;
// Per filter and per delay filter: Freq, Pan, Peak.
inline constexpr int kFirstFilterTarget =
    kFirstOscillatorTarget + kOscillators * kTargetsPerOscillator;
inline constexpr int kTargetsPerFilter = 3;
inline constexpr int kFreqTarget = 0;
inline constexpr int kFilterPanTarget = 1;
inline constexpr int kPeakTarget = 2;
// Per delay line: Time, Offset, Feedback, Cross Feedback.
inline constexpr int kFirstDelayTarget = kFirstFilterTarget + kFilters * kTargetsPerFilter;
inline constexpr int kTargetsPerDelay = 4;
inline constexpr int kFirstDelayFilterTarget = kFirstDelayTarget + kDelays * kTargetsPerDelay;
inline constexpr int kDelayLevelTarget = kFirstDelayFilterTarget + kDelays * kTargetsPerFilter;
inline constexpr int kDelayPanTarget = kDelayLevelTarget + 1;
inline constexpr int kDryLevelTarget = kDelayLevelTarget + 2;
inline constexpr int kDryPanTarget = kDelayLevelTarget + 3;
// Per XLFO: Freq, Glide, Phase Offset.
inline constexpr int kFirstXLFOTarget = kDryPanTarget + 1;
inline constexpr int kTargetsPerXLFO = 3;
// Per envelope: Hold, Delay, Attack, Decay, Sustain, Release.
inline constexpr int kFirstEnvelopeTarget = kFirstXLFOTarget + kXLFOs * kTargetsPerXLFO;
inline constexpr int kTargetsPerEnvelope = 6;
// Per follower: Attack, Release.
inline constexpr int kFirstFollowerTarget = kFirstEnvelopeTarget + kEnvelopes * kTargetsPerEnvelope;
inline constexpr int kTargetsPerFollower = 2;
inline constexpr int kOutputVolumeTarget = kFirstFollowerTarget + kFollowers * kTargetsPerFollower;
inline constexpr int kOutputPanTarget = kOutputVolumeTarget + 1;
inline constexpr int kStereoTarget = kOutputVolumeTarget + 2;
inline constexpr int kUnisonSpreadTarget = kOutputVolumeTarget + 3;
// Per slot: Level.
inline constexpr int kFirstSlotLevelTarget = kUnisonSpreadTarget + 1;
inline constexpr int kTargetCount = kFirstSlotLevelTarget + kSlots;

constexpr int oscillatorTarget(int oscillator, int item) {
    return kFirstOscillatorTarget + oscillator * kTargetsPerOscillator + item;
}
constexpr int filterTarget(int filter, int item) {
    return kFirstFilterTarget + filter * kTargetsPerFilter + item;
}
constexpr int delayTarget(int delay, int item) {
    return kFirstDelayTarget + delay * kTargetsPerDelay + item;
}

// Saved states and the matrix's tables hold these counts.
static_assert(kSourceCount == 34);
static_assert(kTargetCount == 157);
static_assert(kFirstEnvelopeSource == 14 && kFirstMidiSource == 24);
static_assert(kFirstFilterTarget == 17 && kFirstDelayTarget == 23 && kDelayLevelTarget == 37);
static_assert(kFirstXLFOTarget == 41 && kFirstEnvelopeTarget == 59 && kFirstFollowerTarget == 95);
static_assert(kOutputVolumeTarget == 103 && kFirstSlotLevelTarget == 107);

}  // namespace synth
