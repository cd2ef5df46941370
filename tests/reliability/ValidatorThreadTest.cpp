#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "engine/VornPlugin.h"
#include "persistence/BinaryDataReader.h"
#include "persistence/ParameterCollection.h"
#include "persistence/ParameterRecord.h"
#include "tests/engine/VornTestRig.h"
#include "tests/reliability/ReliabilityRig.h"

// A host's user-interface thread saving, restoring and automating while its audio thread renders.
namespace reliability {
namespace {

constexpr float kRate = 48000.0f;
constexpr int kBlockFrames = 256;
constexpr double kA4 = 440.0;
// +24 dBFS: wild patches may be loud, but never without bound.
constexpr float kBound = 15.848932f;

// Renders host blocks with notes coming and going, and checks every sample as it goes.
class AudioThread {
public:
    explicit AudioThread(VornPlugin& plugin) : plugin_(plugin) {}

    void block() {
        const int k = blocks_++;
        // A four-note chord every eight blocks, released four blocks later.
        if (k % 8 == 0 || k % 8 == 4) {
            const auto status = static_cast<uint8_t>(k % 8 == 0 ? 0x90 : 0x80);
            for (int i = 0; i < 4; ++i) {
                const auto note = static_cast<uint8_t>(48 + 7 * i + k / 8 % 12);
                plugin_.receiveMidi(MidiEvent{status, note, 127, 0, 17 * i});
            }
        }
        std::array<float*, 2> outputs{left_.data(), right_.data()};
        plugin_.processBlock(nullptr, 0, outputs.data(), 2, kBlockFrames);
        for (const std::array<float, kBlockFrames>* channel : {&left_, &right_}) {
            for (const float x : *channel) {
                const int kind = std::fpclassify(x);
                if (kind == FP_NAN || kind == FP_INFINITE || kind == FP_SUBNORMAL ||
                    std::fabs(x) > kBound)
                    ++badSamples_;
            }
        }
    }

