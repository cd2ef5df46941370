#include <gtest/gtest.h>

#include <stdexcept>

#include "framework/IndexedPluginParameter.h"
#include "tests/framework/ParameterTestOwner.h"

namespace {

enum class Response { LP, HP, BP };

class IndexedPluginParameterTest : public ::testing::Test {
protected:
    ParameterTestOwner owner;
};

TEST_F(IndexedPluginParameterTest, NamesStartAtTheMinimumAndExactMatchesWin) {
    // The synthesizer's lists are shown and typed in the engine's tests; here the edges.
    IndexedPluginParameter<int> slope(&owner, "Filter 1 Slope");
    slope.declare(1, 3, 1);
    slope.setNames("12,24,48");
    EXPECT_FALSE(slope.isNumeric());
    EXPECT_THROW(slope.formatValue(4.0f), std::out_of_range);
    EXPECT_THROW(slope.formatValue(0.0f), std::out_of_range);
    EXPECT_EQ(parsed(slope, "2"), 2.0f);  // not a name: read as an index
    for (const char* text : {"4", "0", "x", ""}) expectRejected(slope, text);

    IndexedPluginParameter<int> p(&owner, "P");
    p.declare(0, 3, 0);
    p.setNames("on,ON,Off,");
    EXPECT_EQ(p.names().size(), 4u);  // split at every comma
    EXPECT_EQ(parsed(p, "ON"), 1.0f);
    EXPECT_EQ(parsed(p, "oN"), 0.0f);
    EXPECT_EQ(parsed(p, "OFF"), 2.0f);
    EXPECT_EQ(splitParameterNames("").size(), 1u);
}

TEST_F(IndexedPluginParameterTest, NormalisedValuesRoundAndSetValueNotifiesTheClampedIndex) {
    IndexedPluginParameter<int> p(&owner, "P");
    p.declare(-1, 2, 0);
    EXPECT_FLOAT_EQ(p.plainToNormalized(1.9f), 2.0f / 3.0f);  // the index is truncated
    // Steps of 1/3: the boundaries lie half way between the index points.
    const std::pair<float, float> cases[] = {{0.0f, -1.0f}, {0.16f, -1.0f}, {0.17f, 0.0f},
                                             {0.83f, 1.0f}, {0.84f, 2.0f},  {1.5f, 2.0f},
                                             {-0.5f, -1.0f}};
    for (auto [normalized, index] : cases) EXPECT_EQ(p.normalizedToPlain(normalized), index);
    IndexedPluginParameter<int> single(&owner, "Single");
    single.declare(4, 4, 4);
    EXPECT_EQ(single.plainToNormalized(4.0f), 0.0f);

    IndexedPluginParameter<Response> response(&owner, "Filter 1 Response");
    owner.changes.clear();
    response.declare(0, 2, Response::HP);  // declaring does not notify
    response.setValue(1.7f, 0);            // index 1: unchanged
    EXPECT_TRUE(owner.changes.empty());
    response.setValue(9.0f, 2);
    ASSERT_EQ(owner.changes.size(), 1u);
    EXPECT_EQ(owner.changes[0].value, 2.0f);
    EXPECT_EQ(owner.changes[0].flags, 2);
    EXPECT_EQ(response.value(), Response::BP);
    response.setValue(-3.0f, 0);
    EXPECT_EQ(response.value(), Response::LP);
}

TEST_F(IndexedPluginParameterTest, ValueMapDecidesRangeTextAndValue) {
    IndexedPluginParameter<int> voices(&owner, "Total Voices");
    voices.setValueMap({1, 2, 3, 4, 6, 8, 10, 12, 16, 20, 24, 32}, 0);
    voices.declare(0, 11, 4);
    voices.setValue(11.0f, 0);
    EXPECT_EQ(voices.value(), 32);
    EXPECT_EQ(voices.valueForIndex(40), 32);  // clamped to the map's ends
    EXPECT_EQ(voices.valueForIndex(-2), 1);
    // Typed numbers are mapped values, so text and value round-trip.
    for (float index = 0.0f; index <= 11.0f; ++index)
        EXPECT_EQ(parsed(voices, voices.formatValue(index)), index);

    // A map starting at index 2 shifts the index range; the declared range is kept aside.
    IndexedPluginParameter<int> shifted(&owner, "Shifted");
    shifted.setValueMap({10, 20, 30}, 2);
    shifted.declare(0, 7, 20);
    EXPECT_EQ(shifted.getMinimum(), 2.0f);
    EXPECT_EQ(shifted.getMaximum(), 4.0f);
    EXPECT_EQ(shifted.declaredMaximum(), 7);
    EXPECT_EQ(shifted.getValue(), 3.0f);
    EXPECT_FLOAT_EQ(shifted.plainToNormalized(3.0f), 0.5f);
    shifted.declare(0, 7, 25);  // not in the map: counts as the first index
    EXPECT_EQ(shifted.getValue(), 2.0f);
}

}  // namespace
