#include <gtest/gtest.h>

#include "engine/UnisonLayout.h"

namespace {

TEST(UnisonLayout, VoicesAndNotes) {
    struct Case {
        int total, unison, perNote, notes;
    };
    for (const Case& c : {Case{10, 4, 4, 2}, Case{3, 8, 3, 1}, Case{32, 1, 1, 32},
                          Case{32, 5, 5, 6}, Case{1, 1, 1, 1}}) {
        SCOPED_TRACE(testing::Message() << c.total << " " << c.unison);
        EXPECT_EQ(UnisonLayout::voicesPerNote(c.total, c.unison), c.perNote);
        EXPECT_EQ(UnisonLayout::notesAtATime(c.total, c.unison), c.notes);
    }
}

TEST(UnisonLayout, PositionsSpanMinusOneToOne) {
    EXPECT_EQ(unisonPosition(0, 1), 0.0);
    EXPECT_EQ(unisonPosition(0, 2), -1.0);
    EXPECT_EQ(unisonPosition(1, 2), 1.0);
    const double four[] = {-1.0, -1.0 / 3.0, 1.0 / 3.0, 1.0};
    for (int i = 0; i < 4; ++i) EXPECT_DOUBLE_EQ(unisonPosition(i, 4), four[i]) << i;
    EXPECT_EQ(unisonPosition(2, 5), 0.0);
}

TEST(UnisonLayout, DetuneDrawsFromTheLinearCongruentialGenerator) {
    // From state 1 the generator gives 41, then 18467.
    uint32_t state = 1;
    EXPECT_FLOAT_EQ(unisonDetuneOctaves(1.0, state), (0.95 + 0.1 * 41 / 32767.0) / 12.0);
    EXPECT_EQ(state, 2745024u);
    EXPECT_FLOAT_EQ(unisonDetuneOctaves(-0.5, state), -0.5 * (0.95 + 0.1 * 18467 / 32767.0) / 12);

    state = 12345;
    for (int i = 0; i < 1000; ++i) {
        const float outer = unisonDetuneOctaves(i % 2 ? 1.0 : -1.0, state);
        ASSERT_GE(std::abs(outer), 0.95f / 12.0f - 1e-7f) << i;
        ASSERT_LE(std::abs(outer), 1.05f / 12.0f + 1e-7f) << i;
        ASSERT_EQ(outer > 0.0f, i % 2 == 1);
    }
    const uint32_t before = state;
    EXPECT_EQ(unisonDetuneOctaves(0.0, state), 0.0f);
    EXPECT_NE(state, before);  // a centre voice still draws
}

}  // namespace
