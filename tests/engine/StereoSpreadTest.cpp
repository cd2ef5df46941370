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

    void setWidth(float width) { spread.width().setTarget(width, 0.0f); }
    void expectOutputs(std::initializer_list<float> l, std::initializer_list<float> r) {
        expectPattern(wave::test::pullChunk(env, spread.output(0)), kBlock, l);
        expectPattern(spread.output(1).outputData(), kBlock, r);
    }

    wave::Environment env;
    StereoSpread spread;
    PatternSource left;
    PatternSource right;
};

TEST_F(StereoSpreadTest, WidthFromMonoToSideOnly) {
    // L = {1, 0.5}, R = {0.2, -0.5}: mid {0.6, 0}, side {0.4, 0.5}.
    expectOutputs({1.0f, 0.5f}, {0.2f, -0.5f});  // default width 1: unchanged
    setWidth(0.0f);
    expectOutputs({0.6f, 0.0f}, {0.6f, 0.0f});
    setWidth(0.5f);
    expectOutputs({0.8f, 0.25f}, {0.4f, -0.25f});
    setWidth(1.5f);  // centre at 0.5, side at 1.5
    expectOutputs({0.9f, 0.75f}, {-0.3f, -0.75f});
    setWidth(2.0f);
    expectOutputs({0.8f, 1.0f}, {-0.8f, -1.0f});
    setWidth(3.0f);  // limited to 2
    expectOutputs({0.8f, 1.0f}, {-0.8f, -1.0f});
}

TEST_F(StereoSpreadTest, FullWidthRemovesTheCentre) {
    setWidth(2.0f);
    right.values = left.values;
    expectOutputs({0.0f}, {0.0f});
}

TEST_F(StereoSpreadTest, WidthInputIsReadPerSample) {
    PatternSource width(env, {0.0f, 1.0f, 2.0f, 1.0f});
    spread.setWidthInput(&width);
    left.values = {1.0f};
    right.values = {0.0f};
    expectOutputs({0.5f, 1.0f, 1.0f, 1.0f}, {0.5f, 0.0f, -1.0f, 0.0f});
    spread.setWidthInput(nullptr);
    expectOutputs({1.0f}, {0.0f});
}

TEST_F(StereoSpreadTest, MissingInputsAreSilent) {
    spread.setInput(1, nullptr);
    setWidth(0.0f);
    expectOutputs({0.5f, 0.25f}, {0.5f, 0.25f});
    spread.setInput(0, nullptr);
    EXPECT_EQ(wave::test::pullChunk(env, spread.output(0)), env.silentBuffer().data());
}

}  // namespace
