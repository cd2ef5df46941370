#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/StereoSpread.h"
#include "engine/UnisonLayout.h"
#include "engine/UnisonMixer.h"
#include "tests/wave/TestSources.h"
#include "wave/FloatParameterSource.h"

namespace {

using wave::test::expectPattern;
using wave::test::kBlock;
using wave::test::PatternSource;

class UnisonMixerTest : public ::testing::Test {
protected:
    UnisonMixerTest() : env(kBlock), mixer(env) {}

    // A constant gain source.
    wave::FloatParameterSource& gain(float value) {
        gains.push_back(std::make_unique<wave::FloatParameterSource>(env, value));
        return *gains.back();
    }
    const float* pull(int side) { return wave::test::pullChunk(env, mixer.output(side)); }

    wave::Environment env;
    UnisonMixer mixer;
    std::vector<std::unique_ptr<wave::FloatParameterSource>> gains;
};

// Balance weights at the positions of four voices are measured end to end with the engine.
TEST_F(UnisonMixerTest, BalanceFadesTheOppositeSide) {
    // Three unison voices at -1, 0, 1 with per-side gains, one of them a non-constant block.
    PatternSource a(env, {1.0f, 2.0f, 3.0f, 4.0f}), b(env, {10.0f}), c(env, {100.0f, -100.0f});
    PatternSource blockGain(env, {0.5f, 1.0f});
    mixer.addEntry(&gain(2.0f), &gain(3.0f), &a, -1.0f);
    mixer.addEntry(&blockGain, &gain(0.5f), &b, 0.0f);
    mixer.addEntry(&gain(1.0f), &gain(0.25f), &c, 1.0f);
    // left: 2·a + blockGain·b + 0; right: 0 + 0.5·b + 0.25·c
    expectPattern(pull(0), kBlock, {7.0f, 14.0f, 11.0f, 18.0f});
    expectPattern(mixer.output(1).outputData(), kBlock, {30.0f, -20.0f});
    EXPECT_EQ(a.calls, 1);  // both sides computed by one pull
}

TEST_F(UnisonMixerTest, SwitchedOffEntriesAreNotPulled) {
    PatternSource off(env, {5.0f}), oneSided(env, {2.0f}), unknown(env, {3.0f});
    PatternSource zeroBlock(env, {0.0f});  // zero, but not reported constant
    mixer.addEntry(&gain(0.0f), &gain(0.0f), &off, 0.0f);
    mixer.addEntry(&gain(0.0f), &gain(1.0f), &oneSided, 0.0f);
    mixer.addEntry(&zeroBlock, &gain(0.0f), &unknown, 0.0f);
    expectPattern(pull(0), kBlock, {0.0f});
    expectPattern(mixer.output(1).outputData(), kBlock, {2.0f});
    EXPECT_EQ(off.calls, 0);
    EXPECT_EQ(oneSided.calls, 1);
    EXPECT_EQ(unknown.calls, 1);
}

TEST_F(UnisonMixerTest, NothingToMixIsTheSilentBufferAndThirtyTwoEntriesFit) {
    const float* silent = env.silentBuffer().data();
    EXPECT_EQ(pull(0), silent);
    PatternSource s(env, {1.0f});
    mixer.addEntry(&gain(0.0f), &gain(0.0f), &s, 0.5f);
    EXPECT_EQ(pull(0), silent);
    EXPECT_EQ(mixer.output(1).outputData(), silent);
    EXPECT_TRUE(mixer.output(1).isConstant());
    mixer.clear();
    wave::FloatParameterSource& g = gain(1.0f);
    for (size_t i = 0; i < UnisonMixer::kEntryCapacity; ++i) {
        EXPECT_TRUE(mixer.addEntry(&g, &g, &s, 0.0f));
    }
    EXPECT_FALSE(mixer.addEntry(&g, &g, &s, 0.0f));
    expectPattern(pull(0), kBlock, {32.0f});
}

// Positions of four voices and the partials they make are measured end to end with the engine.
TEST(UnisonLayout, VoicesNotesAndPositions) {
    struct Case {
        int total, unison, perNote, notes;
    };
    for (const Case& c : {Case{10, 4, 4, 2}, Case{3, 8, 3, 1}, Case{32, 1, 1, 32},
                          Case{32, 5, 5, 6}, Case{1, 1, 1, 1}}) {
        SCOPED_TRACE(testing::Message() << c.total << " " << c.unison);
        EXPECT_EQ(UnisonLayout::voicesPerNote(c.total, c.unison), c.perNote);
        EXPECT_EQ(UnisonLayout::notesAtATime(c.total, c.unison), c.notes);
    }
    EXPECT_EQ(unisonPosition(0, 1), 0.0);
    EXPECT_EQ(unisonPosition(0, 2), -1.0);
    EXPECT_EQ(unisonPosition(1, 2), 1.0);
    EXPECT_EQ(unisonPosition(2, 5), 0.0);
}

TEST(UnisonLayout, DetuneDrawsFromTheLinearCongruentialGenerator) {
    // From state 1 the generator gives 41, then 18467.
    uint32_t state = 1;
    EXPECT_FLOAT_EQ(unisonDetuneOctaves(1.0, state), (0.95 + 0.1 * 41 / 32767.0) / 12.0);
    EXPECT_EQ(state, 2745024u);
    EXPECT_FLOAT_EQ(unisonDetuneOctaves(-0.5, state), -0.5 * (0.95 + 0.1 * 18467 / 32767.0) / 12);
    const uint32_t before = state;
    EXPECT_EQ(unisonDetuneOctaves(0.0, state), 0.0f);
    EXPECT_NE(state, before);  // a centre voice still draws
}

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
