#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "engine/VoiceManager.h"
#include "tests/support/AllocationCounter.h"
#include "tests/wave/TestSources.h"

namespace {

using wave::test::PatternSource;

constexpr float kRate = 48000.0f;
constexpr uint32_t kSamplesPerMs = 48;
constexpr uint32_t kFrames = 8;

// The calls a voice gets, as text: "on(note, glideFrom, velocity)" and "off(velocity)".
using Call = std::string;
Call on(float note, int glideFrom, float velocity) {
    return (std::ostringstream() << "on(" << note << ", " << glideFrom << ", " << velocity << ")")
        .str();
}
Call off(float velocity) {
    return (std::ostringstream() << "off(" << velocity << ")").str();
}

// Records the calls it gets; a started note makes it held and sounding, a release keeps it
// sounding until the test mutes it.
class FakeVoice : public NoteVoice {
public:
    FakeVoice(wave::Environment& env, float amplitude, std::vector<float> left,
              std::vector<float> right, float gainLeft = 1.0f, float gainRight = 1.0f)
        : amplitude_(env, {amplitude}),
          output_{PatternSource(env, std::move(left)), PatternSource(env, std::move(right))},
          gain_{PatternSource(env, {gainLeft}), PatternSource(env, {gainRight})} {
        calls.reserve(1024);
    }

    bool isMuted() const override { return muted; }
    wave::Producer& amplitude() override { return amplitude_; }
    const float* outputGain(uint32_t frames, uint32_t flags, int channel) override {
        return gain_[channel].pull(frames, flags);
    }
    wave::Producer& channelOutput(int channel) override { return output_[channel]; }
    bool isHeld() const override { return held; }
    void noteOn(float note, int glideFrom, float velocity) override {
        if (recording) calls.push_back(on(note, glideFrom, velocity));
        held = true;
        muted = false;
    }
    void noteOff(float velocity) override {
        if (recording) calls.push_back(off(velocity));
        held = false;
    }

    int pulls() const { return amplitude_.calls + output_[0].calls + output_[1].calls; }
    Call last() const { return calls.empty() ? off(-1.0f) : calls.back(); }

    std::vector<Call> calls;
    bool recording = true;  // off where the test counts allocations
    bool muted = true;
    bool held = false;

private:
    PatternSource amplitude_;
    PatternSource output_[2];
    PatternSource gain_[2];
};

// Four fake voices under one manager.
struct ManagerRig {
    static constexpr int kVoices = 4;

    ManagerRig() : env(wave::test::kBlock) {
        env.setSampleRate(kRate);
        manager = std::make_unique<VoiceManager>(env);
        for (int i = 0; i < kVoices; ++i) {
            voices.push_back(std::make_unique<FakeVoice>(env, 1.0f, std::vector<float>{1.0f},
                                                         std::vector<float>{1.0f}));
            manager->addVoice(voices.back().get());
        }
    }

    void waitMs(uint32_t ms) { manager->advanceClock(ms * kSamplesPerMs); }
    // Index of the voice whose last call started `note`, -1 when none.
    int voiceOf(int note) const {
        for (int i = 0; i < kVoices; ++i) {
            if (voices[i]->last().starts_with("on(" + std::to_string(note) + ", ")) return i;
        }
        return -1;
    }
    // The glide source the voice playing `note` was started with.
    int sourceOf(int note) const {
        const int v = voiceOf(note);
        int glideFrom = -1;
        if (v >= 0) std::sscanf(voices[v]->last().c_str(), "on(%*f, %d", &glideFrom);
        return glideFrom;
    }
    void clearCalls() {
        for (auto& v : voices) v->calls.clear();
    }