    int blocks() const { return blocks_.load(std::memory_order_acquire); }
    int badSamples() const { return badSamples_; }

private:
    VornPlugin& plugin_;
    std::array<float, kBlockFrames> left_{};
    std::array<float, kBlockFrames> right_{};
    std::atomic<int> blocks_{0};
    int badSamples_ = 0;
};

std::vector<uint8_t> stateOf(VornPlugin& plugin) {
    return ParameterRecord::encode(ParameterCollection::of(plugin), VornPlugin::kStateVersion);
}

// A fifth of the values at either end of the range.
void setAllRandomly(VornPlugin& plugin, std::mt19937& random) {
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int id = 0; id < plugin.getParameterCount(); ++id) {
        AbstractPluginParameter* p = plugin.getParameter(id);
        float normalized = unit(random);
        if (normalized < 0.1f) normalized = 0.0f;
        if (normalized > 0.9f) normalized = 1.0f;
        p->setValue(p->normalizedToPlain(normalized), GenericPlugin::kFlagFromHost);
    }
}

std::vector<uint8_t> randomState(uint32_t seed) {
    VornPlugin plugin;
    prepare(plugin, kRate);
    std::mt19937 random(seed);
    setAllRandomly(plugin, random);
    return stateOf(plugin);
}

// Level of a held A4 from the sine patch in a fresh instance.
double freshSineLevel() {
    auto plugin = sinePlugin(kRate);
    return rms(render(*plugin, heldA4(kRate, 0.3), BlockSchedule::fixed(kBlockFrames)).left, 4800);
}

// After any storm: the instance plays the sine patch in tune and at the level a fresh one has.
void expectPlaysLikeNew(VornPlugin& plugin, double level) {
    for (int id = 0; id < plugin.getParameterCount(); ++id) {
        AbstractPluginParameter* p = plugin.getParameter(id);
        p->setValue(p->getDefault(), GenericPlugin::kFlagFromHost);
    }
    ASSERT_TRUE(setPlainSine(plugin));
    // The host's reset: notes left hanging by the storm stop, the new values apply at once.
    plugin.reset();
    const Stereo out = render(plugin, heldA4(kRate, 0.3), BlockSchedule::fixed(kBlockFrames));
    const auto settled = static_cast<size_t>(kRate * 0.1);
    EXPECT_NEAR(zeroCrossingFrequency(out.left, kRate, settled), kA4, 0.05);
    EXPECT_NEAR(rms(out.left, settled), level, level * 0.02);
}

TEST(ValidatorThreads, stateSavedAndRestoredWhileTheAudioThreadRuns) {
    constexpr int kRestores = 200;
    const std::vector<uint8_t> a = randomState(101);
    const std::vector<uint8_t> b = randomState(102);
    ASSERT_NE(a, b);
    const double level = freshSineLevel();

    VornPlugin plugin;
    prepare(plugin, kRate);
    AudioThread audio(plugin);
    std::atomic<bool> done{false};
    std::thread audioThread([&] {
        while (!done.load(std::memory_order_acquire) || audio.blocks() < 100) audio.block();
    });

    size_t wrongSizes = 0;
    size_t failedLoads = 0;
    for (int k = 0; k < kRestores; ++k) {
        // Saving reads whatever values are current: the size and header never vary.
        const std::vector<uint8_t> saved = stateOf(plugin);
        if (saved.size() != a.size() || !std::equal(saved.begin(), saved.begin() + 12, a.begin()))
            ++wrongSizes;
        const std::vector<uint8_t>& next = k % 2 ? a : b;
        BinaryMemoryReader reader(next);
        if (!ParameterRecord::loadCollection(ParameterCollection::of(plugin), reader,
                                             VornPlugin::kStateVersion))
            ++failedLoads;
        plugin.queueResetMarker();
        // Every restore meets at least one block.
        const int seen = audio.blocks();
        while (audio.blocks() == seen) std::this_thread::yield();
    }
    done.store(true, std::memory_order_release);
    audioThread.join();

    EXPECT_EQ(wrongSizes, 0u);
    EXPECT_EQ(failedLoads, 0u);
    EXPECT_EQ(audio.badSamples(), 0) << "over " << audio.blocks() << " blocks";
    // The last restore wins.
    EXPECT_EQ(stateOf(plugin), a);
    expectPlaysLikeNew(plugin, level);
}

TEST(ValidatorThreads, everyParameterSet500TimesWhile500BlocksRender) {
    constexpr int kRounds = 500;
    constexpr int kBlocks = 500;
    const double level = freshSineLevel();

    VornPlugin plugin;
    prepare(plugin, kRate);
    AudioThread audio(plugin);
    std::atomic<bool> go{false};
    std::thread audioThread([&] {
        while (!go.load(std::memory_order_acquire)) std::this_thread::yield();
        for (int k = 0; k < kBlocks; ++k) audio.block();
    });

    std::mt19937 random(500);
    go.store(true, std::memory_order_release);
    for (int round = 0; round < kRounds; ++round) setAllRandomly(plugin, random);
    audioThread.join();

    EXPECT_EQ(audio.badSamples(), 0);
    expectPlaysLikeNew(plugin, level);
}

// More changes than the parameter queue can ever hold, made while no block runs (a host that
// loads presets with its audio stopped): the engine still ends up with every current value.
TEST(ValidatorThreads, changesBeyondTheQueueCapacityStillReachTheEngine) {
    constexpr int kRounds = 100;
    const double level = freshSineLevel();
    VornPlugin plugin;
    prepare(plugin, kRate);
    ASSERT_GT(kRounds * plugin.getParameterCount(), 65536);
    std::mt19937 random(77);
    for (int round = 0; round < kRounds; ++round) setAllRandomly(plugin, random);
    AudioThread audio(plugin);
    for (int k = 0; k < 16; ++k) audio.block();
    expectPlaysLikeNew(plugin, level);
}

}  // namespace
}  // namespace reliability
