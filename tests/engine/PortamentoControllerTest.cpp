#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/PortamentoController.h"
#include "tests/wave/TestSources.h"

namespace {

using Curves = PortamentoController::Curves;
using wave::test::kBlock;

constexpr float kRate = 48000.0f;

// y at x of the Bezier curve (0,0), (x1,0.96), (0.25,0.97), (1,1), by bisection on x.
double referenceCurve(double x1, double x) {
    auto bezier = [](double p1, double p2, double t) {
        const double u = 1.0 - t;
        return 3.0 * u * u * t * p1 + 3.0 * u * t * t * p2 + t * t * t;
    };
    double lo = 0.0, hi = 1.0;
    for (int i = 0; i < 60; ++i) {
        const double mid = 0.5 * (lo + hi);
        (bezier(x1, 0.25, mid) < x ? lo : hi) = mid;
    }
    return bezier(0.96, 0.97, lo);
}

TEST(PortamentoCurves, FollowTheBezierShapes) {
    const Curves& c = Curves::instance();
    for (const Curves::Table* t : {&c.up(), &c.down()}) {
        EXPECT_EQ((*t)[0], 0.0f);
        EXPECT_FLOAT_EQ((*t)[Curves::kSegments], 1.0f);
        for (int k = 1; k <= Curves::kSegments; ++k) ASSERT_GE((*t)[k], (*t)[k - 1]) << k;
    }
    for (int k = 0; k <= Curves::kSegments; k += 64) {
        const double x = static_cast<double>(k) / Curves::kSegments;
        EXPECT_NEAR(c.up()[k], referenceCurve(0.19, x), 2e-4) << k;
        EXPECT_NEAR(c.down()[k], referenceCurve(0.25, x), 2e-4) << k;
    }
    // Interpolation between entries, and 1 from the end on.
    const double half = 0.5 / Curves::kSegments;
    EXPECT_FLOAT_EQ(Curves::read(c.up(), half), 0.5f * (c.up()[0] + c.up()[1]));
    EXPECT_EQ(Curves::read(c.up(), 1.0), 1.0f);
    EXPECT_EQ(Curves::read(c.down(), 3.0), 1.0f);
}

class PortamentoTest : public ::testing::Test {
protected:
    PortamentoTest() : env(kBlock), portamento(env) { env.setSampleRate(kRate); }

    void setTime(float seconds) { portamento.defaultTime().setTarget(seconds, 0.0f); }
    // Renders `count` samples in chunks of `frames`.
    std::vector<float> render(size_t count, uint32_t frames = kBlock) {
        std::vector<float> out;
        while (out.size() < count) {
            const float* p = wave::test::pullChunk(env, portamento, frames);
            out.insert(out.end(), p, p + frames);
        }
        out.resize(count);
        return out;
    }

    wave::Environment env;
    PortamentoController portamento;
};

TEST_F(PortamentoTest, GlideFollowsTheCurveAndLandsOnTheTarget) {
    constexpr float kTime = 0.01f;  // 480 samples
    const auto length = static_cast<int>(std::lround(kRate * kTime));
    setTime(kTime);
    for (bool upward : {true, false}) {
        SCOPED_TRACE(upward ? "up" : "down");
        const float from = upward ? 8.0f : 9.0f, to = upward ? 9.0f : 8.0f;
        const Curves::Table& table = upward ? Curves::instance().up() : Curves::instance().down();
        portamento.startGlide(from, to);
        // Chunks of 20 samples: pieces split at the control interval as well.
        const std::vector<float> out = render(length + 40, 20);
        for (int k = 0; k < length - 1; ++k) {
            const float expected =
                from + Curves::read(table, static_cast<double>(k) / length) * (to - from);
            ASSERT_NEAR(out[k], expected, 1e-5f) << k;
            ASSERT_NE(out[k], to) << k;
        }
        int first = 0;
        while (out[first] != to) ++first;
        EXPECT_EQ(first, length);
        for (size_t k = first; k < out.size(); ++k) ASSERT_EQ(out[k], to) << k;
        EXPECT_FALSE(portamento.isGliding());
        EXPECT_EQ(portamento.current(), to);
    }
}

// A zero time jumps; the pitch input adds to the glide.
TEST_F(PortamentoTest, ZeroTimeJumpsAndPitchInputIsAdded) {
    wave::test::PatternSource tune(env, {0.5f, -0.25f, 0.0f, 1.0f});
    portamento.setPitchInput(&tune);
    setTime(0.0f);
    portamento.startGlide(7.0f, 8.0f);
    wave::test::expectPattern(wave::test::pullChunk(env, portamento), kBlock,
                              {8.5f, 7.75f, 8.0f, 9.0f});
    EXPECT_FALSE(portamento.isGliding());
    EXPECT_EQ(portamento.current(), 8.0f);
    // The new time is read at the next control boundary, 64 samples after the last one.
    setTime(1.0f);
    wave::test::expectPattern(wave::test::pullChunk(env, portamento), kBlock,
                              {8.5f, 7.75f, 8.0f, 9.0f});
    portamento.startGlide(8.0f, 10.0f);
    const float* out = wave::test::pullChunk(env, portamento);
    for (uint32_t k = 0; k < kBlock; ++k) {
        const float glided = 8.0f + 2.0f * Curves::read(Curves::instance().up(), k / kRate);
        EXPECT_NEAR(out[k], glided + tune.values[k % 4], 1e-5f) << k;
    }
    portamento.setPitchInput(nullptr);  // back to the own source, 0
    portamento.reset();
    wave::test::expectPattern(wave::test::pullChunk(env, portamento), kBlock, {10.0f});
}

// Release freezes the pitch where the glide stands; the time is read every 64 samples; advancing
// only or resetting renders nothing.
TEST_F(PortamentoTest, ReleaseControlIntervalAdvanceAndReset) {
    setTime(0.1f);
    portamento.startGlide(8.0f, 9.0f);
    const std::vector<float> before = render(3 * kBlock);
    portamento.stopGlide();
    EXPECT_EQ(portamento.current(), before.back());
    EXPECT_GT(before.back(), 8.0f);
    EXPECT_LT(before.back(), 9.0f);
    for (float v : render(2 * kBlock)) EXPECT_EQ(v, before.back());

    portamento.startGlide(8.0f, 9.0f);  // at sample 160: the time was read at 128
    setTime(0.0f);
    const std::vector<float> rest = render(3 * kBlock);
    for (uint32_t k = 0; k < kBlock; ++k) EXPECT_LT(rest[k], 9.0f) << "still gliding " << k;
    for (uint32_t k = kBlock; k < 3 * kBlock; ++k) EXPECT_EQ(rest[k], 9.0f) << k;

    setTime(0.01f);
    render(2 * kBlock);  // reads the new time
    portamento.startGlide(8.0f, 9.0f);
    wave::test::pullChunk(env, portamento, kBlock, wave::Environment::kFlagAdvanceOnly);
    EXPECT_EQ(portamento.glidePosition(), 0.0);
    env.reset();  // the controller is on the environment's reset list
    EXPECT_FALSE(portamento.isGliding());
    EXPECT_EQ(portamento.current(), 9.0f);
}

}  // namespace
