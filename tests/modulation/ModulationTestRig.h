#pragma once

#include <algorithm>
#include <vector>

#include "modulation/InternalController.h"
#include "modulation/ModulationMatrix.h"
#include "modulation/VoiceMatrix.h"
#include "tests/wave/TestSources.h"
#include "wave/Environment.h"
#include "wave/Producer.h"

namespace modtest {

constexpr uint32_t kBlock = 32;
constexpr int kSources = 34;
constexpr int kTargets = 157;
constexpr int kSlots = 50;
constexpr int kFirstLevel = 107;
constexpr int kGroups = 23;

// A source whose block is set by the test: a constant (reported as one), or a per-sample ramp.
struct TestSource : wave::test::PatternSource {
    explicit TestSource(wave::Environment& env, float constant = 0.0f)
        : PatternSource(env, {constant}, true) {}
    void setConstant(float v) {
        values = {v};
        reportConstant = true;
    }
    void setRamp(float start, float perSample) {
        values.resize(kBlock);
        for (uint32_t i = 0; i < kBlock; ++i) values[i] = start + perSample * static_cast<float>(i);
        reportConstant = false;
    }
};

struct Rig {
    Rig() : env(kBlock), matrix(env, kSources, kTargets, kSlots, kFirstLevel, kGroups) {}

    // Sets base values at once and starts a new block.
    void block() { env.beginChunk(); }
    void finish() { env.finishChunk(kBlock, false); }

    std::vector<float> pullGlobal(int target) {
        const float* p = matrix.globalProducer(target).pull(kBlock, 0);
        return {p, p + kBlock};
    }
    static std::vector<float> pull(wave::Producer& p) {
        const float* d = p.pull(kBlock, 0);
        return {d, d + kBlock};
    }

    void connect(int slot, int source, int target, float level) {
        matrix.setSlotLevel(slot, level);
        matrix.setSlotSource(slot, source);
        matrix.setSlotTarget(slot, target);
    }

    wave::Environment env;
    ModulationMatrix matrix;
};

}  // namespace modtest
