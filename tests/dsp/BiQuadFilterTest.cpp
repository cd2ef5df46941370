#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "dsp/BiQuadFilter.h"

namespace {

// The cut-off is kept below 0.49 of the rate, where the design stays finite.
TEST(BiQuadFilterTest, CutoffIsClampedBelowHalfTheRate) {
    const float rate = 48000.0f;
    const BiQuadFilter::Coefficients top =
        BiQuadFilter::design(GenericFilter::kLowPass, 20.0f, 0.0f, rate);
    const BiQuadFilter::Coefficients limit =
        BiQuadFilter::design(GenericFilter::kLowPass, std::log2(0.49f * rate), 0.0f, rate);
    EXPECT_NEAR(top.a1, limit.a1, 1e-4);
    EXPECT_NEAR(top.a3, limit.a3, 1e-4);
}

// Automation that throws the cut-off between the top and the bottom at every control point: a
// direct-form section turned each fall into a ramp that the next rise amplified, and overflowed to
// infinity within a second. The output stays within the highest steady gain of a section.
TEST(BiQuadFilterTest, CutoffJumpsEvery32SamplesStayBounded) {
    constexpr uint32_t kInterval = BiQuadFilter::kDesignInterval;
    constexpr float kRate48k = 48000.0f;
    for (const int response :
         {GenericFilter::kLowPass, GenericFilter::kHighPass, GenericFilter::kBandPass}) {
        for (const int slope : {GenericFilter::kSlope12, GenericFilter::kSlope48}) {
            for (const float bottom : {0.0f, 6.0f}) {
                for (const float peakValue : {0.0f, 1.0f}) {
                    wave::Environment env(kInterval);
                    env.setSampleRate(kRate48k);
                    BiQuadFilter f(env);
                    f.setResponse(response);
                    f.setSlope(slope);
                    std::vector<float> in(kInterval), out(kInterval), frequency(kInterval);
                    const std::vector<float> peak(kInterval, peakValue);
                    float phase = 0.0f;
                    float largest = 0.0f;
                    for (uint32_t b = 0; b < static_cast<uint32_t>(kRate48k) / kInterval; ++b) {
                        std::fill(frequency.begin(), frequency.end(),
                                  b % 2 ? bottom : GenericFilter::kMaxFrequency);
                        // A 110 Hz sawtooth of amplitude 1.
                        for (float& x : in) {
                            phase += 110.0f / kRate48k;
                            phase -= phase >= 1.0f ? 1.0f : 0.0f;
                            x = 2.0f * phase - 1.0f;
                        }
                        f.process(in.data(), out.data(), frequency.data(), peak.data(), nullptr,
                                  kInterval, true);
                        for (const float v : out) largest = std::max(largest, std::fabs(v));
                    }
                    SCOPED_TRACE(testing::Message()
                                 << "response " << response << ", slope " << slope << ", bottom "
                                 << bottom << ", peak " << peakValue);
                    EXPECT_TRUE(std::isfinite(largest));
                    EXPECT_LT(largest, 1.0f / BiQuadFilter::kMinDamping);
                }
            }
        }
    }
}

}  // namespace
