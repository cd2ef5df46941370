#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "dsp/BiQuadFilter.h"
#include "tests/dsp/FilterTestRig.h"

namespace {

using namespace filtertest;

constexpr double kRate = 96000.0;

// "Clean" alone: a GenericFilter whose kernel is a BiQuadFilter.
struct CleanRig {
    wave::Environment env{kBlock};
    SignalSource source{env};
    BiQuadFilter kernel{env};
    GenericFilter filter{env};

    CleanRig(int response, int slope, double cutoff, float peak) {
        env.setSampleRate(static_cast<float>(kRate));
        filter.setInput(&source);
        filter.setKernel(&kernel);
        filter.setResponse(response);
        filter.setSlope(slope);
        filter.defaultFrequency().setTarget(static_cast<float>(std::log2(cutoff)), 0.0f);
        filter.defaultPeak().setTarget(peak, 0.0f);
    }

    // Steady-state gain in dB at one frequency.
    double gain(double frequency) {
        const size_t length = 32768;
        const size_t settle = 8192;
        const std::vector<float> in = sine(frequency, kRate, length, 1.0);
        kernel.reset();
        source.play(in);
        const std::vector<float> out = render(env, {&filter}, length)[0];
        return decibels(std::abs(tone(out, settle, frequency, kRate)) /
                        std::abs(tone(in, settle, frequency, kRate)));
    }
};

TEST(BiQuadFilterTest, ButterworthGainsSlopesAndPeak) {
    constexpr int kLP = GenericFilter::kLowPass, kHP = GenericFilter::kHighPass;
    constexpr int kBP = GenericFilter::kBandPass;
    // Peak 0: -3 dB at the cut-off per section; two and four sections in series give -6 and -12.
    CleanRig lp(kLP, GenericFilter::kSlope12, 1000.0, 0.0f),
        hp(kHP, GenericFilter::kSlope12, 1000.0, 0.0f);
    EXPECT_NEAR(lp.gain(1000.0), -3.01, 0.2);
    EXPECT_NEAR(lp.gain(50.0), 0.0, 0.05);
    EXPECT_NEAR(hp.gain(1000.0), -3.01, 0.2);
    EXPECT_NEAR(hp.gain(20000.0), 0.0, 0.05);
    EXPECT_NEAR(CleanRig(kLP, GenericFilter::kSlope24, 1000.0, 0.0f).gain(1000.0), -6.02, 0.3);
    EXPECT_NEAR(CleanRig(kLP, GenericFilter::kSlope48, 1000.0, 0.0f).gain(1000.0), -12.04, 0.5);

    // 12, 24 and 48 dB per octave; a band-pass (bandwidth = centre) has half on either side.
    // Low cut-off for the low-pass, so that the bilinear warping stays small up to 8x.
    int sections = 1;
    for (const int slope :
         {GenericFilter::kSlope12, GenericFilter::kSlope24, GenericFilter::kSlope48}) {
        const double perOctave = 12.0 * sections;
        sections *= 2;
        SCOPED_TRACE(perOctave);
        CleanRig low(kLP, slope, 250.0, 0.0f), high(kHP, slope, 8000.0, 0.0f);
        EXPECT_NEAR(low.gain(1000.0) - low.gain(2000.0), perOctave, 1.5);
        EXPECT_NEAR(high.gain(2000.0) - high.gain(1000.0), perOctave, 1.5);
        CleanRig bp(kBP, slope, 500.0, 0.0f);
        EXPECT_NEAR(bp.gain(500.0), 0.0, 0.2);
        EXPECT_NEAR(bp.gain(125.0) - bp.gain(62.5), perOctave / 2.0, 1.5);
        EXPECT_NEAR(bp.gain(2000.0) - bp.gain(4000.0), perOctave / 2.0, 1.5);
    }

    // Peak 1 lowers the damping to 0.02: the gain at the cut-off of a section is 1 / damping,
    // and the band-pass narrows to half its width.
    EXPECT_NEAR(CleanRig(kLP, GenericFilter::kSlope12, 1000.0, 1.0f).gain(1000.0),
                decibels(1.0 / 0.02), 0.5);
    CleanRig wide(kBP, GenericFilter::kSlope12, 1000.0, 0.0f);
    CleanRig narrow(kBP, GenericFilter::kSlope12, 1000.0, 1.0f);
    EXPECT_LT(narrow.gain(2000.0), wide.gain(2000.0) - 3.0);
}

TEST(BiQuadFilterTest, SlopeCodesAndDesignFormulas) {
    wave::Environment env(kBlock);
    BiQuadFilter f(env);
    EXPECT_FALSE(f.acceptsSlope(0));
    EXPECT_FALSE(f.acceptsSlope(4));
    f.setSlope(3);
    f.setSlope(7);  // refused: stays at four sections
    EXPECT_EQ(f.sectionCount(), 4);
    f.setSlope(2);
    EXPECT_EQ(f.sectionCount(), 2);

    // Peak 0 low-pass: g = tan(pi f / rate), damping sqrt(2), the low output alone.
    const float rate = 48000.0f;
    const BiQuadFilter::Coefficients k =
        BiQuadFilter::design(GenericFilter::kLowPass, std::log2(1000.0f), 0.0f, rate);
    const double g = std::tan(std::numbers::pi * 1000.0 / rate);
    const double a1 = 1.0 / (1.0 + g * (g + std::sqrt(2.0)));
    EXPECT_NEAR(k.a1, a1, 1e-6);
    EXPECT_NEAR(k.a2, g * a1, 1e-6);
    EXPECT_NEAR(k.a3, g * g * a1, 1e-6);
    EXPECT_EQ(k.mix0, 0.0);
    EXPECT_EQ(k.mix1, 0.0);
    EXPECT_EQ(k.mix2, 1.0);
    // High-pass at peak 1: input minus damping times band minus low, damping 0.02.
    const BiQuadFilter::Coefficients h =
        BiQuadFilter::design(GenericFilter::kHighPass, std::log2(1000.0f), 1.0f, rate);
    EXPECT_EQ(h.mix0, 1.0);
    EXPECT_NEAR(h.mix1, -0.02, 1e-9);
    EXPECT_EQ(h.mix2, -1.0);
    // The cut-off is kept below 0.49 of the rate.
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
