#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/GenericPlugin.h"
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

}  // namespace
