#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "tests/engine/VornTestRig.h"

namespace {

// Equal temperament on A = 440 Hz: note n sounds at 2^(log2(440) + (n - 69) / 12) Hz.
double noteHz(int note) {
    return 440.0 * std::exp2((note - 69) / 12.0);
}

// (time in samples, frequency) of every whole period from the rising crossings of x.
std::vector<std::pair<double, double>> periods(const std::vector<float>& x, float sampleRate) {
    const std::vector<double> t = risingCrossings(x);
    std::vector<std::pair<double, double>> out;
    for (size_t i = 1; i < t.size(); ++i) out.emplace_back(t[i], sampleRate / (t[i] - t[i - 1]));
    return out;
}

TEST(VornSound, SineSoundsAtTheNotePitchAndTheFootageTransposesByOctaves) {
    VornTestRig rig;
    setPlainSine(rig);
    rig.noteOn(69);
    const size_t settle = static_cast<size_t>(rig.frames(0.1));
    VornTestRig::Stereo a = rig.render(rig.frames(1.3));
    EXPECT_NEAR(zeroCrossingFrequency(a.left, rig.sampleRate(), settle), 440.0, 0.05);
    EXPECT_NEAR(zeroCrossingFrequency(a.right, rig.sampleRate(), settle), 440.0, 0.05);
    // A plain sine carries all its energy at the fundamental: nothing at the octave.
    const size_t second = static_cast<size_t>(rig.frames(1.0));
    const double fundamental = toneAmplitude(a.left, settle, second, 440.0, rig.sampleRate());
    EXPECT_GT(fundamental, 0.05);
    EXPECT_LT(toneAmplitude(a.left, settle, second, 880.0, rig.sampleRate()), 1e-3 * fundamental);

    // The footage takes effect at once, without a glide: the first periods are already there.
    const std::pair<const char*, double> footages[] = {
        {"Master Scale=8\"", 880.0}, {"Master Scale=4\"", 1760.0}, {"Master Scale=32\"", 220.0}};
    for (const auto& [assignment, hz] : footages) {
        rig.set(assignment);
        VornTestRig::Stereo b = rig.render(rig.frames(1.1));
        const double tolerance = hz * 0.05 / 440.0;
        EXPECT_NEAR(zeroCrossingFrequency(b.left, rig.sampleRate(), 0, rig.frames(0.01)), hz,
                    hz * 1e-3)
            << assignment;
        EXPECT_NEAR(zeroCrossingFrequency(b.left, rig.sampleRate(), rig.frames(0.05)), hz,
                    tolerance)
            << assignment;
    }

    // Other notes follow the tempered scale; the oscillator's own scale adds octaves.
    rig.set({"Master Scale=16\"", "Osc 1 Scale=1 octave"});
    rig.noteOff(69);
    rig.noteOn(60, 100, 1);
    VornTestRig::Stereo c = rig.render(rig.frames(1.2));
    EXPECT_NEAR(zeroCrossingFrequency(c.left, rig.sampleRate(), settle), 2.0 * noteHz(60), 0.1);
}

// A note-on at offset k of a host block is silent before k and sounds right from k, whatever
// the host block size and however the block is split into engine chunks.
TEST(VornSound, NoteStartsAtItsSampleOffsetForAnyHostBlockSize) {
    const std::pair<int, std::vector<int>> cases[] = {
        {1, {0}},           {5, {0, 2, 4}},         {64, {0, 31, 63}},
        {256, {0, 1, 255}}, {1000, {0, 257, 999}},
    };
    constexpr int kSoundsWithin = 4;
    constexpr float kAudible = 1e-6f;
    for (const auto& [blockFrames, offsets] : cases) {
        for (int k : offsets) {
            VornTestRig rig;
            rig.set({"EG Main Attack=0.001 sec", "Osc 1 Wave Form=Sine"});
            const int preroll = 3 * blockFrames + 300;
            VornTestRig::Stereo before = rig.render(preroll, blockFrames);
            rig.noteOn(60, 127, k);
            VornTestRig::Stereo after = rig.render(2 * blockFrames + kSoundsWithin, blockFrames);
            for (float x : before.left) ASSERT_EQ(x, 0.0f) << blockFrames << "/" << k;
            for (int i = 0; i < k; ++i) {
                EXPECT_EQ(after.left[i], 0.0f) << "block " << blockFrames << " k " << k << " " << i;
                EXPECT_EQ(after.right[i], 0.0f) << "block " << blockFrames << " k " << k << " " << i;
            }
            bool sounding = false;
            for (int i = k; i < k + kSoundsWithin; ++i) {
                sounding = sounding || std::fabs(after.left[i]) > kAudible;
            }
            EXPECT_TRUE(sounding) << "block " << blockFrames << " k " << k;
        }
    }
}

// Mono legato: the first key starts on its pitch, a second key while the first is held glides
// there without restarting the envelope, releasing it glides back to the held first key.
TEST(VornSound, MonoLegatoGlidesToTheSecondKeyAndBackToTheHeldFirst) {
    VornTestRig rig;
    setPlainSine(rig);
    rig.set({"Polyphony=Mono", "Portamento Mode=Legato", "Portamento=100 ms"});
    rig.render(VornTestRig::kBlockFrames);
    const float rate = rig.sampleRate();
    const double low = noteHz(57);
    const double high = noteHz(69);

    rig.noteOn(57);
    VornTestRig::Stereo first = rig.render(rig.frames(0.3));
    const auto start = periods(first.left, rate);
    ASSERT_FALSE(start.empty());
    EXPECT_NEAR(start.front().second, low, 1.0) << "the first key must not glide";
    EXPECT_NEAR(zeroCrossingFrequency(first.left, rate, rig.frames(0.1)), low, 0.05);
    const double steady = rms(first.left, rig.frames(0.1));

    rig.noteOn(69);
    VornTestRig::Stereo up = rig.render(rig.frames(0.4));
    const auto rising = periods(up.left, rate);
    ASSERT_GT(rising.size(), 10u);
    // Moving, but not yet there, within the first 5 ms; then rising steadily.
    EXPECT_GT(rising[1].second, low * 1.02);
    EXPECT_LT(rising[1].second, high * 0.9);
    for (size_t i = 1; i < rising.size() && rising[i].first < rig.frames(0.1); ++i) {
        EXPECT_GE(rising[i].second, rising[i - 1].second - 0.5) << "at sample " << rising[i].first;
    }
    EXPECT_NEAR(zeroCrossingFrequency(up.left, rate, rig.frames(0.12)), high, 0.05);
    // Legato: the envelope goes on, so the level never dips at the change.
    for (size_t i = 0; i + 240 <= static_cast<size_t>(rig.frames(0.1)); i += 240) {
        EXPECT_GT(rms(up.left, i, i + 480), 0.9 * steady) << "at sample " << i;
    }

    rig.noteOff(69);
    VornTestRig::Stereo down = rig.render(rig.frames(0.4));
    const auto falling = periods(down.left, rate);
    ASSERT_GT(falling.size(), 10u);
    EXPECT_LT(falling[1].second, high / 1.02);
    EXPECT_GT(falling[1].second, low * 1.1);
    EXPECT_NEAR(zeroCrossingFrequency(down.left, rate, rig.frames(0.15)), low, 0.05);
    EXPECT_GT(rms(down.left, rig.frames(0.15)), 0.9 * steady) << "the first key is still held";
}

}  // namespace
