#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/VornPlugin.h"
#include "engine/VornPresets.h"
#include "framework/GenericPlugin.h"
#include "framework/MidiConstants.h"
#include "midi/DefaultEventReceiver.h"
#include "midi/MidiDecoder.h"

namespace {

// A plug-in whose graph is empty: what remains is the core's own cost per chunk (queue polls,
// bypass processor, environment bookkeeping, output copy) and MIDI decoding.
class EmptyPlugin : public GenericPlugin {
public:
    EmptyPlugin() { initialize(); }
    ~EmptyPlugin() override { finalize(); }
    std::string pluginId() override { return "BNCH"; }
    int editorDefaultWidth() override { return 0; }
    int editorDefaultHeight() override { return 0; }
    std::unique_ptr<MidiMessageReceiver> createMidiDecoder() override {
        return std::make_unique<MidiDecoder>(std::make_unique<DefaultEventReceiver>(*this));
    }
};

void BM_ProcessBlockEmptyGraph(benchmark::State& state) {
    EmptyPlugin plugin;
    plugin.setSampleRate(48000.0f);
    const int frames = static_cast<int>(state.range(0));
    std::vector<float> left(frames), right(frames);
    float* outputs[2] = {left.data(), right.data()};
    for (auto _ : state) {
        plugin.processBlock(nullptr, 0, outputs, 2, frames);
        benchmark::DoNotOptimize(left.data());
    }
    state.SetItemsProcessed(state.iterations() * frames);
}
BENCHMARK(BM_ProcessBlockEmptyGraph)->Arg(256)->Arg(32)->Arg(1024);

void BM_ProcessBlockWithEvents(benchmark::State& state) {
    EmptyPlugin plugin;
    plugin.setSampleRate(48000.0f);
    constexpr int kFrames = 512;
    std::vector<float> left(kFrames), right(kFrames);
    float* outputs[2] = {left.data(), right.data()};
    for (auto _ : state) {
        for (int i = 0; i < 8; ++i)
            plugin.receiveMidi(MidiEvent{0x90, static_cast<uint8_t>(60 + i), 100, 0, i * 64});
        plugin.processBlock(nullptr, 0, outputs, 2, kFrames);
        benchmark::DoNotOptimize(left.data());
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_ProcessBlockWithEvents);

// The whole synthesizer on the reference patch at 48 kHz in 256-frame blocks, with the argument's
// number of notes held (0: idle, what the master section costs when nothing plays). The counter
// is the time per sample frame.
void BM_SynthBlock(benchmark::State& state) {
    VornPresets::setStartupPresets(false);
    VornPlugin plugin;
    plugin.setSampleRate(48000.0f);
    if (!plugin.loadPresetFile(VORN_BENCH_PATCHES "/default-sound.qvp")) {
        state.SkipWithError("bench/patches/default-sound.qvp does not load");
        return;
    }
    constexpr int kFrames = 256;
    std::vector<float> left(kFrames), right(kFrames);
    float* outputs[2] = {left.data(), right.data()};
    const int notes = static_cast<int>(state.range(0));
    for (int v = 0; v < notes; ++v) {
        plugin.receiveMidi(
            MidiEvent{midi::kNoteOn, static_cast<uint8_t>(36 + v * 60 / notes), 100, 0, 0});
    }
    // Past the attack and decay: the notes sustain while measured.
    for (int i = 0; i < 200; ++i) plugin.processBlock(nullptr, 0, outputs, 2, kFrames);
    for (auto _ : state) {
        plugin.processBlock(nullptr, 0, outputs, 2, kFrames);
        benchmark::DoNotOptimize(left.data());
    }
    state.counters["per_sample"] = benchmark::Counter(
        kFrames, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SynthBlock)->Arg(0)->Arg(1)->Arg(8)->Arg(32);

}  // namespace