    wave::Environment env;
    std::unique_ptr<VoiceManager> manager;
    std::vector<std::unique_ptr<FakeVoice>> voices;
};

class VoiceManagerTest : public ::testing::Test, public ManagerRig {};

// Glide sources in Poly mode, played as scripts: wait, then press (or release, negative; -128
// releases all) a key, and the note the started voice glides from (itself: no glide).
TEST_F(VoiceManagerTest, PolyGlidesFromTheNewestNotePressedAChordWindowEarlier) {
    struct Step {
        uint32_t waitMs;
        int note, source;
    };
    struct Script {
        VoiceManager::PortamentoMode mode;
        std::vector<Step> steps;
    };
    const Script scripts[] = {
        // The first note ever does not glide, nor does one within 100 ms of it; a source serves
        // once; pressing a key again drops its older entry.
        {VoiceManager::Normal,
         {{0, 60, 60}, {99, 62, 62}, {1, 64, 60}, {200, 67, 64}, {200, 62, 67}, {10, 65, 65}}},
        // A chord after a chord glides note by note, newest old note first; the new notes never
        // feed each other.
        {VoiceManager::Normal,
         {{0, 60, 60},
          {0, 64, 64},
          {10, 67, 67},
          {500, -128, 0},
          {100, 62, 67},
          {30, 65, 64},
          {30, 69, 60}}},
        // Legato glides only from a key still held; a released candidate is used up all the same.
        {VoiceManager::Legato,
         {{0, 60, 60}, {200, 64, 60}, {0, -64, 0}, {200, 67, 67}, {200, 69, 67}}},
    };
    for (const Script& script : scripts) {
        ManagerRig fresh;
        fresh.manager->portamentoMode = script.mode;
        for (const Step& step : script.steps) {
            fresh.waitMs(step.waitMs);
            if (step.note < 0) {
                fresh.manager->noteOff(step.note == -128 ? 0 : -step.note, 0.5f);
                continue;
            }
            fresh.manager->noteOn(step.note, 0.5f);
            EXPECT_EQ(fresh.sourceOf(step.note), step.source)
                << "note " << step.note << " in script " << &script - scripts;
        }
    }
}

// Which voice a note takes among sounding ones is measured end to end with 32 voices. A stolen
// held voice is released before it restarts; a muted voice is taken before any sounding one.
TEST_F(VoiceManagerTest, StealingReleasesFirstAndMutedVoicesGoFirst) {
    manager->voiceCount = 3;
    for (int n : {60, 62, 64}) {
        manager->noteOn(n, 1.0f);
        waitMs(10);
    }
    clearCalls();
    manager->noteOn(65, 0.75f);
    EXPECT_EQ(voices[0]->calls, (std::vector<Call>{off(1.0f), on(65.0f, 65, 0.75f)}));

    // 64 (newest, released, then muted) wins over 62 (released, older).
    manager->noteOff(62, 0.0f);
    manager->noteOff(64, 0.0f);
    voices[2]->muted = true;
    manager->noteOn(71, 1.0f);
    EXPECT_EQ(voiceOf(71), 2);

    // All muted: the first slot.
    manager->noteOff(0, 0.0f);
    for (auto& v : voices) v->muted = true;
    manager->noteOn(72, 1.0f);
    EXPECT_EQ(voiceOf(72), 0);
}

// Allocation stays within "voiceCount"; releases reach every slot.
TEST_F(VoiceManagerTest, VoiceCountBoundsAllocationButNotRelease) {
    manager->voiceCount = 2;
    EXPECT_EQ(manager->activeEnd(), 2);
    for (int n : {60, 62, 64}) manager->noteOn(n, 1.0f);
    EXPECT_EQ(voiceOf(64), 0);  // stolen, not voice 2
    EXPECT_TRUE(voices[2]->calls.empty());
    manager->voiceCount = 100;
    EXPECT_EQ(manager->activeEnd(), kVoices);
    for (int n : {65, 67}) manager->noteOn(n, 1.0f);
    manager->voiceCount = 0;
    clearCalls();
    manager->noteOn(69, 1.0f);
    for (auto& v : voices) EXPECT_TRUE(v->calls.empty());
    manager->noteOff(65, 0.4f);
    EXPECT_EQ(voices[2]->calls, std::vector<Call>{off(0.4f)});
    manager->noteOff(65, 0.4f);  // already released: not again
    manager->noteOff(0, 0.1f);
    for (int i : {0, 1, 3}) EXPECT_EQ(voices[i]->calls, std::vector<Call>{off(0.1f)}) << i;
    EXPECT_EQ(voices[2]->calls, (std::vector<Call>{off(0.4f), off(0.1f)}));
}

TEST_F(VoiceManagerTest, MonoPlaysTheFirstVoiceWithLastNotePriority) {
    manager->voiceCount = 2;
    manager->polyphony = VoiceManager::Mono;
    manager->portamentoMode = VoiceManager::Legato;
    clearCalls();
    // Legato: the first key starts on its pitch, a second one glides, releasing it returns to
    // the first with full velocity.
    manager->noteOn(60, 0.8f);
    manager->noteOn(64, 0.6f);
    manager->noteOff(64, 0.3f);
    manager->noteOff(60, 0.2f);
    manager->noteOn(67, 0.5f);
    EXPECT_EQ(voices[0]->calls,
              (std::vector<Call>{on(60.0f, 60, 0.8f), on(64.0f, 0, 0.6f), on(60.0f, 0, 1.0f),
                                 off(0.2f), on(67.0f, 67, 0.5f)}));
    for (int i = 1; i < kVoices; ++i) EXPECT_TRUE(voices[i]->calls.empty());
    EXPECT_EQ(manager->slotNote(0), 67);

    // Normal: every key glides from the current pitch, also after all keys were up; releasing a
    // key that is not sounding restarts the newest held one.
    manager->noteOff(67, 0.0f);
    manager->portamentoMode = VoiceManager::Normal;
    clearCalls();
    manager->noteOn(60, 1.0f);
    manager->noteOff(60, 0.0f);
    manager->noteOn(64, 1.0f);
    manager->noteOn(67, 1.0f);
    manager->noteOff(64, 0.0f);
    EXPECT_EQ(voices[0]->calls,
              (std::vector<Call>{on(60.0f, 0, 1.0f), off(0.0f), on(64.0f, 0, 1.0f),
                                 on(67.0f, 0, 1.0f), on(67.0f, 0, 1.0f)}));

    // Leaving Mono releases every voice, also beyond the active range, and forgets the keys.
    clearCalls();
    manager->polyphony = VoiceManager::Poly;
    for (auto& v : voices) EXPECT_EQ(v->calls, std::vector<Call>{off(1.0f)});
    manager->polyphony = VoiceManager::Mono;
    manager->portamentoMode = VoiceManager::Legato;
    clearCalls();
    manager->noteOn(70, 1.0f);
    EXPECT_EQ(voices[0]->calls, std::vector<Call>{on(70.0f, 70, 1.0f)});
    manager->polyphony = VoiceManager::Mono;  // no change, no release
    EXPECT_EQ(voices[0]->calls.size(), 1u);
}

// The sustain pedal in Poly mode: released keys sound on; a sustained note struck again takes
// its own voice; lifting the pedal lets go of the notes whose keys are up, at release velocity
// 64; a stolen voice stays with its new note.
TEST_F(VoiceManagerTest, SustainPedalHoldsReleasedNotes) {
    const float pedalOff = VoiceManager::kPedalReleaseVelocity;
    manager->voiceCount = 2;
    manager->setSustain(true);
    manager->noteOn(60, 1.0f);
    manager->noteOff(60, 0.5f);
    manager->noteOn(60, 0.7f);
    manager->noteOff(60, 0.5f);
    EXPECT_EQ(voices[0]->calls,
              (std::vector<Call>{off(1.0f), on(60.0f, 60, 1.0f), off(1.0f), on(60.0f, 60, 0.7f)}))
        << "retriggered in its own voice, never released by its key";
    EXPECT_TRUE(voices[1]->calls.empty());
    manager->noteOn(62, 1.0f);  // key stays down
    manager->noteOn(64, 1.0f);  // steals the sustained 60, not the held 62
    manager->noteOff(64, 0.5f);
    clearCalls();
    manager->setSustain(false);
    EXPECT_EQ(voices[0]->calls, std::vector<Call>{off(pedalOff)}) << "64 was sustained";
    EXPECT_TRUE(voices[1]->calls.empty()) << "62's key is still down";
    manager->noteOff(62, 0.25f);
    EXPECT_EQ(voices[1]->calls, std::vector<Call>{off(0.25f)});
    // All notes off lets go of what the pedal holds too.
    manager->setSustain(true);
    manager->noteOn(67, 1.0f);
    manager->noteOff(67, 0.5f);
    const int v = voiceOf(67);
    clearCalls();
    manager->noteOff(0, 0.0f);
    manager->setSustain(false);
    EXPECT_EQ(voices[v]->calls, std::vector<Call>{off(0.0f)});
}

// In Mono mode the pedal keeps the last note sounding; a new note glides from it as from a held
// key (Legato), and lifting the pedal returns to a key still down or ends the note.
TEST_F(VoiceManagerTest, SustainPedalInMonoKeepsTheLastNote) {
    manager->polyphony = VoiceManager::Mono;
    manager->portamentoMode = VoiceManager::Legato;
    clearCalls();
    manager->setSustain(true);
    manager->noteOn(60, 1.0f);
    manager->noteOff(60, 0.5f);
    manager->noteOn(64, 1.0f);
    manager->noteOn(67, 1.0f);
    manager->noteOff(67, 0.5f);
    EXPECT_EQ(voices[0]->calls,
              (std::vector<Call>{on(60.0f, 60, 1.0f), on(64.0f, 0, 1.0f), on(67.0f, 0, 1.0f)}));
    manager->setSustain(false);  // back to the key still down
    manager->noteOff(64, 0.5f);
    manager->setSustain(true);
    manager->setSustain(false);
    EXPECT_EQ(voices[0]->calls,
              (std::vector<Call>{on(60.0f, 60, 1.0f), on(64.0f, 0, 1.0f), on(67.0f, 0, 1.0f),
                                 on(64.0f, 0, 1.0f), off(0.5f)}));
}

TEST_F(VoiceManagerTest, ClockFollowsTheSampleRate) {
    manager->advanceClock(4800);
    EXPECT_EQ(manager->clockMs(), 100);
    env.setSampleRate(96000.0f);
    manager->advanceClock(4800);
    EXPECT_EQ(manager->clockMs(), 150);
    manager->advanceClock(95);  // 0.99 ms: not a whole millisecond yet
    EXPECT_EQ(manager->clockMs(), 150);
    manager->advanceClock(1);
    EXPECT_EQ(manager->clockMs(), 151);
}

class VoiceMixTest : public ::testing::Test {
protected:
    VoiceMixTest() : env(wave::test::kBlock), manager(env) {}

