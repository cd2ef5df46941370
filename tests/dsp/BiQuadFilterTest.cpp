#include <gtest/gtest.h>

#include <cmath>
#include <memory>

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

TEST(BiQuadFilterTest, ButterworthLowPassAndHighPassAtPeakZero) {
    const double cutoff = 1000.0;
    CleanRig lp(GenericFilter::kLowPass, GenericFilter::kSlope12, cutoff, 0.0f);
    EXPECT_NEAR(lp.gain(cutoff), -3.01, 0.2);
    EXPECT_NEAR(lp.gain(cutoff / 20.0), 0.0, 0.05);
    CleanRig hp(GenericFilter::kHighPass, GenericFilter::kSlope12, cutoff, 0.0f);
    EXPECT_NEAR(hp.gain(cutoff), -3.01, 0.2);
    EXPECT_NEAR(hp.gain(cutoff * 20.0), 0.0, 0.05);
    // Two and four sections in series: -6 and -12 dB at the cut-off.
    CleanRig lp24(GenericFilter::kLowPass, GenericFilter::kSlope24, cutoff, 0.0f);
    EXPECT_NEAR(lp24.gain(cutoff), -6.02, 0.3);
    CleanRig lp48(GenericFilter::kLowPass, GenericFilter::kSlope48, cutoff, 0.0f);
    EXPECT_NEAR(lp48.gain(cutoff), -12.04, 0.5);
}

TEST(BiQuadFilterTest, SlopesOfTwelveTwentyFourAndFortyEightDecibelsPerOctave) {
    const int slopes[] = {GenericFilter::kSlope12, GenericFilter::kSlope24,
                          GenericFilter::kSlope48};
    const double perOctave[] = {12.0, 24.0, 48.0};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(perOctave[k]);
        // Low cut-off for the low-pass, so that the bilinear warping stays small up to 8x.
        const double lowCutoff = 250.0;
        CleanRig lp(GenericFilter::kLowPass, slopes[k], lowCutoff, 0.0f);
        EXPECT_NEAR(lp.gain(4.0 * lowCutoff) - lp.gain(8.0 * lowCutoff), perOctave[k], 1.5);
        const double highCutoff = 8000.0;
        CleanRig hp(GenericFilter::kHighPass, slopes[k], highCutoff, 0.0f);
        EXPECT_NEAR(hp.gain(highCutoff / 4.0) - hp.gain(highCutoff / 8.0), perOctave[k], 1.5);
        // A band-pass has half the slope on either side of its centre (bandwidth = centre).
        const double centre = 500.0;
        CleanRig bp(GenericFilter::kBandPass, slopes[k], centre, 0.0f);
        EXPECT_NEAR(bp.gain(centre), 0.0, 0.2);
        EXPECT_NEAR(bp.gain(centre / 4.0) - bp.gain(centre / 8.0), perOctave[k] / 2.0, 1.5);
        EXPECT_NEAR(bp.gain(centre * 4.0) - bp.gain(centre * 8.0), perOctave[k] / 2.0, 1.5);
    }
}

TEST(BiQuadFilterTest, PeakOneLowersTheDampingToTwoHundredths) {
    const double cutoff = 1000.0;
    CleanRig lp(GenericFilter::kLowPass, GenericFilter::kSlope12, cutoff, 1.0f);
    // Gain at the cut-off of a two-pole section is 1 / damping.
    EXPECT_NEAR(lp.gain(cutoff), decibels(1.0 / 0.02), 0.5);
    // A narrower band-pass at peak 1: half the width, so -3 dB points closer to the centre.
    CleanRig wide(GenericFilter::kBandPass, GenericFilter::kSlope12, cutoff, 0.0f);
    CleanRig narrow(GenericFilter::kBandPass, GenericFilter::kSlope12, cutoff, 1.0f);
    EXPECT_LT(narrow.gain(2.0 * cutoff), wide.gain(2.0 * cutoff) - 3.0);
}

TEST(BiQuadFilterTest, SlopeCodesAndDesignFormulas) {
    wave::Environment env(kBlock);
    BiQuadFilter f(env);
    EXPECT_FALSE(f.acceptsSlope(0));
    EXPECT_FALSE(f.acceptsSlope(4));
    f.setSlope(3);
    EXPECT_EQ(f.sectionCount(), 4);
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
