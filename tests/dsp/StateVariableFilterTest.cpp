#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <memory>
#include <vector>

#include "dsp/BiQuadFilter.h"
#include "dsp/DesignFilter.h"
#include "dsp/MultiDesignFilter.h"
#include "dsp/StateVariableFilter.h"
#include "tests/dsp/FilterResources.h"
#include "tests/dsp/FilterTestRig.h"
#include "tests/support/AllocationCounter.h"

namespace {

using namespace filtertest;

std::vector<float> noise(size_t length, uint32_t seed, float amplitude) {
    std::vector<float> s(length);
    uint32_t x = seed * 2654435761u + 1;
    for (float& v : s) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        v = amplitude * (static_cast<float>(x) / 2147483648.0f - 1.0f);
    }
    return s;
}

// Filters built as a voice builds them: every filter lists the characteristics of one shared
// DesignFilter (the parallel unit), then its own "Clean" kernel.
struct Rig {
    wave::Environment env{kBlock};
    std::vector<std::unique_ptr<DesignFilter>> units;
    std::vector<std::unique_ptr<SignalSource>> sources;
    std::vector<std::unique_ptr<BiQuadFilter>> cleans;
    std::vector<std::unique_ptr<MultiDesignFilter>> filters;
    std::vector<GenericFilter*> outputs;

    // sharedUnit false: every filter gets a DesignFilter of its own.
    Rig(int count, double rate, bool sharedUnit = true) {
        env.setSampleRate(static_cast<float>(rate));
        for (int k = 0; k < count; ++k) {
            if (k == 0 || !sharedUnit) units.push_back(std::make_unique<DesignFilter>(env));
            sources.push_back(std::make_unique<SignalSource>(env));
            cleans.push_back(std::make_unique<BiQuadFilter>(env));
            filters.push_back(std::make_unique<MultiDesignFilter>(env));
            MultiDesignFilter& f = *filters.back();
            f.setInput(sources.back().get());
            f.addEntries(*units.back(), standardStyles());
            f.addEntry(*cleans.back());
            outputs.push_back(&f);
        }
    }

    void configure(int characteristic, int response, int slope) {
        for (auto& f : filters) {
            ASSERT_TRUE(f->setCharacteristic(characteristic));
            f->setResponse(response);
            f->setSlope(slope);
        }
    }
    void set(int k, double cutoff, float peak) {
        filters[k]->defaultFrequency().setTarget(static_cast<float>(std::log2(cutoff)), 0.0f);
        filters[k]->defaultPeak().setTarget(peak, 0.0f);
    }
    std::vector<std::vector<float>> run(const std::vector<std::vector<float>>& signals) {
        for (size_t k = 0; k < sources.size(); ++k) sources[k]->play(signals[k]);
        return render(env, outputs, signals[0].size());
    }
    // Steady-state gain in dB of filter 0 at one frequency and amplitude.
    double gain(double frequency, double amplitude) {
        const size_t length = 16384;
        const size_t settle = 6144;
        const std::vector<float> in = sine(frequency, env.sampleRate(), length, amplitude);
        env.reset();
        const std::vector<float> out = run({in})[0];
        return decibels(std::abs(tone(out, settle, frequency, env.sampleRate())) /
                        std::abs(tone(in, settle, frequency, env.sampleRate())));
    }
};

