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

TEST_F(IndexedPluginParameterTest, NamesStartAtTheMinimum) {
    IndexedPluginParameter<int> slope(&owner, "Filter 1 Slope");
    slope.declare(1, 3, 1);
    slope.setNames("12,24,48");
    EXPECT_EQ(slope.kind(), AbstractPluginParameter::kIndexed);
    EXPECT_FALSE(slope.isNumeric());
    EXPECT_EQ(slope.formatValue(1.0f), "12");
    EXPECT_EQ(slope.formatValue(3.0f), "48");
    EXPECT_THROW(slope.formatValue(4.0f), std::out_of_range);
    EXPECT_THROW(slope.formatValue(0.0f), std::out_of_range);

    float plain = 0.0f;
    EXPECT_TRUE(slope.parseText("24", &plain));
    EXPECT_EQ(plain, 2.0f);
    EXPECT_TRUE(slope.parseText("2", &plain));  // not a name: read as an index
    EXPECT_EQ(plain, 2.0f);
    EXPECT_TRUE(slope.parseText("48", &plain));
    EXPECT_EQ(plain, 3.0f);
    for (const char* rejected : {"4", "0", "x", ""}) {
        plain = -1.0f;
        EXPECT_FALSE(slope.parseText(rejected, &plain)) << rejected;
        EXPECT_EQ(plain, 1.0f) << rejected;  // the current value
    }
}

TEST_F(IndexedPluginParameterTest, ExactNameMatchesWinOverCaseInsensitiveOnes) {
    IndexedPluginParameter<int> p(&owner, "P");
    p.declare(0, 3, 0);
    p.setNames("on,ON,Off,");
    EXPECT_EQ(p.names().size(), 4u);  // split at every comma
    EXPECT_EQ(p.names()[3], "");
    float plain = 0.0f;
    EXPECT_TRUE(p.parseText("ON", &plain));
    EXPECT_EQ(plain, 1.0f);
    EXPECT_TRUE(p.parseText("oN", &plain));
    EXPECT_EQ(plain, 0.0f);
    EXPECT_TRUE(p.parseText("OFF", &plain));
    EXPECT_EQ(plain, 2.0f);
    EXPECT_EQ(splitParameterNames("a,,b").size(), 3u);
    EXPECT_EQ(splitParameterNames("").size(), 1u);
}

TEST_F(IndexedPluginParameterTest, NormalisedValuesRoundToTheNearestIndex) {
    IndexedPluginParameter<int> p(&owner, "P");
    p.declare(-1, 2, 0);
    EXPECT_TRUE(p.isNumeric());
    EXPECT_FLOAT_EQ(p.plainToNormalized(-1.0f), 0.0f);
    EXPECT_FLOAT_EQ(p.plainToNormalized(1.0f), 2.0f / 3.0f);
    EXPECT_FLOAT_EQ(p.plainToNormalized(1.9f), 2.0f / 3.0f);  // the index is truncated
    for (int i = -1; i <= 2; ++i) {
        EXPECT_EQ(p.normalizedToPlain(p.plainToNormalized(static_cast<float>(i))), i);
    }
    // Steps of 1/3: the boundaries lie half way between the index points.
    EXPECT_EQ(p.normalizedToPlain(0.16f), -1.0f);
    EXPECT_EQ(p.normalizedToPlain(0.17f), 0.0f);
    EXPECT_EQ(p.normalizedToPlain(0.83f), 1.0f);
    EXPECT_EQ(p.normalizedToPlain(0.84f), 2.0f);
    EXPECT_EQ(p.normalizedToPlain(1.5f), 2.0f);
    EXPECT_EQ(p.normalizedToPlain(-0.5f), -1.0f);
    EXPECT_EQ(p.formatValue(-1.0f), "-1");

    IndexedPluginParameter<int> single(&owner, "Single");
    single.declare(4, 4, 4);
    EXPECT_EQ(single.plainToNormalized(4.0f), 0.0f);
    EXPECT_EQ(single.normalizedToPlain(0.7f), 4.0f);
}

TEST_F(IndexedPluginParameterTest, SetValueNotifiesWithTheClampedIndex) {
    IndexedPluginParameter<Response> p(&owner, "Filter 1 Response");
    p.declare(0, 2, Response::HP);
    EXPECT_TRUE(owner.changes.empty());  // declaring does not notify
    EXPECT_EQ(p.getValue(), 1.0f);
    EXPECT_EQ(p.getDefault(), 1.0f);

    p.setValue(1.7f, 0);  // index 1: unchanged
    EXPECT_TRUE(owner.changes.empty());
    p.setValue(9.0f, 2);
    ASSERT_EQ(owner.changes.size(), 1u);
    EXPECT_EQ(owner.changes[0].id, p.id());
    EXPECT_EQ(owner.changes[0].value, 2.0f);
    EXPECT_EQ(owner.changes[0].flags, 2);
    EXPECT_EQ(p.value(), Response::BP);
    p.setValue(-3.0f, 0);
    EXPECT_EQ(p.value(), Response::LP);
    EXPECT_EQ(owner.changes.size(), 2u);
}

