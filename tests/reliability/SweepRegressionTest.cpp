#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "dsp/BiQuadFilter.h"
#include "dsp/GenericFilter.h"
#include "dsp/MultiDesignFilter.h"
#include "tests/reliability/ReliabilityRig.h"
#include "wave/Environment.h"

// Defects the parameter sweep found, kept at the depth where they were fixed.

namespace {

constexpr uint32_t kBlock = 64;

// Step responses of the "Clean" kernel at its lowest cut-off (1 Hz), through all four sections.
// In single precision the high-pass got a real pole at 1.00017 at 48 kHz and overflowed within
// twelve seconds.
TEST(SweepRegressionTest, CleanKernelAtOneHertzIsStableAtEveryRate) {
    for (const float rate : {22050.0f, 48000.0f, 192000.0f}) {
        for (const int response : {GenericFilter::kLowPass, GenericFilter::kHighPass}) {
            wave::Environment env(kBlock);
            env.setSampleRate(rate);
            BiQuadFilter filter(env);
            filter.setResponse(response);
            filter.setSlope(GenericFilter::kSlope48);
            // Below the 1 Hz floor on purpose: the design clamps it.
            const std::vector<float> frequency(kBlock, -1.0f);
            const std::vector<float> peak(kBlock, 0.0f);
            const std::vector<float> step(kBlock, 1.0f);
            std::vector<float> out(kBlock);
            float last = 0.0f;
            float largest = 0.0f;
            const auto blocks = static_cast<int>(15.0f * rate / kBlock);
            for (int b = 0; b < blocks; ++b) {
                filter.process(step.data(), out.data(), frequency.data(), peak.data(), nullptr,
                               kBlock, true);
                for (const float v : out) {
                    ASSERT_TRUE(std::isfinite(v)) << rate << " Hz, response " << response;
                    largest = std::max(largest, std::fabs(v));
                }
                last = out.back();
            }
            // Four Butterworth sections overshoot a step by well under a half; after 15 s the
            // low-pass has settled on the step and the high-pass has let it go.
            EXPECT_LT(largest, 1.5f) << rate << " Hz, response " << response;
            const float settled = response == GenericFilter::kLowPass ? 1.0f : 0.0f;
            EXPECT_NEAR(last, settled, 1e-4f) << rate << " Hz, response " << response;
        }
    }
}

// Fast automation of a low "Clean" filter, reduced from a simulated host session: the response
// thrown between high-pass and band-pass every 96 samples while a note plays. The direct-form
// sections kept states that mean different things under each response, and every switch pumped
// them up, to +25 dBFS here (+65 dBFS in long sessions); the bound is the sweep's +12 dBFS.
TEST(SweepRegressionTest, CleanResponseAutomationStaysBounded) {
    using namespace reliability;
    constexpr float kRate = 48000.0f;
    constexpr int64_t kSwitchFrames = 96;
    constexpr float kPeakLimit = 4.0f;  // +12 dBFS
    VornPlugin plugin;
    prepare(plugin, kRate);
    const int response = parameterId(plugin, "Filter 2 Response");
    RenderScript s;
    s.frames = static_cast<int64_t>(2 * kRate);
    s.parameter(0, parameterId(plugin, "Filter 2 Characteristic"), MultiDesignFilter::kCleanIndex);
    s.parameter(0, parameterId(plugin, "Filter 2 Freq"), 0.227408f);  // 43 Hz
    s.parameter(0, response, GenericFilter::kHighPass);
    s.noteOn(0, 58, 127);
    for (int64_t f = kSwitchFrames; f < s.frames; f += kSwitchFrames) {
        s.parameter(f, response,
                    f / kSwitchFrames % 2 ? GenericFilter::kBandPass : GenericFilter::kHighPass);
    }
    const SampleScan result = scan(render(plugin, s, BlockSchedule::fixed(256)));
    EXPECT_EQ(result.nonFinite, 0u);
    EXPECT_LE(result.peak, kPeakLimit) << toDbfs(result.peak) << " dBFS";
}

}  // namespace
