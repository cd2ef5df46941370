#include <gtest/gtest.h>

#include "gui/Modifiers.h"
#include "gui/ValueDragMapper.h"

namespace gui {
namespace {

// Drags `pixels` in moves of `perMove` pixels every `intervalMs`, after the click window.
int32_t drag(int32_t steps, int pixels, int perMove, int intervalMs, uint32_t modifiers = 0) {
    ManualClock clock;
    ValueDragMapper m(clock);
    m.stepCount = steps;
    m.press({0, 0});
    int32_t total = 0;
    for (int moved = 0; moved < pixels; moved += perMove) {
        clock.advance(intervalMs);
        total += m.mapDrag({}, {0, -(moved + perMove) - 10}, float(perMove), modifiers);
    }
    return total;
}

TEST(ValueDragMapperTest, RatesOfDrags) {
    ModifierTable::reset();
    struct Case {
        int32_t steps;
        int pixels, perMove, intervalMs;
        uint32_t modifiers;
        int32_t expected;
    } cases[] = {
        // Fast (0.1 px/ms and more): 200 pixels cover the whole range.
        {4096, 200, 10, 20, 0, 4096},
        // Slower, the factor falls as 0.1 + 9 x speed: 0.19 at 0.01 px/ms ...
        {4096, 200, 1, 100, 0, 778},
        // ... and near a tenth of the range for a still hand (0.109 at 0.001 px/ms).
        {4096, 200, 1, 1000, 0, 446},
        // Ctrl is fine adjustment: a tenth whatever the speed.
        {4096, 200, 10, 20, modifier::kCtrl, 409},
        // Under 100 steps: never accelerated, and the range is steps x 20 pixels at most.
        {4, 80, 1, 1000, 0, 4},
        {99, 200, 1, 1000, 0, 99},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.steps << " steps, " << c.perMove << " px per " << c.intervalMs << " ms");
        EXPECT_NEAR(drag(c.steps, c.pixels, c.perMove, c.intervalMs, c.modifiers), c.expected, 1);
    }
}

TEST(ValueDragMapperTest, ClicksAndRemainders) {
    ManualClock clock;
    ValueDragMapper m(clock);
    m.stepCount = 4096;
    m.accelerationEnabled = false;
    // Four pixels within the double-click time: still a click, no steps.
    m.press({100, 100});
    clock.advance(50);
    EXPECT_EQ(m.mapDrag({}, {104, 96}, 4.0f, 0), 0);
    EXPECT_TRUE(m.pressPending());
    // Five pixels away the drag begins, and the fractions add up to whole steps.
    EXPECT_EQ(m.mapDrag({}, {100, 95}, 0.03f, 0), 0);
    EXPECT_FALSE(m.pressPending());
    int32_t sum = 0;
    for (int i = 0; i < 100; ++i) sum += m.mapDrag({}, {100, 90}, 0.1f, 0);
    EXPECT_EQ(sum, 205);  // (0.03 + 10) x 4096 / 200 = 205.4
    // After the double-click time even a still mouse drags.
    m.press({0, 0});
    clock.advance(doubleClickTime() + 1);
    EXPECT_EQ(m.mapDrag({}, {0, 1}, 1.0f, 0), 20);
    // Downwards truncates towards zero too.
    m.resetDrag();
    EXPECT_EQ(m.mapDrag({}, {0, 1}, -1.0f, 0), -20);
}

TEST(ValueDragMapperTest, RelativeChanges) {
    ValueDragMapper m;
    m.stepCount = 4096;
    EXPECT_EQ(m.mapRelative(1, 0), 81);  // 4096 / 50 = 81.92, the fraction kept
    EXPECT_EQ(m.mapRelative(1, 0), 82);
    EXPECT_EQ(m.mapRelative(-1, 0), -81);  // turning back drops the remainder
    EXPECT_EQ(m.mapRelative(1, modifier::kCtrl), 8);
    m.stepCount = 10;
    int32_t fine = 0;
    for (int i = 0; i < 10; ++i) fine += m.mapRelative(1, modifier::kCtrl);
    EXPECT_EQ(fine, 1);
    EXPECT_EQ(m.mapRelative(-1, 0), -1);
}

TEST(ValueDragMapperTest, ModifierTranslationTable) {
    ModifierTable::reset();
    // Combination -> functions, with buttons and the Super key masked out.
    const uint32_t start[][2] = {{1, 4}, {2, 1},   {4, 2},          {6, 3},
                                 {3, 0}, {128, 0}, {4 | 8 | 256, 2}};
    for (auto [mods, fn] : start) EXPECT_EQ(ModifierTable::functionsOf(mods), fn) << mods;
    ModifierTable::useShiftForFine();
    const uint32_t host[][2] = {{1, 2}, {2, 4}, {4, 1}, {6, 5}, {1 | 16, 2}};
    for (auto [mods, fn] : host) EXPECT_EQ(ModifierTable::functionsOf(mods), fn) << mods;
    ModifierTable::set(128, 2);
    ModifierTable::set(128 | 1, 6);
    EXPECT_EQ(ModifierTable::functionsOf(128 | 64), 2u);
    EXPECT_EQ(ModifierTable::functionsOf(129), 6u);
    ModifierTable::reset();
    EXPECT_EQ(ModifierTable::functionsOf(128), 0u);
}

}  // namespace
}  // namespace gui
