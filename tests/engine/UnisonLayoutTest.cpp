#include <gtest/gtest.h>

#include "engine/UnisonLayout.h"

namespace {

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

}  // namespace
