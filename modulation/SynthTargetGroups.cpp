#include "modulation/SynthTargetGroups.h"

#include "framework/SynthNumbering.h"
#include "modulation/ModulationMatrix.h"

namespace {

constexpr int kEnvelopeCount = synth::kEnvelopes;
constexpr int kFollowerCount = synth::kFollowers;
constexpr int kFirstEnvelopeTarget = synth::kFirstEnvelopeTarget;
constexpr int kEnvelopeTargets = synth::kTargetsPerEnvelope;
constexpr int kFirstFollowerTarget = synth::kFirstFollowerTarget;
constexpr int kFollowerTargets = synth::kTargetsPerFollower;
constexpr int kDelayTimeTargets[] = {synth::delayTarget(0, 0), synth::delayTarget(1, 0)};
constexpr int kPanTargets[] = {
    synth::oscillatorTarget(0, synth::kPanTarget), synth::oscillatorTarget(1, synth::kPanTarget),
    synth::oscillatorTarget(2, synth::kPanTarget), synth::kDelayPanTarget, synth::kDryPanTarget};
constexpr int kStereoTarget = synth::kStereoTarget;

enum GroupId {
    kDelayTime = 7,
    kHold = 13,
    kDelay = 14,
    kAttack = 15,
    kDecay = 16,
    kRelease = 17,
    kFollowerAttack = 18,
    kFollowerRelease = 19,
    kStereo = 20,
    kPan = 22,
};

void assign(ModulationMatrix& m, int target, int group, bool alternate) {
    m.assignTargetGroup(target, group);
    m.setAlternateSource(target, alternate);
}

}  // namespace

void assignSynthTargetGroups(ModulationMatrix& m) {
    // Every kind of source moves a delay time as far as an XLFO does; an envelope twice as far.
    ModulationMatrix::Group delayTime{5000.0f,
                                      10.0f,
                                      0,
                                      1.0f,
                                      {{synth::kFreeXLFOKey, 500.0f},
                                       {synth::kRetriggeredXLFOKey, 500.0f},
                                       {synth::kEnvelopeKey, 1000.0f},
                                       {synth::kXYKey, 500.0f},
                                       {synth::kFollowerKey, 500.0f},
                                       {synth::kMidiKey, 500.0f}}};
    m.setGroup(kDelayTime, delayTime);
    m.setGroup(kHold, {19.0f, 0.0f, 0, 1.0f, {}});
    m.setGroup(kDelay, {5.0f, 0.0f, 0, 1.0f, {}});
    m.setGroup(kAttack, {18.0f, 0.001f, 0, 1.0f, {}});
    m.setGroup(kDecay, {21.0f, 0.03f, 0, 1.0f, {}});
    m.setGroup(kRelease, {23.0f, 0.0058f, 0, 1.0f, {}});
    m.setGroup(kFollowerAttack, {1.0f, 0.001f, 0, 1.0f, {}});
    m.setGroup(kFollowerRelease, {5.0f, 0.05f, 0, 1.0f, {}});
    m.setGroup(kStereo, {1.5f, 0.0f, 0, 1.0f, {}});
    m.setGroup(kPan, {1.0f, -1.0f, 0, 1.0f, {}});

    for (int t : kDelayTimeTargets) assign(m, t, kDelayTime, true);
    for (int i = 0; i < kEnvelopeCount; ++i) {
        const int first = kFirstEnvelopeTarget + kEnvelopeTargets * i;
        assign(m, first, kHold, true);
        if (i >= 1) assign(m, first + 1, kDelay, true);
        assign(m, first + 2, kAttack, true);
        assign(m, first + 3, kDecay, true);
        assign(m, first + 5, kRelease, true);
    }
    for (int e = 0; e < kFollowerCount; ++e) {
        const int first = kFirstFollowerTarget + kFollowerTargets * e;
        assign(m, first, kFollowerAttack, true);
        assign(m, first + 1, kFollowerRelease, true);
    }
    assign(m, kStereoTarget, kStereo, false);
    for (int t : kPanTargets) assign(m, t, kPan, false);
}