    const float* pull(int channel, uint32_t flags = 0) {
        env.beginChunk();
        const float* out = manager.output(channel).pull(kFrames, flags);
        env.finishChunk(kFrames, false);
        return out;
    }

    wave::Environment env;
    VoiceManager manager;
};

TEST_F(VoiceMixTest, SumsSoundingVoicesTimesEnvelopeAndGain) {
    FakeVoice a(env, 0.5f, {1.0f, 2.0f, 3.0f, 4.0f}, {-1.0f}, 2.0f, 0.25f);
    FakeVoice b(env, 2.0f, {0.5f}, {4.0f, 0.0f, -4.0f, 8.0f}, 1.0f, 0.5f);
    FakeVoice muted(env, 1.0f, {100.0f}, {100.0f});
    FakeVoice outside(env, 1.0f, {1000.0f}, {1000.0f});
    for (FakeVoice* v : {&a, &muted, &b, &outside}) manager.addVoice(v);
    manager.voiceCount = 3;

    const float* silent = env.silentBuffer().data();
    EXPECT_EQ(pull(0), silent);  // nobody sounds
    EXPECT_EQ(manager.output(1).outputData(), silent);

    // Three notes start the three active slots; one of them falls silent, and a voice beyond
    // the voice count sounds without the manager.
    for (int note : {60, 62, 64}) manager.noteOn(note, 1.0f);
    muted.muted = true;
    outside.noteOn(66.0f, 0, 1.0f);
    // left: 0.5·2·{1,2,3,4} + 2·1·0.5; right: 0.5·0.25·(-1) + 2·0.5·{4,0,-4,8}
    wave::test::expectPattern(pull(0), kFrames, {2.0f, 3.0f, 4.0f, 5.0f});
    wave::test::expectPattern(manager.output(1).outputData(), kFrames,
                              {3.875f, -0.125f, -4.125f, 7.875f});
    EXPECT_EQ(muted.pulls(), 0);
    EXPECT_EQ(outside.pulls(), 0);

    // Advance only: voices advance, nothing is mixed.
    const int before = a.pulls();
    EXPECT_EQ(pull(0, wave::Environment::kFlagAdvanceOnly), silent);
    EXPECT_EQ(a.pulls(), before + 2);  // both channels, not the envelope
}

// Every key twice without release: the Mono key list stays within its capacity.
TEST_F(VoiceMixTest, MonoKeysBeyondTheKeyCountDoNotAllocate) {
    FakeVoice voice(env, 1.0f, {1.0f}, {1.0f});
    manager.addVoice(&voice);
    manager.polyphony = VoiceManager::Mono;
    voice.recording = false;
    AllocationGuard guard;
    for (int i = 0; i < 2 * VoiceManager::kNoteCount; ++i) {
        manager.noteOn(i % VoiceManager::kNoteCount, 1.0f);
    }
    pull(0);
    manager.noteOff(0, 0.0f);
    EXPECT_EQ(guard.allocations(), 0u);
}

}  // namespace
