#include <gtest/gtest.h>

#include <cmath>

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

    // Peak 0 low-pass: damping sqrt(2) times c, c = cot(pi f / rate).
    const float rate = 48000.0f;
    const BiQuadFilter::Coefficients k =
        BiQuadFilter::design(GenericFilter::kLowPass, std::log2(1000.0f), 0.0f, rate);
    const double c = 1.0 / std::tan(std::numbers::pi * 1000.0 / rate);
    const double b0 = 1.0 / (std::sqrt(2.0) * c + c * c + 1.0);
    EXPECT_NEAR(k.b0, b0, 1e-6);
    EXPECT_NEAR(k.b1, 2.0 * b0, 1e-6);
    EXPECT_NEAR(k.a1, 2.0 * (1.0 - c * c) * b0, 1e-5);
    EXPECT_NEAR(k.a2, (1.0 - std::sqrt(2.0) * c + c * c) * b0, 1e-5);
    // The cut-off is kept below 0.49 of the rate.
    const BiQuadFilter::Coefficients top =
        BiQuadFilter::design(GenericFilter::kLowPass, 20.0f, 0.0f, rate);
    const BiQuadFilter::Coefficients limit =
        BiQuadFilter::design(GenericFilter::kLowPass, std::log2(0.49f * rate), 0.0f, rate);
    EXPECT_NEAR(top.b0, limit.b0, 1e-4);
}

}  // namespace
