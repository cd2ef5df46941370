// Per-block cost of the modulation matrix: every target of every voice pulled once, first with
// no slot set (every voice hands out the target's shared global signal), then with all slots
// active, mixing global and per-voice sources and aiming some slots at other slots' levels.

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "framework/SynthNumbering.h"
#include "modulation/ModulationMatrix.h"
#include "modulation/SynthTargetGroups.h"
#include "modulation/VoiceMatrix.h"
#include "wave/Environment.h"
#include "wave/Producer.h"

namespace {

constexpr uint32_t kFrames = 256;
constexpr int kVoices = 32;
constexpr int kSourceCount = synth::kSourceCount;
constexpr int kTargetCount = synth::kTargetCount;
constexpr int kSlotCount = synth::kSlots;
constexpr int kFirstLevelTarget = synth::kFirstSlotLevelTarget;
constexpr int kGroupCount = 23;

constexpr int kGlobalSources = 6;    // sources 0..5 exist once for all voices
constexpr int kPerVoiceSources = 8;  // sources 6..13 exist in every voice
constexpr int kLevelSlots = 10;      // the last slots modulate the levels of the first ones

// A varying signal: a slow ramp that restarts every block, never constant.
class RampSource : public wave::Source {
public:
    RampSource(wave::Environment& env, float start, float step)
        : wave::Source(env), start_(start), step_(step) {}

    bool produce(float* buffer, uint32_t frames, uint32_t) override {
        for (uint32_t i = 0; i < frames; ++i) buffer[i] = start_ + step_ * static_cast<float>(i);
        return false;
    }

private:
    float start_;
    float step_;
};

void matrixBlock(benchmark::State& state, bool withSlots) {
    wave::Environment env(kFrames);
    env.setSampleRate(48000.0f);
    ModulationMatrix matrix(env, kSourceCount, kTargetCount, kSlotCount, kFirstLevelTarget,
                            kGroupCount);
    assignSynthTargetGroups(matrix);
    for (int t = 0; t < kFirstLevelTarget; ++t) {
        const ModulationMatrix::Target& rec = matrix.target(t);
        matrix.setTargetBaseValue(t, 0.5f * (rec.lower + rec.upper), 0.0f);
    }

    std::vector<std::unique_ptr<RampSource>> globals;
    for (int s = 0; s < kGlobalSources; ++s) {
        globals.push_back(std::make_unique<RampSource>(env, -0.5f + 0.1f * s, 0.001f));
        matrix.setSourceEntry(s, globals.back().get(), 0);
    }
    for (int s = 0; s < kPerVoiceSources; ++s) {
        matrix.setSourceEntry(kGlobalSources + s, nullptr, 0);
    }

    std::vector<std::unique_ptr<VoiceMatrix>> voices;
    std::vector<std::unique_ptr<RampSource>> voiceSources;
    for (int v = 0; v < kVoices; ++v) {
        voices.push_back(std::make_unique<VoiceMatrix>(matrix));
        for (int s = 0; s < kPerVoiceSources; ++s) {
            voiceSources.push_back(
                std::make_unique<RampSource>(env, 0.01f * static_cast<float>(v + s), 0.002f));
            voices.back()->setSourceInstance(kGlobalSources + s, voiceSources.back().get());
        }
    }

    if (withSlots) {
        matrix.beginEdit();
        for (int i = 0; i < kSlotCount; ++i) {
            // Even slots read a global source, odd slots a per-voice one.
            const int source = (i % 2 == 0) ? (i / 2) % kGlobalSources
                                            : kGlobalSources + (i / 2) % kPerVoiceSources;
            const int first = kSlotCount - kLevelSlots;
            const int target =
                i < first ? (i * 7 + 3) % kFirstLevelTarget : kFirstLevelTarget + (i - first);
            matrix.setSlotLevel(i, 0.25f + 0.01f * static_cast<float>(i));
            matrix.setSlotSource(i, source);
            matrix.setSlotTarget(i, target);
        }
        matrix.endEdit();
    }

    for (auto _ : state) {
        env.beginChunk();
        for (const auto& voice : voices) {
            for (int t = 0; t < kTargetCount; ++t) {
                benchmark::DoNotOptimize(voice->target(t).pull(kFrames, 0));
            }
        }
        env.finishChunk(kFrames, false);
    }

    constexpr double kPulls = static_cast<double>(kVoices) * kTargetCount;
    state.counters["ns/block"] =
        benchmark::Counter(static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["ns/target-voice"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kPulls,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK_CAPTURE(matrixBlock, Modulation_no_slots, false);
BENCHMARK_CAPTURE(matrixBlock, Modulation_50_slots, true);
