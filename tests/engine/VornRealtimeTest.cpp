#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "engine/VornPlugin.h"
#include "framework/AbstractPluginParameter.h"
#include "tests/engine/VornTestRig.h"
#include "tests/support/AllocationCounter.h"

namespace {

constexpr int kSeconds = 60;
constexpr int kBlockFrames = 256;
constexpr int kBlocks = kSeconds * static_cast<int>(VornTestRig::kSampleRate) / kBlockFrames;
constexpr int kMaxEventsPerBlock = 6;
constexpr int kChangesPerBlock = 4;
// +24 dBFS.
const float kCeiling = std::pow(10.0f, 24.0f / 20.0f);

// A dense stream of MIDI on all sixteen channels: notes (some left hanging, some released),
// pitch bend, mod wheel, any controller, channel and key pressure.
class MidiStorm {
public:
    explicit MidiStorm(uint32_t seed) : random_(seed) {}

    std::vector<MidiEvent> next() {
        std::vector<MidiEvent> events(pick(0, kMaxEventsPerBlock));
        for (MidiEvent& e : events) e = message(static_cast<int32_t>(pick(0, kBlockFrames - 1)));
        std::stable_sort(events.begin(), events.end(), [](const MidiEvent& a, const MidiEvent& b) {
            return a.offset < b.offset;
        });
        return events;
    }

private:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random_); }
    uint8_t byte(int lo = 0, int hi = 127) { return static_cast<uint8_t>(pick(lo, hi)); }

    MidiEvent message(int32_t offset) {
        const uint8_t channel = byte(0, 15);
        switch (pick(0, 9)) {
            case 0:
            case 1:
            case 2: {
                const uint8_t note = byte();
                held_.push_back(static_cast<uint16_t>(channel << 8 | note));
                return {static_cast<uint8_t>(0x90 | channel), note, byte(1, 127), 0, offset};
            }
            case 3:
            case 4: {
                if (held_.empty())
                    return {static_cast<uint8_t>(0x80 | channel), byte(), 0, 0, offset};
                const size_t i = static_cast<size_t>(pick(0, static_cast<int>(held_.size()) - 1));
                const uint16_t key = held_[i];
                held_.erase(held_.begin() + static_cast<long>(i));
                // Half of the releases are note-ons of velocity 0.
                const uint8_t status = static_cast<uint8_t>((pick(0, 1) ? 0x80 : 0x90) | key >> 8);
                return {status, static_cast<uint8_t>(key & 0x7f), 0, 0, offset};
            }
            case 5:
                return {static_cast<uint8_t>(0xE0 | channel), byte(), byte(), 0, offset};
            case 6:
                return {static_cast<uint8_t>(0xB0 | channel), 1, byte(), 0, offset};
            case 7:
                return {static_cast<uint8_t>(0xB0 | channel), byte(0, 127), byte(), 0, offset};
            case 8:
                return {static_cast<uint8_t>(0xD0 | channel), byte(), 0, 0, offset};
            default:
                return {static_cast<uint8_t>(0xA0 | channel), byte(), byte(), 0, offset};
        }
    }

    std::mt19937 random_;
    std::vector<uint16_t> held_;
};

// A host automating every parameter at random, a few changes per rendered block.
void automate(VornPlugin& plugin, const std::atomic<int>& blocks, const std::atomic<bool>& done,
              uint32_t seed) {
    std::mt19937 random(seed);
    const int count = plugin.getParameterCount();
    std::uniform_int_distribution<int> ids(0, count - 1);
    int seen = -1;
    while (!done.load()) {
        for (int k = 0; k < kChangesPerBlock; ++k) {
            AbstractPluginParameter* p = plugin.getParameter(ids(random));
            const float lo = p->getMinimum();
            const float hi = p->getMaximum();
            float value = std::uniform_real_distribution<float>(lo, hi)(random);
            if (p->kind() == AbstractPluginParameter::kIndexed) value = std::round(value);
            p->setValue(value, GenericPlugin::kFlagFromHost);
        }
        // Keep pace with the audio thread, so that the queue never has to grow.
        while (blocks.load() == seen && !done.load()) std::this_thread::yield();
        seen = blocks.load();
    }
}

// A minute of dense MIDI while another thread automates random parameters: the audio thread
// never allocates, and the output stays finite and below +24 dBFS.
TEST(VornRealtime, DenseMidiAndAutomationNeverAllocateOnTheAudioThread) {
    VornTestRig rig;
    VornPlugin& plugin = rig.plugin();
    ASSERT_EQ(plugin.getParameterCount(), VornPlugin::kHostParameterCount);
    std::vector<float> left(kBlockFrames);
    std::vector<float> right(kBlockFrames);
    std::array<float*, 2> outputs{left.data(), right.data()};

    std::atomic<int> blocks{0};
    std::atomic<bool> done{false};
    std::thread host(automate, std::ref(plugin), std::cref(blocks), std::cref(done), 99u);

    MidiStorm storm(1234);
    size_t allocations = 0;
    int firstAllocatingBlock = -1;
    int firstBadBlock = -1;
    float peak = 0.0f;
    for (int b = 0; b < kBlocks; ++b) {
        for (const MidiEvent& e : storm.next()) plugin.receiveMidi(e);
        size_t made = 0;
        {
            AllocationGuard guard;
            plugin.processBlock(nullptr, 0, outputs.data(), 2, kBlockFrames);
            made = guard.allocations();
        }
        if (made && firstAllocatingBlock < 0) firstAllocatingBlock = b;
        allocations += made;
        for (int i = 0; i < kBlockFrames; ++i) {
            for (float x : {left[static_cast<size_t>(i)], right[static_cast<size_t>(i)]}) {
                if (!std::isfinite(x) || std::fabs(x) >= kCeiling) {
                    if (firstBadBlock < 0) firstBadBlock = b;
                } else {
                    peak = std::max(peak, std::fabs(x));
                }
            }
        }
        blocks.store(b);
    }
    done.store(true);
    host.join();

    EXPECT_EQ(allocations, 0u) << "first in block " << firstAllocatingBlock;
    EXPECT_EQ(firstBadBlock, -1) << "non-finite or above +24 dBFS; finite peak " << peak;
    EXPECT_GT(peak, 0.0f) << "the storm must have been heard";
}

}  // namespace
