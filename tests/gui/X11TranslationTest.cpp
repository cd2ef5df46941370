#include <gtest/gtest.h>

#include "gui/x11/GlCapabilities.h"
#include "gui/x11/X11Input.h"

// Last: X.h's None macro would break gtest's and the toolkit's own None.
#include <X11/X.h>
#include <X11/keysym.h>
#undef None

namespace gui::x11 {
namespace {

TEST(X11TranslationTest, InputValuesMapToToolkitFlagsKeysAndText) {
    EXPECT_EQ(modifiersFromState(ShiftMask | Mod1Mask | ControlMask), 7u);
    EXPECT_EQ(modifiersFromState(Button1Mask | Button2Mask | Button3Mask), 8u | 32u | 16u);
    EXPECT_EQ(modifiersFromState(Mod4Mask | LockMask | Mod2Mask), 256u);  // Caps/Num Lock ignored
    EXPECT_EQ(buttonFlag(1) | buttonFlag(2) << 8 | buttonFlag(3) << 16, 8u | 32u << 8 | 16u << 16);
    EXPECT_EQ(buttonFlag(4), 0u);

    const struct {
        unsigned button;
        float x, y;
    } wheels[] = {{4, 0, 1}, {5, 0, -1}, {6, -1, 0}, {7, 1, 0}};
    for (const auto& w : wheels) {
        float x = 9, y = 9;
        EXPECT_TRUE(wheelFromButton(w.button, x, y));
        EXPECT_EQ(x, w.x);
        EXPECT_EQ(y, w.y);
    }
    float x = 0, y = 0;
    EXPECT_FALSE(wheelFromButton(1, x, y));

    EXPECT_EQ(keyFromKeysym(XK_KP_Enter), Key::Enter);
    EXPECT_EQ(keyFromKeysym(XK_ISO_Left_Tab), Key::Tab);
    EXPECT_EQ(keyFromKeysym(XK_KP_End), Key::End);
    EXPECT_EQ(keyFromKeysym(XK_a), Key::None);
    EXPECT_EQ(textFromKeysym(XK_a), "a");
    EXPECT_EQ(textFromKeysym(XK_eacute), "\xc3\xa9");
    EXPECT_EQ(textFromKeysym(0x10020ac), "\xe2\x82\xac");      // euro sign
    EXPECT_EQ(textFromKeysym(0x101f3b9), "\xf0\x9f\x8e\xb9");  // beyond the basic plane
    EXPECT_EQ(textFromKeysym(XK_F1), "");
}

TEST(X11TranslationTest, ScaleComesFromXftDpiInQuarters) {
    const struct {
        const char* resources;
        float scale;
    } cases[] = {{nullptr, 1.0f},
                 {"", 1.0f},
                 {"Xft.antialias:\t1\nXft.dpi:\t192\n", 2.0f},
                 {"Xft.dpi:\t120", 1.25f},
                 {"Xft.dpi: 130\n", 1.25f},
                 {"Xft.dpi:\t72\n", 1.0f},
                 {"Xft.dpi:\tlarge\n", 1.0f},
                 {"Xft.dpi:\t1000\n", 4.0f},
                 {"Xft.dpix:\t192\n", 1.0f}};
    for (const auto& c : cases)
        EXPECT_EQ(scaleFromResources(c.resources), c.scale) << (c.resources ? c.resources : "");
}

TEST(X11TranslationTest, SettingAndContextDecideTheBackEnd) {
    const AccelerationSetting off = AccelerationSetting::from(0);
    EXPECT_FALSE(off.openGL);
    const int rates[][2] = {{1, 60}, {2, 30}, {3, 20}, {4, 60}, {0x12, 30}, {0x23, 20}};
    for (const auto& r : rates) EXPECT_EQ(AccelerationSetting::from(r[0]).framesPerSecond, r[1]);
    EXPECT_TRUE(AccelerationSetting::from(0x11).allowMatrox);
    EXPECT_FALSE(AccelerationSetting::from(0x21).allowMatrox);

    const AccelerationSetting plain = AccelerationSetting::from(1),
                              mga = AccelerationSetting::from(17);
    const std::string npot = "GL_ARB_multitexture GL_ARB_texture_non_power_of_two";
    const std::string llvm = "llvmpipe (LLVM 15.0.6, 256 bits)", soft = "Gallium 0.4 on softpipe";
    const std::string swrast = "Software Rasterizer (swrast)",
                      noNpot = "no non-power-of-two textures";
    const struct {
        GlStrings gl;
        const AccelerationSetting& setting;
        bool forced;
        std::string refusal;
    } cases[] = {
        {{"4.5 (Compatibility Profile) Mesa", "AMD Radeon", "AMD", ""}, plain, false, ""},
        {{"1.2 Mesa", "AMD", "AMD", npot}, plain, false, "OpenGL version 1.2 Mesa is below 1.3"},
        {{"garbage", "x", "y", npot}, plain, false, "OpenGL version garbage is below 1.3"},
        {{"1.5", "Old", "Old", "GL_ARB_multitexture"}, plain, false, noNpot},
        {{"1.5", "Old", "Old", "GL_ARB_texture_non_power_of_two_x"}, plain, false, noNpot},
        {{"1.5", "Old", "Old", npot}, plain, false, ""},
        {{"2.1", "Old", "Old", ""}, plain, false, ""},
        {{"4.5", llvm, "Mesa", ""}, plain, false, "software rasteriser " + llvm},
        {{"4.5", llvm, "Mesa", ""}, plain, true, ""},
        {{"3.1", soft, "VMware", ""}, plain, false, "software rasteriser " + soft},
        {{"2.1", swrast, "Mesa", ""}, plain, false, "software rasteriser " + swrast},
        {{"2.1", "G550", "Matrox Graphics Inc.", ""}, plain, false, "Matrox adapter not enabled"},
        {{"2.1", "G550", "Matrox Graphics Inc.", ""}, mga, false, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(glRefusal(c.gl, c.setting, c.forced), c.refusal) << c.gl.renderer;
}

}  // namespace
}  // namespace gui::x11