TEST(StateVariableFilterTest, SmallSignalsPassAtUnityGainAndResonateAtTheCutoff) {
    const double rate = 48000.0;
    const double cutoff = 1000.0;
    Rig rig(1, rate);
    // The input gain and the saturator's 1/(g Dr) cancel: unity in the pass band.
    for (int c = 0; c < 10; ++c) {
        SCOPED_TRACE(MultiDesignFilter::kCharacteristics[c].displayName);
        rig.configure(c, GenericFilter::kLowPass, GenericFilter::kSlope12);
        rig.set(0, cutoff, 0.0f);
        EXPECT_NEAR(rig.gain(cutoff / 16.0, 0.01), 0.0, 0.5);
        rig.configure(c, GenericFilter::kHighPass, GenericFilter::kSlope12);
        EXPECT_NEAR(rig.gain(cutoff * 12.0, 0.01), 0.0, 1.0);
    }

    // With a high peak the response peaks at the cut-off, well above the pass band.
    rig.configure(0, GenericFilter::kLowPass, GenericFilter::kSlope12);
    rig.set(0, cutoff, 0.7f);
    double best = -1e9;
    int bestStep = 0;
    for (int step = -12; step <= 12; ++step) {
        const double g = rig.gain(cutoff * std::exp2(step / 12.0), 0.01);
        if (g > best) {
            best = g;
            bestStep = step;
        }
    }
    EXPECT_LE(std::abs(bestStep), 1);
    EXPECT_GT(best, 10.0);

    // Slopes: at peak 0 every section is critically damped (damping 2, a double pole at the
    // cut-off), falling 20 log10(65 / 17) = 11.65 dB from 4x to 8x the cut-off.
    const int slopes[] = {GenericFilter::kSlope12, GenericFilter::kSlope24,
                          GenericFilter::kSlope48};
    const int sections[] = {1, 2, 4};
    for (int k = 0; k < 3; ++k) {
        rig.configure(0, GenericFilter::kLowPass, slopes[k]);
        rig.set(0, 100.0, 0.0f);
        EXPECT_NEAR(rig.gain(400.0, 1.0) - rig.gain(800.0, 1.0),
                    sections[k] * decibels(65.0 / 17.0), 1.0)
            << k;
    }
}

TEST(StateVariableFilterTest, PrimeSelfOscillatesWithinUnitBoundsAtPeakOne) {
    const double rate = 48000.0;
    const double cutoff = 8000.0;
    for (int slope = GenericFilter::kSlope12; slope <= GenericFilter::kSlope48; ++slope) {
        SCOPED_TRACE(slope);
        Rig rig(1, rate);
        rig.configure(0, GenericFilter::kLowPass, slope);
        rig.set(0, cutoff, 1.0f);
        std::vector<float> kick(48000, 0.0f);
        kick[0] = 0.5f;
        const std::vector<float> out = rig.run({kick})[0];
        double peak = 0.0, energy = 0.0;
        int crossings = 0;
        const size_t tail = 36000;
        for (size_t i = 0; i < out.size(); ++i) peak = std::max(peak, std::fabs(double(out[i])));
        for (size_t i = tail; i < out.size(); ++i) {
            energy += out[i] * out[i];
            crossings += (out[i - 1] < 0.0f) != (out[i] < 0.0f);
        }
        EXPECT_LE(peak, 1.0);
        // Still ringing a quarter of a second after the kick, at the cut-off.
        EXPECT_GT(std::sqrt(energy / (out.size() - tail)), 0.05);
        const double frequency = crossings / 2.0 / ((out.size() - tail) / rate);
        EXPECT_NEAR(frequency, cutoff, 0.05 * cutoff);
    }
}

TEST(StateVariableFilterTest, FourLanesMatchTheScalarPathAndFiltersProcessedAlone) {
    const double rate = 44100.0;
    const double cutoffs[] = {300.0, 1200.0, 5000.0, 15000.0};
    const float peaks[] = {0.0f, 0.35f, 0.7f, 1.0f};
    std::vector<std::vector<float>> signals;
    for (uint32_t k = 0; k < 4; ++k) signals.push_back(noise(1500, k + 1, 0.3f + 0.2f * k));

    for (int c : {0, 2, 9}) {
        for (int response = 0; response < 3; ++response) {
            for (int slope = 1; slope <= 3; ++slope) {
                SCOPED_TRACE(::testing::Message() << c << " " << response << " " << slope);
                Rig together(4, rate), reference(4, rate), alone(4, rate, false);
                for (Rig* rig : {&together, &reference, &alone}) {
                    rig->configure(c, response, slope);
                    for (int k = 0; k < 4; ++k) rig->set(k, cutoffs[k], peaks[k]);
                }
                EXPECT_EQ(together.units[0]->memberCount(), 4);
                reference.units[0]->setScalarPath(true);
                const auto a = together.run(signals);
                const auto b = reference.run(signals);
                const auto d = alone.run(signals);
                for (int k = 0; k < 4; ++k) {
                    EXPECT_EQ(a[k], b[k]) << "lane " << k;
                    EXPECT_EQ(a[k], d[k]) << "lane " << k;
                }
            }
        }
    }
}

