#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "dsp/BiQuadFilter.h"
#include "dsp/GenericFilter.h"
#include "engine/wave/Environment.h"

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

}  // namespace
