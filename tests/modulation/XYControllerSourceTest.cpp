#include <gtest/gtest.h>

#include "wave/Environment.h"
#include "framework/FloatParamPluginParameter.h"
#include "modulation/XYControllerSource.h"
#include "tests/framework/ParameterTestOwner.h"

namespace {

constexpr uint32_t kBlock = 32;

TEST(XYControllerSource, AxesGlideToTheirParametersOverTheWholeRange) {
    wave::Environment env(kBlock);
    ParameterTestOwner owner;
    FloatParamPluginParameter hor(&owner, "XY Controller 1 Hor");
    FloatParamPluginParameter ver(&owner, "XY Controller 1 Ver");
    hor.setRange(-1.0f, 1.0f, 0.0f);
    ver.setRange(-1.0f, 1.0f, 0.0f);
    XYControllerSource xy(env);
    xy.bind(hor, ver);

    hor.applyValue(-1.0f);
    ver.applyValue(-0.5f);
    EXPECT_FLOAT_EQ(xy.hor.target(), -1.0f);
    EXPECT_FLOAT_EQ(xy.ver.target(), -0.5f);

    // Both glide (automatic times of 20 and 23.6 ms), then hold.
    const float* h = nullptr;
    const float* v = nullptr;
    for (int i = 0; i < 60; ++i) {
        env.beginChunk();
        h = xy.hor.pull(kBlock, 0);
        v = xy.ver.pull(kBlock, 0);
        env.finishChunk(kBlock, false);
        if (i == 0) {
            EXPECT_LT(h[kBlock - 1], 0.0f);
            EXPECT_GT(h[kBlock - 1], -1.0f);
        }
    }
    EXPECT_FLOAT_EQ(h[0], -1.0f);
    EXPECT_FLOAT_EQ(v[kBlock - 1], -0.5f);
    EXPECT_TRUE(xy.hor.isConstant());
}

}  // namespace
