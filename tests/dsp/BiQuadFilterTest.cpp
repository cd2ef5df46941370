#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "dsp/BiQuadFilter.h"
#include "tests/dsp/DspTestRig.h"

// Automation that throws the cut-off between the top and the bottom at every control point: a
// direct-form section turned each fall into a ramp that the next rise amplified, and overflowed to
// infinity within a second. The output stays within the highest steady gain of a section.
TEST(BiQuadFilterTest, CutoffJumpsEvery32SamplesStayBounded) {
    constexpr uint32_t kInterval = BiQuadFilter::kDesignInterval;
    constexpr float kRate = 48000.0f;
    // Every response, 12 and 48 dB, down to 1 Hz or 64 Hz, peak 0 and 1.
    for (int combination = 0; combination < 24; ++combination) {
        const int slope = combination / 3 % 2 ? GenericFilter::kSlope48 : GenericFilter::kSlope12;
        const float bottom = combination / 6 % 2 ? 6.0f : 0.0f;
        const std::vector<float> peak(kInterval, combination / 12 ? 1.0f : 0.0f);
        dsptest::Env env(kRate, kInterval);
        BiQuadFilter f(env);
        f.setResponse(combination % 3);
        f.setSlope(slope);
        std::vector<float> in(kInterval), out(kInterval), frequency(kInterval);
        float phase = 0.0f, largest = 0.0f;
        for (uint32_t b = 0; b < static_cast<uint32_t>(kRate) / kInterval; ++b) {
            std::fill(frequency.begin(), frequency.end(),
                      b % 2 ? bottom : GenericFilter::kMaxFrequency);
            for (float& x : in) {  // a 110 Hz sawtooth of amplitude 1
                phase += 110.0f / kRate;
                phase -= phase >= 1.0f ? 1.0f : 0.0f;
                x = 2.0f * phase - 1.0f;
            }
            f.process(in.data(), out.data(), frequency.data(), peak.data(), nullptr, kInterval,
                      true);
            for (const float v : out) largest = std::max(largest, std::fabs(v));
        }
        EXPECT_TRUE(std::isfinite(largest)) << combination;
        EXPECT_LT(largest, 1.0f / BiQuadFilter::kMinDamping) << combination;
    }
}
