#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "framework/FloatParamPluginParameter.h"
#include "framework/FloatPluginParameter.h"
#include "framework/FloatingPointGuard.h"
#include "framework/PluginSettings.h"
#include "tests/framework/TestPluginCore.h"
#include "tests/support/AllocationCounter.h"
#include "wave/FloatParameterSource.h"

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace {

constexpr float kRate = 48000.0f;
constexpr int kFadeSamples = 2400;  // 50 ms at 48 kHz

// Records what reaches the audio side; every vector is reserved so the audio path stays
// allocation-free.
struct RecordingParameter : FloatPluginParameter {
    RecordingParameter(GenericParameterOwner* owner, const std::string& name,
                       std::vector<std::pair<int, float>>* log)
        : FloatPluginParameter(owner, name), log(log) {}
    void applyValue(float plain) override { log->emplace_back(static_cast<int>(id()), plain); }
    std::vector<std::pair<int, float>>* log;
};

// Plays the note messages it is handed; the product's decoder lives in midi/.
struct NoteDecoder : MidiMessageReceiver {
    explicit NoteDecoder(GenericPlugin& plugin) : plugin(plugin) {}
    void receiveMidi(const MidiEvent& e) override {
        const int type = e.status & 0xF0;
        if (type == 0x90 && e.data2 > 0) {
            plugin.triggerNote(e.data1, e.data2 / 127.0f);
        } else if (type == 0x80 || type == 0x90) {
            plugin.releaseNotes(e.data1, e.data2 / 127.0f);
        }
    }
    GenericPlugin& plugin;
};

using NoteRecord = std::pair<int, uint32_t>;  // note and sample clock

class TestPlugin : public TestPluginCore<RecordingParameter> {
public:
    TestPlugin() {
        initialize();
        applied.reserve(4096);
        chunks.reserve(4096);
        notes.reserve(256);
        releases.reserve(256);
        for (int i = 0; i < 3; ++i)
            parameters.push_back(
                std::make_unique<RecordingParameter>(this, "Param " + std::to_string(i), &applied));
        ones.assign(kMaxBlockSize, 1.0f);
        setSampleRate(kRate);
    }
    void render(const float** data, int channels, int frames) override {
        chunks.push_back(frames);
        for (int c = 0; c < channels; ++c) data[c] = ones.data();
        modeInside = FloatingPointGuard::mode();
        quarterOfTinyInside = tiny * 0.25f;
        if (probe) {
            const float* v = probe->pull(static_cast<uint32_t>(frames), 0);
            probeFirst = v[0];
            probeLast = v[frames - 1];
        }
    }
    void triggerNote(int note, float) override {
        notes.push_back({note, environment().sampleClock()});
    }
    void releaseNotes(int note, float) override {
        releases.push_back({note, environment().sampleClock()});
    }
    std::unique_ptr<MidiMessageReceiver> createMidiDecoder() override {
        return std::make_unique<NoteDecoder>(*this);
    }
    void environmentChanged() override { ++environmentChanges; }
    void setTransport(double, double beat) override { lastBeat = beat; }

    std::vector<std::pair<int, float>> applied;
    std::vector<int> chunks;
    std::vector<NoteRecord> notes;
    std::vector<NoteRecord> releases;
    std::vector<float> ones;
    wave::Producer* probe = nullptr;  // pulled in every rendered chunk
    float probeFirst = 0.0f;
    float probeLast = 0.0f;
    uint64_t modeInside = 0;
    volatile float tiny = 1e-38f;  // a quarter of it is subnormal
    float quarterOfTinyInside = 0.0f;
    int environmentChanges = 0;
    double lastBeat = 0.0;
};

struct RecordingListener : GenericPlugin::Listener {
    void notify(int code, int value) override { events.emplace_back(code, value); }
    std::vector<std::pair<int, int>> events;
};

MidiEvent noteOn(int note, int offset) {
    return MidiEvent{0x90, static_cast<uint8_t>(note), 100, 0, offset};
}

struct Block {
    explicit Block(int frames) : left(frames, -7.0f), right(frames, -7.0f) {}
    float* outputs[2] = {nullptr, nullptr};
    float* const* ptrs() {
        outputs[0] = left.data();
        outputs[1] = right.data();
        return outputs;
    }
    std::vector<float> left, right;
};

// One host block of `frames` on both channels, nothing on the inputs.
Block play(GenericPlugin& plugin, int frames) {
    Block block(frames);
    plugin.processBlock(nullptr, 0, block.ptrs(), 2, frames);
    return block;
}

TEST(GenericPlugin, SplitsHostBlockAtEventOffsetsAndIntoChunks) {
    TestPlugin plugin;
    // An empty block dispatches what is queued and renders nothing.
    plugin.receiveMidi(noteOn(64, 17));
    plugin.receiveMidi(MidiEvent{0x80, 64, 0, 0, 3});
    plugin.processBlock(nullptr, 0, nullptr, 2, 0);
    EXPECT_TRUE(plugin.chunks.empty());
    EXPECT_EQ(plugin.releases.size(), 1u);

    for (auto [note, offset] : {std::pair{60, 0}, {61, 0}, {62, 300}, {63, 1200}}) {
        plugin.receiveMidi(noteOn(note, offset));
    }
    const Block block = play(plugin, 1000);
    EXPECT_EQ(plugin.chunks, (std::vector<int>{256, 44, 256, 256, 188}));
    // Note and sample clock: an offset beyond the block plays after the last chunk.
    EXPECT_EQ(plugin.notes,
              (std::vector<NoteRecord>{{64, 0}, {60, 0}, {61, 0}, {62, 300}, {63, 1000}}));
    EXPECT_EQ(block.left[999], 1.0f);
}

TEST(GenericPlugin, SharedObjectsLiveWithTheInstancesAndConserveMemoryDecidesLaterBlockSizes) {
    for (uint32_t level = 0; level <= 4; ++level) {
        EXPECT_EQ(GenericPlugin::blockSizeFor(level), std::max(256u >> level, 32u)) << level;
    }
    EXPECT_EQ(GenericPlugin::sharedSettings(), nullptr);
    {
        TestPlugin first;
        EXPECT_EQ(GenericPlugin::instanceCount(), 1);
        ASSERT_NE(GenericPlugin::sharedSettings(), nullptr);
        EXPECT_TRUE(first.settings().isDirty());
        GenericPlugin::sharedSettings()->conserveMemory = 9;  // clamped to 4
        EXPECT_EQ(GenericPlugin::sharedSettings()->conserveMemory.get(), 4);
        TestPlugin second;
        EXPECT_EQ(GenericPlugin::instanceCount(), 2);
        EXPECT_EQ(first.blockSize(), 256u);
        const Block block = play(second, 100);
        EXPECT_EQ(second.chunks, (std::vector<int>{32, 32, 32, 4}));

        // A sample rate change reaches the product only when the rate really changes.
        EXPECT_EQ(first.environmentChanges, 1);  // 44.1 -> 48 kHz in the constructor
        first.setSampleRate(kRate);
        first.setSampleRate(96000.0f);
        EXPECT_EQ(first.environmentChanges, 2);
    }
    EXPECT_EQ(GenericPlugin::sharedSettings(), nullptr);
    EXPECT_EQ(GenericPlugin::instanceCount(), 0);
}

TEST(GenericPlugin, UpdateBatchSendsOneNotificationAndKeepsOrder) {
    TestPlugin plugin;
    RecordingListener listener;
    RecordingAdapter adapter;
    plugin.setEditorListener(&listener);
    plugin.setAdapter(&adapter);

    plugin.beginUpdate();
    plugin.beginUpdate();
    plugin.parameters[0]->setValue(0.25f, 0);
    plugin.parameters[1]->setValue(0.5f, 0);
    plugin.endUpdate();
    plugin.parameters[2]->setValue(0.75f, 0);
    plugin.parameters[0]->setValue(1.0f, 0);
    plugin.pump();
    EXPECT_TRUE(listener.events.empty());
    EXPECT_TRUE(adapter.changed.empty());

    // Nothing is applied while a batch is open.
    play(plugin, 32);
    EXPECT_TRUE(plugin.applied.empty());

    plugin.endUpdate();
    EXPECT_EQ(adapter.changed, std::vector<int>{-1});
    plugin.pump();
    EXPECT_EQ(listener.events.size(), 1u);
    EXPECT_TRUE(plugin.currentPreset().isModified());

    play(plugin, 32);
    const int id0 = static_cast<int>(plugin.parameters[0]->id());
    const int id1 = static_cast<int>(plugin.parameters[1]->id());
    const int id2 = static_cast<int>(plugin.parameters[2]->id());
    EXPECT_EQ(plugin.applied, (std::vector<std::pair<int, float>>{
                                  {id0, 0.25f}, {id1, 0.5f}, {id2, 0.75f}, {id0, 1.0f}}));

    // Outside a batch every change is reported on its own; host-made changes skip the adapter.
    plugin.parameters[1]->setValue(0.1f, 0);
    plugin.parameters[2]->setValue(0.2f, GenericPlugin::kFlagFromHost);
    EXPECT_EQ(adapter.changed, (std::vector<int>{-1, id1}));
    plugin.pump();
    EXPECT_EQ(listener.events,
              (std::vector<std::pair<int, int>>{{GenericPlugin::kNotifyParameterChanged, -1},
                                                {GenericPlugin::kNotifyParameterChanged, id1},
                                                {GenericPlugin::kNotifyParameterChanged, id2}}));

    // A batch without changes says nothing.
    plugin.beginUpdate();
    plugin.endUpdate();
    EXPECT_EQ(adapter.changed.size(), 2u);
    plugin.setEditorListener(nullptr);
}

TEST(GenericPlugin, BypassFadesOverFiftyMillisecondsAndStopsRenderingWithoutAllocating) {
    TestPlugin plugin;
    Block warm(256), fade(4096), quiet(512), back(4096);
    plugin.processBlock(nullptr, 0, warm.ptrs(), 2, 256);
    EXPECT_EQ(warm.left[0], 1.0f);
    AllocationGuard guard;

    plugin.setBypass(0, true);
    plugin.processBlock(nullptr, 0, fade.ptrs(), 2, 4096);
    for (int k : {0, 1, 600, 1200, 2399})
        EXPECT_NEAR(fade.left[k], 1.0f - static_cast<float>(k) / kFadeSamples, 1e-5f) << k;
    EXPECT_EQ(fade.left[2400], 0.0f);
    EXPECT_EQ(fade.right[4095], 0.0f);

    // Fully bypassed: the engine does not run. The second source keeps it bypassed until both
    // are off.
    const size_t chunksBefore = plugin.chunks.size();
    plugin.setBypass(1, true);
    plugin.setBypass(0, false);
    plugin.processBlock(nullptr, 0, quiet.ptrs(), 2, 512);
    EXPECT_EQ(plugin.chunks.size(), chunksBefore);
    EXPECT_EQ(quiet.left[511], 0.0f);

    plugin.setBypass(1, false);
    plugin.processBlock(nullptr, 0, back.ptrs(), 2, 4096);
    for (int k : {0, 1200, 2399})
        EXPECT_NEAR(back.left[k], static_cast<float>(k) / kFadeSamples, 1e-5f) << k;
    EXPECT_EQ(back.left[2400], 1.0f);
    EXPECT_EQ(guard.allocations(), 0u);
}

TEST(GenericPlugin, HostBlocksFlushDenormalsAndGiveTheHostThreadItsModeBack) {
    TestPlugin plugin;
    // The caller's own mode, with a rounding toward zero that the audio mode does not have.
#if defined(__SSE__)
    const uint64_t caller = FloatingPointGuard::kDefaultMode | 0x6000;
    const uint64_t exceptionFlags = 0x3F;  // raised by the work inside, kept in the same register
#elif defined(__aarch64__)
    const uint64_t caller = FloatingPointGuard::kDefaultMode | (uint64_t{3} << 22);
    const uint64_t exceptionFlags = 0;
#else
    GTEST_SKIP() << "no floating-point mode on this processor";
    const uint64_t caller = 0, exceptionFlags = 0;
#endif
    FloatingPointGuard::setMode(caller);
    play(plugin, 32);
    const uint64_t after = FloatingPointGuard::mode();
    const float quarterOfTinyAfter = plugin.tiny * 0.25f;
    FloatingPointGuard::setMode(FloatingPointGuard::kDefaultMode);

    EXPECT_EQ(plugin.modeInside & ~exceptionFlags, FloatingPointGuard::kAudioMode);
    EXPECT_EQ(plugin.quarterOfTinyInside, 0.0f);
    EXPECT_EQ(after, caller);
    EXPECT_GT(quarterOfTinyAfter, 0.0f);
}

TEST(GenericPlugin, StandingHostTransportRunsFreeAndWraps) {
    TestPlugin plugin;
    plugin.updateTransport(120.0, 8.0f);
    EXPECT_DOUBLE_EQ(plugin.lastBeat, 8.0);
    play(plugin, 480);
    // 480 frames at 120 bpm and 48 kHz are 0.02 beats.
    plugin.updateTransport(120.0, 8.0f);
    EXPECT_NEAR(plugin.lastBeat, 8.02, 1e-9);
    plugin.updateTransport(120.0, 8.0f);
    EXPECT_NEAR(plugin.lastBeat, 8.04, 1e-9);

    // A moving host position is taken as it is.
    plugin.updateTransport(120.0, 3.5f);
    EXPECT_DOUBLE_EQ(plugin.lastBeat, 3.5);

    // Close to the wrap: 255.99 + 0.02 wraps to 0.01.
    plugin.updateTransport(120.0, 255.99f);
    plugin.updateTransport(120.0, 255.99f);
    EXPECT_NEAR(plugin.lastBeat, static_cast<double>(255.99f) + 0.02 - 256.0, 1e-6);
}

TEST(GenericPlugin, ParameterChangesGlideAndJumpAfterAResetMarkerOrAHostReset) {
    TestPlugin plugin;
    wave::FloatParameterSource source(plugin.environment(), 0.0f);
    FloatParamPluginParameter level(&plugin, "Level");
    level.bind(&source);
    plugin.probe = &source;
    play(plugin, 256);

    // A jump of the whole range glides in 20 ms (960 samples at 48 kHz).
    level.setValue(1.0f, 0);
    play(plugin, 256);
    EXPECT_EQ(plugin.probeFirst, 0.0f);
    EXPECT_NEAR(plugin.probeLast, 255.0f / 960.0f, 1e-6f);
    plugin.queueResetMarker();
    play(plugin, 256);
    EXPECT_EQ(plugin.probeFirst, 1.0f);

    // Pending values are applied by the reset and take effect at once.
    level.setValue(0.0f, 0);
    plugin.reset();
    play(plugin, 256);
    EXPECT_EQ(plugin.probeFirst, 0.0f);
    EXPECT_EQ(plugin.probeLast, 0.0f);
    plugin.probe = nullptr;
}

// Notifications made on other threads wait for the editor thread's pump: then each arrives once,
// in the order of its first occurrence, with its value; what the queue cannot hold becomes one
// "all parameters changed". Setting the listener waits for a notification in flight.
// Renaming names the current preset only: 63 bytes at most, never half a character, no file.
TEST(GenericPlugin, RenameCurrentPresetKeepsSixtyThreeBytesOfWholeCharacters) {
    TestPlugin plugin;
    plugin.currentPreset().path = "/nowhere/kept.qvp";
    const std::string e = "\xC3\xA9";  // two bytes
    const std::pair<std::string, std::string> table[] = {
        {"Warm Pad", "Warm Pad"},
        {std::string(70, 'a'), std::string(63, 'a')},
        {std::string(62, 'a') + e + "z", std::string(62, 'a')},
        {std::string(61, 'a') + e + "z", std::string(61, 'a') + e},
        {"", ""},
    };
    for (const auto& [name, kept] : table) {
        EXPECT_TRUE(plugin.renameCurrentPreset(name));
        EXPECT_EQ(plugin.currentPreset().name, kept);
    }
    EXPECT_EQ(plugin.currentPreset().path, "/nowhere/kept.qvp");
}

TEST(GenericPlugin, EditorNotificationsArriveOnlyThroughPumpOnTheEditorThread) {
    TestPlugin plugin;
    RecordingListener listener;
    plugin.setEditorListener(&listener);
    const int id0 = static_cast<int>(plugin.parameters[0]->id());
    const int id1 = static_cast<int>(plugin.parameters[1]->id());
    size_t audioAllocations = 1;
    std::thread audio([&] {
        plugin.parameters[0]->setValue(0.3f, GenericPlugin::kFlagFromHost);
        plugin.receiveMidi(noteOn(60, 0));
        play(plugin, 32);
        Block block(32);
        AllocationGuard guard;
        plugin.parameters[1]->setValue(0.4f, GenericPlugin::kFlagFromHost);
        plugin.receiveMidi(noteOn(61, 5));
        plugin.processBlock(nullptr, 0, block.ptrs(), 2, 32);
        audioAllocations = guard.allocations();
        for (int k = 0; k < 2; ++k) {
            plugin.notifyPresetChanged();
            plugin.beginUpdate();
            plugin.parameters[2]->setValue(0.5f, 0);
            plugin.endUpdate();
        }
        EXPECT_EQ(plugin.pump(), 0);  // not the editor's thread
    });
    audio.join();
    EXPECT_EQ(audioAllocations, 0u);
    EXPECT_TRUE(listener.events.empty());

    using E = std::pair<int, int>;
    EXPECT_EQ(plugin.pump(), 5);
    EXPECT_EQ(listener.events, (std::vector<E>{{GenericPlugin::kNotifyParameterChanged, id0},
                                               {GenericPlugin::kNotifyMidiDispatched, 0},
                                               {GenericPlugin::kNotifyParameterChanged, id1},
                                               {GenericPlugin::kNotifyPresetChanged, 0},
                                               {GenericPlugin::kNotifyParameterChanged, -1}}));
    play(plugin, 32);  // nothing queued: no MIDI notification
    EXPECT_EQ(plugin.pump(), 0);
    plugin.receiveMidi(noteOn(62, 0));
    play(plugin, 32);
    EXPECT_EQ(plugin.pump(), 1);
    EXPECT_EQ(listener.events.back(), E(GenericPlugin::kNotifyMidiDispatched, 0));

    // A flood of single changes: the queue keeps 1024, the rest becomes one (-1025, -1) at the end.
    listener.events.clear();
    for (int k = 0; k < 1500; ++k) plugin.parameters[k % 3]->setValue(k * 1e-4f, 0);
    EXPECT_EQ(plugin.pump(), 1025);
    EXPECT_EQ(listener.events[1023], E(GenericPlugin::kNotifyParameterChanged, 1023 % 3));
    EXPECT_EQ(listener.events.back(), E(GenericPlugin::kNotifyParameterChanged, -1));

    // An editor on another thread: setting a listener from here waits until notify has returned.
    struct SlowListener : GenericPlugin::Listener {
        void notify(int, int) override {
            entered = true;
            while (!release) std::this_thread::yield();
            left = true;
        }
        std::atomic<bool> entered{false}, release{false}, left{false};
    } slow;
    std::thread editor([&] {
        plugin.setEditorListener(&slow);
        plugin.notifyPresetChanged();
        plugin.pump();
    });
    while (!slow.entered) std::this_thread::yield();
    std::atomic<bool> returned{false};
    std::thread other([&] {
        plugin.setEditorListener(nullptr);
        returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    EXPECT_FALSE(returned.load());
    slow.release = true;
    other.join();
    editor.join();
    EXPECT_TRUE(slow.left.load());
    EXPECT_TRUE(returned.load());
}

}  // namespace
