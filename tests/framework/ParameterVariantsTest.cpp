#include <gtest/gtest.h>

#include "framework/FloatParamPluginParameter.h"
#include "framework/PropPluginParameter.h"
#include "framework/Property.h"
#include "tests/framework/ParameterTestOwner.h"
#include "tests/support/AllocationCounter.h"
#include "wave/Environment.h"
#include "wave/FloatParameterSource.h"

namespace {

TEST(PropertyTest, NotifiesOnlyRealChangesWithTheMembersAddressAndLimitedOnesClamp) {
    RecordingPropertyOwner owner;
    Property<int> first(&owner, 3);
    Property<int> second(&owner);
    first = 3;
    first = 4;
    second.set(-1);
    first.set(4);
    EXPECT_EQ(owner.changes, (std::vector<const void*>{&first, &second}));
    EXPECT_EQ(static_cast<int>(first), 4);
    // A limited property clamps and notifies only when the stored value moves.
    owner.changes.clear();
    LimitedProperty<int> level(&owner, 0, 10, 5);
    // Each set, the value stored and the notifications so far.
    const int steps[][3] = {{20, 10, 1}, {30, 10, 1}, {10, 10, 1},
                            {-7, 0, 2},  {-1, 0, 2},  {7, 7, 3}};
    for (const auto& step : steps) {
        level = step[0];
        EXPECT_EQ(level.get(), step[1]) << step[0];
        EXPECT_EQ(owner.changes.size(), static_cast<size_t>(step[2])) << step[0];
    }
    // New limits apply to the next set, never to the value already stored.
    level.setLimits(-1, 5);
    EXPECT_EQ(level.get(), 7);
    level = 9;
    EXPECT_EQ(level.get(), 5);
    EXPECT_EQ(owner.changes, std::vector<const void*>(4, &level));
}

enum class Wave { Triangle, Sawtooth, Square };

TEST(ParameterVariantsTest, PropertyParametersWriteEveryBoundProperty) {
    ParameterTestOwner owner;
    RecordingPropertyOwner engine;
    Property<Wave> first(&engine, Wave::Triangle);
    Property<Wave> second(&engine, Wave::Sawtooth);
    PropPluginParameter<Wave> wave(&owner, "Osc 1 Wave Form");
    wave.declare(0, 2, Wave::Sawtooth);
    wave.bind(&first);
    wave.bind(&second);
    wave.applyValue(2.0f);
    EXPECT_EQ(second.get(), Wave::Square);
    wave.applyValue(2.0f);  // unchanged properties stay quiet
    EXPECT_EQ(engine.changes.size(), 2u);
    wave.applyValue(1.0f);
    EXPECT_EQ(engine.changes.size(), 4u);
    EXPECT_EQ(first.get(), Wave::Sawtooth);

    // Through a value map, clamped to its ends.
    Property<int> voices(&engine, 0);
    PropPluginParameter<int> total(&owner, "Total Voices");
    total.setValueMap({1, 2, 4, 8}, 0);
    total.declare(0, 3, 4);
    total.bind(&voices);
    total.applyValue(7.0f);
    EXPECT_EQ(voices.get(), 8);
    total.applyValue(1.0f);
    EXPECT_EQ(voices.get(), 2);

    // Limited properties clamp the engine value each.
    engine.changes.clear();
    LimitedProperty<float> narrow(&engine, 0.0f, 3.0f, 0.0f);
    LimitedProperty<float> wide(&engine, 0.0f, 10.0f, 0.0f);
    LimFloatPropPluginParameter threshold(&owner, "EG Main Threshold");
    threshold.setDisplayRange(0.0f, 10.0f);
    threshold.bind(&narrow);
    threshold.bind(&wide);
    threshold.applyValue(0.5f);
    EXPECT_FLOAT_EQ(narrow.get(), 3.0f);
    EXPECT_FLOAT_EQ(wide.get(), 5.0f);
    threshold.applyValue(0.6f);  // the narrow one stays at its limit
    EXPECT_FLOAT_EQ(wide.get(), 6.0f);
    EXPECT_EQ(engine.changes, (std::vector<const void*>{&narrow, &wide, &wide}));
}

TEST(ParameterVariantsTest, RampedSourcesReceiveEngineValuesWithoutAllocating) {
    ParameterTestOwner owner;
    wave::Environment env(64);
    wave::FloatParameterSource a(env, 0.0f), b(env, 0.0f);
    FloatParamPluginParameter hor(&owner, "XY Controller 1 Hor");
    hor.setTaper(squareTaper, squareRootTaper);
    hor.bind(&a);
    hor.bind(&b);
    {
        AllocationGuard guard;
        hor.applyValue(0.5f);
        EXPECT_EQ(guard.allocations(), 0u);
    }
    EXPECT_FLOAT_EQ(a.target(), 0.25f);
    EXPECT_FLOAT_EQ(b.target(), 0.25f);
    EXPECT_GT(a.ramp().glideLength(), 0);  // automatic glide: the move is not applied at once
}

}  // namespace
