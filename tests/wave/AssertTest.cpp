#include <gtest/gtest.h>

#include "wave/Assert.h"

namespace wave {
namespace {

// Live in sanitizer builds: a false condition names its place and text, then aborts. Elsewhere
// the condition must not even run, so that an assertion can never change what a release does.
TEST(Assert, LiveOnlyWhereEnabledAndNeverEvaluatedElsewhere) {
    int evaluated = 0;
    const auto check = [&](bool result) {
        ++evaluated;
        return result;
    };
    VORN_ASSERT(check(true));
#if defined(VORN_ASSERTIONS) && VORN_ASSERTIONS
    EXPECT_EQ(evaluated, 1);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(VORN_ASSERT(check(1 + 1 == 3)),
                 "AssertTest\\.cpp:[0-9]+: assertion failed: check\\(1 \\+ 1 == 3\\)");
#else
    EXPECT_EQ(evaluated, 0);
    VORN_ASSERT(check(false));
    EXPECT_EQ(evaluated, 0);
#endif
}

}  // namespace
}  // namespace wave
