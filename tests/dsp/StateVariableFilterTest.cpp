#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <vector>

#include "dsp/FilterFunctions.h"
#include "dsp/StateVariableFilter.h"
#include "tests/dsp/FilterTestRig.h"

namespace {

using namespace filtertest;
using dsptest::render;

TEST(StateVariableFilterTest, PrimeSelfOscillatesWithinUnitBoundsAtPeakOne) {
    const double rate = 48000.0;
    const double cutoff = 8000.0;
    for (int slope = GenericFilter::kSlope12; slope <= GenericFilter::kSlope48; ++slope) {
        SCOPED_TRACE(slope);
        Rig rig(1, rate);
        rig.configure(0, GenericFilter::kLowPass, slope);
        rig.set(0, cutoff, 1.0f);
        rig.sources[0]->kick(0.5f);
        const std::vector<float> out = render(rig.env, rig.outputs, 48000)[0];
        const size_t tail = 36000;
        int crossings = 0;
        for (size_t i = tail; i < out.size(); ++i) crossings += (out[i - 1] < 0) != (out[i] < 0);
        EXPECT_LE(*std::max_element(out.begin(), out.end()), 1.0f);
        EXPECT_GE(*std::min_element(out.begin(), out.end()), -1.0f);
        // Still ringing a quarter of a second after the kick, at the cut-off.
        EXPECT_GT(dsptest::rms(out, tail), 0.05);
        EXPECT_NEAR(crossings / 2.0 / ((out.size() - tail) / rate), cutoff, 0.05 * cutoff);
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

// The three updates per sample and section in double precision, the first section's band-pass
// driven by sa. Without drive or with weak drive the filter folds them into one map per sample;
// float rounding, raised by a peak of 0.99, keeps it about -90 dB from these (as close as the
// three updates in float come), at any cut-off and slope.
std::vector<double> threeUpdates(const std::vector<float>& in, int response, int sections, float f,
                                 const float* damping, double sa) {
    const double offset = StateVariableFilter::kDenormalOffset;
    double lp[StateVariableFilter::kMaxSections] = {};
    double bp[StateVariableFilter::kMaxSections] = {};
    std::vector<double> out;
    for (float x : in) {
        double v = x;
        for (int k = 0; k < sections; ++k) {
            double& l = lp[k];
            double& b = bp[k];
            const double d = damping[k];
            const double drive = k == 0 ? sa : 0.0;
            l += f * (b - offset);
            b += f * (v - d * b - l) - drive * b * b * b;
            l += f * b;
            b += f * (v - d * b - l) - drive * b * b * b;
            l += f * b;
            const double hp = v - d * b - l;
            b = std::clamp(b + f * hp - drive * b * b * b + offset, -1.0, 1.0);
            l = std::clamp(l, -10.0, 10.0);
            v = response == GenericFilter::kLowPass    ? l
                : response == GenericFilter::kHighPass ? hp
                                                       : b;
        }
        out.push_back(v);
    }
    return out;
}

// The plain filter with a band-pass drive of its own.
struct DrivenFilter : StateVariableFilter {
    DrivenFilter(wave::Environment& env, float sa) : StateVariableFilter(env), sa(sa) {}
    Coefficients lookup(float frequency, float peak) override {
        Coefficients c = StateVariableFilter::lookup(frequency, peak);
        c.saturation = sa;
        return c;
    }
    float sa;
};

TEST(StateVariableFilterTest, FoldedSectionsFollowTheThreeUpdatesInDoublePrecision) {
    const float rate = 48000.0f;
    const FilterTables& tables = FilterTables::shared();
    const std::vector<float> input = noise(4096, 7, 0.25f);
    for (double cutoff : {30.0, 1000.0, 15000.0}) {
        for (float peak : {0.0f, 0.6f, 0.99f}) {
            const float f = tables.frequency(static_cast<float>(std::log2(cutoff / rate)));
            const float limit = tables.dampLimit(f);
            float damping[StateVariableFilter::kMaxSections] = {std::min(tables.damp(peak), limit)};
            for (int s = 1; s < StateVariableFilter::kMaxSections; ++s) {
                damping[s] =
                    std::min(tables.damp(StateVariableFilter::kSectionResonance *
                                         StateVariableFilter::kSectionWeights[s - 1] * peak),
                             limit);
            }
            for (int kind = 0; kind < 3 * 3 * 3; ++kind) {
                const int response = kind % 3;
                const int slope = GenericFilter::kSlope12 + kind / 3 % 3;
                const float sa = std::array{0.0f, 1e-4f, 1e-3f}[static_cast<size_t>(kind / 9)];
                dsptest::Env env(rate);
                DrivenFilter svf(env, sa);
                svf.setResponse(response);
                svf.setSlope(slope);
                const std::vector<double> expected =
                    threeUpdates(input, response, svf.sectionCount(), f, damping, sa);
                const std::vector<float> frequency(kBlock, static_cast<float>(std::log2(cutoff)));
                const std::vector<float> peaks(kBlock, peak);
                std::vector<float> out(kBlock);
                double error = 0.0;
                double level = 0.0;
                for (size_t at = 0; at < input.size(); at += kBlock) {
                    svf.process(input.data() + at, out.data(), frequency.data(), peaks.data(),
                                nullptr, kBlock, true);
                    for (uint32_t i = 0; i < kBlock; ++i) {
                        // The output saturator at its plain drive: 10 atan(y / 10).
                        const float d = StateVariableFilter::kMinDrive;
                        const float y =
                            tables.defaultClip(d * static_cast<float>(expected[at + i])) / d;
                        error = std::max(error, std::fabs(double(out[i]) - y));
                        level = std::max(level, std::fabs(double(y)));
                    }
                }
                SCOPED_TRACE(::testing::Message()
                             << cutoff << " Hz, peak " << peak << ", response " << response
                             << ", slope " << slope << ", drive " << sa);
                EXPECT_LT(error, 5e-5 * level);
            }
        }
    }
}

// Armed units of a group render together at the first pull, those of one response and slope in
// one loop, and every sample matches the units rendered alone: styles of other input gains, a
// cut-off sweeping in one unit only (its control points fall elsewhere than its partner's), a
// member switched off, a unit without a partner, chunks nobody armed, a unit held back.
TEST(StateVariableFilterTest, GroupedUnitsMatchUnitsRenderedAlone) {
    struct Setup {
        int characteristic, response, slope;
        double cutoff;
        float peak;
    };
    using F = GenericFilter;
    // Four low-passes run as one batch, three band-passes as two and one, the high-pass alone.
    const Setup setups[] = {{0, F::kLowPass, F::kSlope12, 900.0, 0.5f},
                            {2, F::kLowPass, F::kSlope12, 200.0, 0.8f},
                            {5, F::kLowPass, F::kSlope12, 4000.0, 1.0f},
                            {7, F::kLowPass, F::kSlope12, 60.0, 0.0f},
                            {9, F::kBandPass, F::kSlope24, 3000.0, 0.3f},
                            {6, F::kBandPass, F::kSlope24, 500.0, 0.9f},
                            {1, F::kBandPass, F::kSlope24, 12000.0, 0.6f},
                            {3, F::kHighPass, F::kSlope48, 1500.0, 0.6f}};
    constexpr size_t kMembers = 3;
    constexpr size_t kLength = 4096;
    constexpr uint32_t kChunk = 256;
    auto renderAll = [&](bool grouped) {
        dsptest::Env env(48000.0f, kChunk);
        GenericFilter::UnitGroup group;
        std::vector<std::unique_ptr<DesignFilter>> units;
        std::vector<std::unique_ptr<dsptest::Playback>> sources;
        std::vector<std::unique_ptr<MultiDesignFilter>> filters;
        for (const Setup& s : setups) {
            units.push_back(std::make_unique<DesignFilter>(env));
            if (grouped) group.add(*units.back());
            for (size_t m = 0; m < kMembers; ++m) {
                sources.push_back(std::make_unique<dsptest::Playback>(env));
                sources.back()->play(noise(kLength, 11 + sources.size(), 0.2f + 0.1f * m));
                filters.push_back(std::make_unique<MultiDesignFilter>(env));
                MultiDesignFilter& f = *filters.back();
                f.setInput(sources.back().get());
                f.addEntries(*units.back(), standardStyles());
                EXPECT_TRUE(f.setCharacteristic(s.characteristic));
                f.setResponse(s.response);
                f.setSlope(s.slope);
                f.defaultFrequency().setTarget(static_cast<float>(std::log2(s.cutoff)), 0.0f);
                f.defaultPeak().setTarget(s.peak, 0.0f);
            }
        }
        filters[kMembers]->defaultFrequency().setTarget(13.0f, 40.0f);
        filters[5 * kMembers + 1]->defaultMix().setTarget(0.0f, 0.0f);

        std::vector<std::vector<float>> out(filters.size());
        for (size_t done = 0; done < kLength; done += kChunk) {
            env.beginChunk();
            const bool armed = grouped && done % (4 * kChunk) != 3 * kChunk;
            // Every other armed chunk one member holds its unit back from the early rendering.
            const bool held = armed && done % (2 * kChunk) == 0;
            if (armed) {
                for (auto& f : filters) f->armUnit();
            }
            if (held) filters[4 * kMembers + 2]->holdUnitBack();
            filters[0]->pull(kChunk, 0);
            for (size_t k = 0; k < filters.size(); ++k) {
                const bool early = armed && !(held && k / kMembers == 4);
                EXPECT_EQ(filters[k]->producedInChunk(), early || k < kMembers) << k;
            }
            for (size_t k = 0; k < filters.size(); ++k) {
                const float* x = filters[k]->pull(kChunk, 0);
                out[k].insert(out[k].end(), x, x + kChunk);
            }
            env.finishChunk(kChunk, false);
        }
        return out;
    };
    const auto alone = renderAll(false);
    const auto together = renderAll(true);
    for (size_t k = 0; k < alone.size(); ++k) EXPECT_EQ(together[k], alone[k]) << "filter " << k;
}

// Full-scale noise and square waves through every characteristic, response, slope and peak: the
// saturators keep the characteristics near unity; "Clean" is linear and rings at most by its
// first section's peak. Cut-offs below and far above the characteristics' axes and every rate.
TEST(StateVariableFilterTest, NoiseAndSquareStayFiniteBoundedAndNormal) {
    const size_t length = 768;
    const double cutoffs[] = {2.0, 300.0, 6000.0, 1e6};
    for (double rate : {44100.0, 96000.0, 192000.0}) {
        Rig rig(4, rate);
        std::vector<float> square(length);
        for (size_t i = 0; i < length; ++i)
            square[i] = std::fmod(i * 110.0 / rate, 1) < 0.5 ? 1 : -1;
        const std::vector<std::vector<float>> inputs[] = {
            {noise(length, 1, 1), noise(length, 2, 1), noise(length, 3, 1), noise(length, 4, 1)},
            std::vector<std::vector<float>>(4, square)};
        for (int setting = 0; setting < 11 * 3 * 3 * 3; ++setting) {
            const int c = setting / 27, response = setting / 9 % 3, slope = setting / 3 % 3 + 1;
            const float peak = 0.5f * (setting % 3);
            rig.configure(c, response, slope);
            for (int k = 0; k < 4; ++k) rig.set(k, cutoffs[k], peak);
            for (const auto& signal : inputs) {
                rig.env.reset();
                for (const std::vector<float>& out : rig.run(signal)) {
                    for (float v : out) {
                        ASSERT_TRUE(std::isfinite(v) && std::fabs(v) < 10.0f) << setting;
                        ASSERT_TRUE(v == 0.0f || std::fabs(v) >= FLT_MIN) << setting;
                    }
                }
            }
        }
    }
}

TEST(StateVariableFilterTest, SwitchingCharacteristicKeepsTheStateAndFourLanesPerUnit) {
    const double rate = 48000.0;
    Rig rig(1, rate);
    rig.configure(0, GenericFilter::kLowPass, GenericFilter::kSlope12);
    rig.set(0, 2000.0, 0.2f);
    rig.sources[0]->setGenerator(dsptest::sineOf(100.0, 0.1, rate));
    // Switch to "Smooth" (gain 0.35, not 1) where the sine is near its trough, so that a lost
    // state would show as a jump.
    const size_t switchAt = 65 * kBlock;
    const auto out = render(rig.env, rig.outputs, 8192, kBlock, [&](size_t at) {
        if (at == switchAt) rig.filters[0]->setCharacteristic(6);
    })[0];
    EXPECT_EQ(rig.units[0]->style(), &standardStyles()[6]);
    EXPECT_LT(out[switchAt], -0.05f);
    const float steady = dsptest::largestStep(out, 2048, switchAt - 64);
    EXPECT_LT(dsptest::largestStep(out, switchAt - 8, switchAt + 64), 1.5f * steady);

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

    // A unit whose members are all switched off does no work: its state stays where it was, so
    // that switched on again it starts as a fresh filter does.
    Rig off(1, 48000.0), fresh(1, 48000.0);
    for (Rig* r : {&off, &fresh}) {
        r->configure(1, GenericFilter::kLowPass, GenericFilter::kSlope24);
        r->set(0, 500.0, 0.3f);
    }
    off.filters[0]->defaultMix().setTarget(0.0f, 0.0f);
    EXPECT_EQ(off.run({in})[0], in);
    off.filters[0]->defaultMix().setTarget(1.0f, 0.0f);
    const std::vector<float> later = noise(512, 8, 0.5f);
    EXPECT_EQ(off.run({later})[0], fresh.run({later})[0]);
}

}  // namespace
