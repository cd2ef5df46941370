#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "engine/VornPlugin.h"
#include "persistence/BinaryDataReader.h"
#include "persistence/ParameterCollection.h"
#include "persistence/ParameterRecord.h"
#include "tests/reliability/ReliabilityRig.h"

namespace reliability {
namespace {

constexpr float kRate = 48000.0f;
constexpr double kTailSeconds = 0.5;

// A patch away from the defaults: every parameter at a random point of its middle range, so that
// noise, unison, delay and modulation paths take part (many seeds give silent patches; the tests
// use seeds that sound). Returns the plain values by id.
std::vector<float> randomPatch(VornPlugin& plugin, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> middle(0.1f, 0.9f);
    std::vector<float> values;
    for (int id = 0; id < plugin.getParameterCount(); ++id) {
        AbstractPluginParameter* p = plugin.getParameter(id);
        const float plain = p->normalizedToPlain(middle(random));
        p->setValue(plain, GenericPlugin::kFlagFromHost);
        values.push_back(p->getValue());
    }
    // The patch is the starting point, not a glide away from the defaults.
    plugin.queueResetMarker();
    return values;
}

void setPatch(VornPlugin& plugin, const std::vector<float>& values) {
    for (int id = 0; id < plugin.getParameterCount(); ++id)
        plugin.getParameter(id)->setValue(values[static_cast<size_t>(id)],
                                          GenericPlugin::kFlagFromHost);
    plugin.queueResetMarker();
}

// A fresh instance with the patch (defaults when empty) rendering the standard phrase.
Stereo renderFresh(const std::vector<float>& patch, const BlockSchedule& schedule) {
    auto plugin = std::make_unique<VornPlugin>();
    prepare(*plugin, kRate);
    if (!patch.empty()) setPatch(*plugin, patch);
    return render(*plugin, standardPhrase(*plugin, kRate, kTailSeconds), schedule);
}

std::vector<float> patchOf(uint32_t seed) {
    VornPlugin plugin;
    prepare(plugin, kRate);
    return randomPatch(plugin, seed);
}

// Defaults but the widest unison: every note start draws detune factors from the generator.
std::vector<float> widestUnison() {
    VornPlugin plugin;
    std::vector<float> values;
    for (int id = 0; id < plugin.getParameterCount(); ++id)
        values.push_back(plugin.getParameter(id)->getDefault());
    for (const char* name : {"Unison Voices", "Unison Spread"}) {
        const int id = parameterId(plugin, name);
        EXPECT_GE(id, 0) << name;
        if (id >= 0) values[static_cast<size_t>(id)] = plugin.getParameter(id)->getMaximum();
    }
    return values;
}

TEST(Determinism, sameScriptGivesBitIdenticalOutputEverywhere) {
    const BlockSchedule schedule = BlockSchedule::random(7, 1, 700);
    const std::vector<std::vector<float>> patches{{}, widestUnison(), patchOf(3), patchOf(34)};
    for (size_t k = 0; k < patches.size(); ++k) {
        const std::vector<float>& patch = patches[k];
        SCOPED_TRACE("patch " + std::to_string(k));
        const Stereo reference = renderFresh(patch, schedule);
        ASSERT_GT(scan(reference).peak, 1e-3f) << "the phrase must sound";

        // Again in a second instance made after the first is gone.
        const Stereo again = renderFresh(patch, schedule);
        EXPECT_EQ(firstDifference(reference, again), SIZE_MAX) << "a later instance";

        // Two instances alive at once, their blocks interleaved.
        auto a = std::make_unique<VornPlugin>();
        auto b = std::make_unique<VornPlugin>();
        for (VornPlugin* p : {a.get(), b.get()}) {
            prepare(*p, kRate);
            if (!patch.empty()) setPatch(*p, patch);
        }
        const RenderScript script = standardPhrase(*a, kRate, kTailSeconds);
        ScriptPlayer playA(*a, script, schedule);
        ScriptPlayer playB(*b, script, schedule);
        // One host block of each in turn.
        while (playA.step() && playB.step()) {
        }
        const Stereo& outA = playA.out;
        const Stereo& outB = playB.out;
        EXPECT_EQ(firstDifference(reference, outA), SIZE_MAX) << "instance A of two";
        EXPECT_EQ(firstDifference(reference, outB), SIZE_MAX) << "instance B of two";

        // On another thread.
        Stereo threaded;
        std::thread worker([&] { threaded = renderFresh(patch, schedule); });
        worker.join();
        EXPECT_EQ(firstDifference(reference, threaded), SIZE_MAX) << "another thread";
    }
}

// The state record carries everything that shapes the sound: a fresh instance restored from it
// renders what the saved instance rendered from its start.
TEST(Determinism, restoredStateRendersLikeTheSavedInstance) {
    const BlockSchedule schedule = BlockSchedule::fixed(512);
    for (uint32_t seed : {45u, 50u, 68u}) {
        SCOPED_TRACE(seed);
        VornPlugin saved;
        prepare(saved, kRate);
        randomPatch(saved, seed);
        const RenderScript script = standardPhrase(saved, kRate, kTailSeconds);
        const Stereo a = render(saved, script, schedule);
        ASSERT_GT(scan(a).peak, 1e-4f) << "the phrase must sound";
        const std::vector<uint8_t> record =
            ParameterRecord::encode(ParameterCollection::of(saved), VornPlugin::kStateVersion);

        VornPlugin restored;
        prepare(restored, kRate);
        BinaryMemoryReader reader(record);
        ASSERT_TRUE(ParameterRecord::loadCollection(ParameterCollection::of(restored), reader,
                                                    VornPlugin::kStateVersion));
        restored.queueResetMarker();
        const Stereo b = render(restored, script, schedule);
        EXPECT_EQ(firstDifference(a, b), SIZE_MAX);
        EXPECT_EQ(
            ParameterRecord::encode(ParameterCollection::of(restored), VornPlugin::kStateVersion),
            record);
    }
}

}  // namespace
}  // namespace reliability