TEST(StateVariableFilterTest, NoiseAndSquareStayFiniteBoundedAndNormal) {
    const size_t length = 768;
    const double cutoffs[] = {8.0, 300.0, 6000.0, 1e6};  // the last far above every rate
    double loudest = 0.0, loudestClean = 0.0;
    for (double rate : {44100.0, 96000.0, 192000.0}) {
        Rig rig(4, rate);
        std::vector<float> square(length);
        for (size_t i = 0; i < length; ++i)
            square[i] = std::fmod(i * 110.0 / rate, 1.0) < 0.5 ? 1 : -1;
        const std::vector<std::vector<float>> inputs[] = {
            {noise(length, 1, 1.0f), noise(length, 2, 1.0f), noise(length, 3, 1.0f),
             noise(length, 4, 1.0f)},
            std::vector<std::vector<float>>(4, square)};
        for (int c = 0; c <= MultiDesignFilter::kCleanIndex; ++c) {
            for (int response = 0; response < 3; ++response) {
                for (int slope = 1; slope <= 3; ++slope) {
                    rig.configure(c, response, slope);
                    for (float peak : {0.0f, 0.5f, 1.0f}) {
                        SCOPED_TRACE(::testing::Message()
                                     << c << " " << response << " " << slope << " " << peak);
                        for (int k = 0; k < 4; ++k) rig.set(k, cutoffs[k], peak);
                        for (const auto& signal : inputs) {
                            rig.env.reset();
                            for (const std::vector<float>& out : rig.run(signal)) {
                                for (float v : out) {
                                    ASSERT_TRUE(std::isfinite(v));
                                    ASSERT_TRUE(v == 0.0f || std::fabs(v) >= FLT_MIN);
                                    double& l = c == MultiDesignFilter::kCleanIndex ? loudestClean
                                                                                    : loudest;
                                    l = std::max(l, double(std::fabs(v)));
                                }
                            }
                        }
                    }
                }
            }
        }
    }
    // Full-scale input: the saturators keep the characteristics near unity; "Clean" is linear
    // and rings at most by its first section's peak.
    EXPECT_LT(loudest, 10.0);
    EXPECT_LT(loudestClean, 10.0);
}

