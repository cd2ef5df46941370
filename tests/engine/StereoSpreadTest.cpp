#include <gtest/gtest.h>

#include "engine/StereoSpread.h"
#include "tests/wave/TestSources.h"

namespace {

using wave::test::expectPattern;
using wave::test::kBlock;
using wave::test::PatternSource;

class StereoSpreadTest : public ::testing::Test {
protected:
    StereoSpreadTest()
        : env(kBlock), spread(env), left(env, {1.0f, 0.5f}), right(env, {0.2f, -0.5f}) {
        spread.setInput(0, &left);
        spread.setInput(1, &right);
    }
    void expectOutputs(std::initializer_list<float> l, std::initializer_list<float> r) {
        expectPattern(wave::test::pullChunk(env, spread.output(0)), kBlock, l);
        expectPattern(spread.output(1).outputData(), kBlock, r);
    }

    wave::Environment env;
    StereoSpread spread;
    PatternSource left;
    PatternSource right;
};

// L = {1, 0.5}, R = {0.2, -0.5}: mid {0.6, 0}, side {0.4, 0.5}. Widths above 1 take
// (width - 1) off the centre, so 2 leaves only the side; beyond 2 nothing changes.
TEST_F(StereoSpreadTest, WidthFromMonoToSideOnlyPerSampleAndMissingInputsSilent) {
    expectOutputs({1.0f, 0.5f}, {0.2f, -0.5f});  // default width 1: unchanged
    const float widths[] = {0.0f, 0.5f, 1.5f, 2.0f, 3.0f};
    const float outputs[][4] = {{0.6f, 0.0f, 0.6f, 0.0f},
                                {0.8f, 0.25f, 0.4f, -0.25f},
                                {0.9f, 0.75f, -0.3f, -0.75f},
                                {0.8f, 1.0f, -0.8f, -1.0f},
                                {0.8f, 1.0f, -0.8f, -1.0f}};
    for (int i = 0; i < 5; ++i) {
        spread.width().setTarget(widths[i], 0.0f);
        expectOutputs({outputs[i][0], outputs[i][1]}, {outputs[i][2], outputs[i][3]});
    }
    // A width input is read per sample; missing inputs are silent.
    PatternSource width(env, {0.0f, 1.0f, 2.0f, 1.0f});
    spread.setWidthInput(&width);
    left.values = {1.0f};
    right.values = {0.0f};
    expectOutputs({0.5f, 1.0f, 1.0f, 1.0f}, {0.5f, 0.0f, -1.0f, 0.0f});
    spread.setWidthInput(nullptr);
    spread.setInput(1, nullptr);
    spread.width().setTarget(0.0f, 0.0f);
    expectOutputs({0.5f}, {0.5f});
    spread.setInput(0, nullptr);
    EXPECT_EQ(wave::test::pullChunk(env, spread.output(0)), env.silentBuffer().data());
}

}  // namespace