TEST_F(IndexedPluginParameterTest, ValueMapDecidesRangeTextAndValue) {
    IndexedPluginParameter<int> voices(&owner, "Total Voices");
    voices.setValueMap({1, 2, 3, 4, 6, 8, 10, 12, 16, 20, 24, 32}, 0);
    voices.declare(0, 11, 4);
    EXPECT_EQ(voices.getMinimum(), 0.0f);
    EXPECT_EQ(voices.getMaximum(), 11.0f);
    EXPECT_EQ(voices.getValue(), 3.0f);  // the index at which 4 stands
    EXPECT_EQ(voices.getDefault(), 3.0f);
    EXPECT_EQ(voices.formatValue(4.0f), "6");
    EXPECT_EQ(voices.formatValue(11.0f), "32");

    voices.setValue(11.0f, 0);
    EXPECT_EQ(voices.value(), 32);
    ASSERT_EQ(owner.changes.size(), 1u);
    EXPECT_EQ(owner.changes[0].value, 11.0f);
    EXPECT_EQ(voices.valueForIndex(40), 32);  // clamped to the map's ends
    EXPECT_EQ(voices.valueForIndex(-2), 1);

    // Typed numbers are mapped values, so text and value round-trip.
    float plain = 0.0f;
    EXPECT_TRUE(voices.parseText("6", &plain));
    EXPECT_EQ(plain, 4.0f);
    EXPECT_TRUE(voices.parseText(voices.formatValue(7.0f), &plain));
    EXPECT_EQ(plain, 7.0f);
    EXPECT_FALSE(voices.parseText("5", &plain));
    EXPECT_EQ(plain, 11.0f);

    // A map starting at index 2 shifts the index range; the declared range is kept aside.
    IndexedPluginParameter<int> shifted(&owner, "Shifted");
    shifted.setValueMap({10, 20, 30}, 2);
    shifted.declare(0, 7, 20);
    EXPECT_EQ(shifted.getMinimum(), 2.0f);
    EXPECT_EQ(shifted.getMaximum(), 4.0f);
    EXPECT_EQ(shifted.declaredMinimum(), 0);
    EXPECT_EQ(shifted.declaredMaximum(), 7);
    EXPECT_EQ(shifted.getValue(), 3.0f);
    EXPECT_FLOAT_EQ(shifted.plainToNormalized(3.0f), 0.5f);
    shifted.declare(0, 7, 25);  // not in the map: counts as the first index
    EXPECT_EQ(shifted.getValue(), 2.0f);
}

TEST_F(IndexedPluginParameterTest, RangeBoundariesSelectASubRangeByKey) {
    IndexedPluginParameter<int> p(&owner, "P");
    p.declare(0, 10, 0);
    // Without pairs the host conversions are the plain ones.
    float plain = -1.0f;
    EXPECT_FLOAT_EQ(p.plainToHostNormalized(5.0f, 1), 0.5f);
    EXPECT_TRUE(p.hostNormalizedToPlain(0.5f, 1, &plain));
    EXPECT_EQ(plain, 5.0f);

    p.setRangeBoundaries({{3, 1}, {7, 2}});
    EXPECT_EQ(p.lookupRangeBoundary(1), 3);
    EXPECT_EQ(p.lookupRangeBoundary(2), 7);
    EXPECT_EQ(p.lookupRangeBoundary(5), -1);

    // Key 0 (and 1): [0, 3], the first pair matches.
    EXPECT_FLOAT_EQ(p.plainToHostNormalized(2.0f, 0), 2.0f / 3.0f);
    EXPECT_FLOAT_EQ(p.plainToHostNormalized(3.0f, 1), 1.0f);
    EXPECT_EQ(p.plainToHostNormalized(4.0f, 0), 0.0f);
    EXPECT_TRUE(p.hostNormalizedToPlain(0.0f, 0, &plain));
    EXPECT_EQ(plain, 0.0f);
    EXPECT_TRUE(p.hostNormalizedToPlain(1.0f, 1, &plain));
    EXPECT_EQ(plain, 3.0f);

    // Key 2: [3, 7]; its lower end belongs to the previous sub-range.
    EXPECT_FLOAT_EQ(p.plainToHostNormalized(5.0f, 2), 0.5f);
    EXPECT_EQ(p.plainToHostNormalized(3.0f, 2), 0.0f);
    EXPECT_EQ(p.plainToHostNormalized(8.0f, 2), 0.0f);
    EXPECT_TRUE(p.hostNormalizedToPlain(0.5f, 2, &plain));
    EXPECT_EQ(plain, 5.0f);
    EXPECT_FALSE(p.hostNormalizedToPlain(0.1f, 2, &plain));
    EXPECT_EQ(plain, 3.0f);

    // A key past every pair: from the last boundary to the maximum.
    EXPECT_FLOAT_EQ(p.plainToHostNormalized(10.0f, 5), 1.0f);
    EXPECT_FLOAT_EQ(p.plainToHostNormalized(8.0f, 5), 1.0f / 3.0f);
    EXPECT_TRUE(p.hostNormalizedToPlain(0.4f, 5, &plain));
    EXPECT_EQ(plain, 8.0f);
}

}  // namespace
