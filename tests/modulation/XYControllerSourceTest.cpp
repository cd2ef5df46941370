#include <gtest/gtest.h>

#include "framework/FloatParamPluginParameter.h"
#include "modulation/XYControllerSource.h"
#include "tests/framework/ParameterTestOwner.h"
#include "tests/wave/TestSources.h"

namespace {

// The lower halves of both axes reach the ramps unclamped, and the ramps settle on them.
TEST(XYControllerSource, AxesGlideToTheirParametersOverTheWholeRange) {
    wave::Environment env(wave::test::kBlock);
    ParameterTestOwner owner;
    FloatParamPluginParameter hor(&owner, "XY Controller 1 Hor");
    FloatParamPluginParameter ver(&owner, "XY Controller 1 Ver");
    hor.setRange(-1.0f, 1.0f, 0.0f);
    ver.setRange(-1.0f, 1.0f, 0.0f);
    XYControllerSource xy(env);
    xy.bind(hor, ver);
    hor.applyValue(-1.0f);
    ver.applyValue(-0.5f);
    const float* h = wave::test::pullChunk(env, xy.hor);
    EXPECT_GT(h[wave::test::kBlock - 1], -1.0f) << "glides";
    for (int i = 0; i < 60; ++i)
        wave::test::runChunk(env, wave::test::kBlock, [&] {
            h = xy.hor.pull(wave::test::kBlock, 0);
            xy.ver.pull(wave::test::kBlock, 0);
        });
    EXPECT_FLOAT_EQ(h[0], -1.0f);
    EXPECT_FLOAT_EQ(xy.ver.outputData()[0], -0.5f);
    EXPECT_TRUE(xy.hor.isConstant());
}

}  // namespace
