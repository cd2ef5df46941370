#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "dsp/CurveSet.h"
#include "dsp/EnvelopeFollower.h"
#include "dsp/EnvelopeGenerator.h"
#include "wave/Environment.h"

namespace {

constexpr uint32_t kBlock = 64;

// Notes of 0.5 s with 0.25 s gaps through the shaped curves: every stage is exercised.
void BM_EnvelopeGenerator(benchmark::State& state) {
    wave::Environment env(kBlock);
    env.setSampleRate(48000.0f);
    const CurveSet curves;
    EnvelopeGenerator eg(env, &curves);
    eg.defaultSource(EnvelopeGenerator::kAttack).setTarget(0.05f, 0.0f);
    eg.defaultSource(EnvelopeGenerator::kDecay).setTarget(0.2f, 0.0f);
    eg.defaultSource(EnvelopeGenerator::kSustain).setTarget(0.6f, 0.0f);
    eg.defaultSource(EnvelopeGenerator::kRelease).setTarget(0.2f, 0.0f);
    int chunk = 0;
    for (auto _ : state) {
        const int phase = chunk++ % 563;  // 0.75 s of 64-sample chunks
        if (phase == 0) eg.noteOn();
        if (phase == 375) eg.noteOff();
        env.beginChunk();
        benchmark::DoNotOptimize(eg.pull(kBlock, 0));
        env.finishChunk(kBlock, false);
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK(BM_EnvelopeGenerator);

// Follows a tone burst that switches between 0 dBFS and -40 dBFS every 0.1 s.
class Burst : public wave::Source {
public:
    explicit Burst(wave::Environment& env) : wave::Source(env) {}
    bool produce(float* buffer, uint32_t frames, uint32_t /*flags*/) override {
        for (uint32_t i = 0; i < frames; ++i, ++position_) {
            const float level = (position_ / 4800) % 2 ? 0.01f : 1.0f;
            buffer[i] = level * std::fabs(std::sin(0.05f * static_cast<float>(position_ % 4800)));
        }
        return false;
    }

private:
    uint32_t position_ = 0;
};

void BM_EnvelopeFollower(benchmark::State& state) {
    wave::Environment env(kBlock);
    env.setSampleRate(48000.0f);
    Burst input(env);
    EnvelopeFollower follower(env);
    follower.setInput(&input);
    follower.defaultAttack().setTarget(0.005f, 0.0f);
    follower.defaultRelease().setTarget(0.2f, 0.0f);
    // The input's own cost is excluded: it is pulled once and then read from its buffer.
    env.beginChunk();
    input.pull(kBlock, 0);
    for (auto _ : state) {
        follower.process(kBlock, 0);
        benchmark::DoNotOptimize(follower.outputData());
    }
    env.finishChunk(kBlock, false);
    state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK(BM_EnvelopeFollower);

}  // namespace