TEST(StateVariableFilterTest, SwitchingCharacteristicKeepsTheStateAndFourLanesPerUnit) {
    const double rate = 48000.0;
    Rig rig(1, rate);
    rig.configure(0, GenericFilter::kLowPass, GenericFilter::kSlope12);
    rig.set(0, 2000.0, 0.2f);
    const std::vector<float> in = sine(100.0, rate, 8192, 0.1);
    rig.sources[0]->play(in);
    // Switch where the sine is near its trough, so that a lost state would show as a jump.
    const size_t switchAt = 65 * kBlock;
    std::vector<float> out = render(rig.env, rig.outputs, switchAt)[0];
    ASSERT_TRUE(rig.filters[0]->setCharacteristic(6));  // "Smooth": gain 0.35, not 1
    const std::vector<float> rest = render(rig.env, rig.outputs, in.size() - switchAt)[0];
    out.insert(out.end(), rest.begin(), rest.end());
    EXPECT_EQ(rig.units[0]->style(), &standardStyles()[6]);
    EXPECT_LT(out[switchAt], -0.05f);
    float steady = 0.0f, atSwitch = 0.0f;
    for (size_t i = 2048; i < switchAt - 64; ++i)
        steady = std::max(steady, std::fabs(out[i] - out[i - 1]));
    for (size_t i = switchAt - 8; i < switchAt + 64; ++i) {
        atSwitch = std::max(atSwitch, std::fabs(out[i] - out[i - 1]));
    }
    EXPECT_LT(atSwitch, 1.5f * steady);

    // Leaving for "Clean" frees the lane; coming back takes a lane again.
    ASSERT_TRUE(rig.filters[0]->setCharacteristic(MultiDesignFilter::kCleanIndex));
    EXPECT_EQ(rig.units[0]->memberCount(), 0);
    EXPECT_EQ(rig.filters[0]->kernel(), rig.cleans[0].get());
    ASSERT_TRUE(rig.filters[0]->setCharacteristic(3));
    EXPECT_EQ(rig.units[0]->memberCount(), 1);
    EXPECT_FALSE(rig.filters[0]->setCharacteristic(11));
    EXPECT_EQ(rig.filters[0]->characteristic(), 3);

    // A unit has four lanes: a fifth member is refused until one leaves.
    Rig full(4, rate);
    full.configure(0, GenericFilter::kLowPass, GenericFilter::kSlope12);
    MultiDesignFilter extra(full.env);
    extra.addEntries(*full.units[0], standardStyles());
    EXPECT_FALSE(extra.setCharacteristic(0));
    EXPECT_EQ(extra.unit(), nullptr);
    full.filters.pop_back();
    EXPECT_TRUE(extra.setCharacteristic(0));
}

TEST(StateVariableFilterTest, MixBlendsDryAndFiltered) {
    Rig rig(3, 48000.0);
    rig.configure(1, GenericFilter::kLowPass, GenericFilter::kSlope24);
    for (int k = 0; k < 3; ++k) rig.set(k, 500.0, 0.3f);
    rig.filters[1]->defaultMix().setTarget(0.0f, 0.0f);
    rig.filters[2]->defaultMix().setTarget(0.25f, 0.0f);
    const std::vector<float> in = noise(512, 7, 0.5f);
    const auto out = rig.run({in, in, in});
    EXPECT_EQ(out[1], in);
    for (size_t i = 0; i < in.size(); ++i) {
        EXPECT_NEAR(out[2][i], in[i] + 0.25f * (out[0][i] - in[i]), 1e-6);
    }
}

TEST(StateVariableFilterTest, ProcessingDoesNotAllocate) {
    Rig rig(4, 48000.0);
    const std::vector<float> in = noise(4096, 3, 0.5f);
    for (auto& s : rig.sources) s->play(in);
    auto renderSome = [&rig](int chunks) {
        for (int n = 0; n < chunks; ++n) {
            rig.env.beginChunk();
            for (GenericFilter* f : rig.outputs) f->pull(kBlock, 0);
            rig.env.finishChunk(kBlock, false);
        }
    };
    for (const int c : {0, MultiDesignFilter::kCleanIndex}) {
        rig.configure(c, GenericFilter::kBandPass, GenericFilter::kSlope48);
        renderSome(2);
        AllocationGuard guard;
        renderSome(8);
        rig.filters[0]->defaultFrequency().setTarget(3.0f, 10.0f);  // a sweep: control points
        renderSome(8);
        EXPECT_EQ(guard.allocations(), 0u) << c;
    }
}

TEST(StateVariableFilterTest, SectionCountsFromSlopeCodes) {
    wave::Environment env(kBlock);
    StateVariableFilter f(env);
    EXPECT_FALSE(f.acceptsSlope(0));
    for (const int code : {1, 2, 3, 4, 5, 0}) {  // 0 is refused
        f.setSlope(code);
        EXPECT_EQ(f.sectionCount(), code == 1 ? 1 : code == 2 ? 2 : 4) << code;
    }
}

}  // namespace
