#include <gtest/gtest.h>

#include "gui/Animation.h"
#include "gui/Component.h"
#include "gui/OffscreenInterface.h"

namespace gui {
namespace {

TEST(AnimationTest, CubicsPassTheirPointsWithoutOvershoot) {
    const std::vector<float> x{0, 0.2f, 0.5f, 0.6f, 1}, y{0, 0.8f, 0.8f, 0.1f, 1};
    const Cubic c = Cubic::through(x, y);
    for (size_t i = 0; i < x.size(); ++i) EXPECT_FLOAT_EQ(c(x[i]), y[i]);
    // Monotone between points: the flat piece stays flat, nothing leaves [0, 1].
    for (float t = 0; t <= 1; t += 0.01f) {
        EXPECT_GE(c(t), -1e-6f);
        EXPECT_LE(c(t), 1 + 1e-6f);
        if (t > 0.2f && t < 0.5f) {
            EXPECT_NEAR(c(t), 0.8f, 1e-6f);
        }
    }
    EXPECT_FLOAT_EQ(c(-1), 0);
    EXPECT_FLOAT_EQ(c(2), 1);
    // The standard easings: smoothstep and a linear ramp.
    for (float t : {0.0f, 0.25f, 0.5f, 0.75f, 1.0f}) {
        EXPECT_FLOAT_EQ(Cubic::easeInOut()(t), t * t * (3 - 2 * t));
        EXPECT_FLOAT_EQ(Cubic::linear()(t), t);
    }
}

TEST(AnimationTest, AnimatorRunsReplacesAndForgets) {
    RootControl root;
    root.setBounds({0, 0, 100, 100});
    OffscreenInterface ui(root);
    ManualClock clock;
    Animator animator(ui, clock);
    auto& c = root.add<AnimatedControl>();

    // 200 ms at 10 ticks a second: half-way after one tick, done after two.
    int finished = 0;
    auto fade = std::make_unique<FadeAnimation>(c, 1.0f, 0.0f);
    fade->onFinished = [&] { ++finished; };
    animator.start(std::move(fade));
    const float expected[] = {0.5f, 0.0f};
    for (float e : expected) {
        clock.advance(100);
        ui.advance(100);
        EXPECT_FLOAT_EQ(c.opacity(), e);
    }
    EXPECT_EQ(finished, 1);
    EXPECT_FALSE(animator.running());

    // A second animation of the same object ends the first at its end value.
    animator.start(std::make_unique<FadeAnimation>(c, 0.0f, 1.0f, 1000));
    clock.advance(100);
    ui.advance(100);
    auto again = std::make_unique<FadeAnimation>(c, 0.5f, 0.2f);
    animator.start(std::move(again));
    EXPECT_FLOAT_EQ(c.opacity(), 1.0f);

    // Bounds and values at 60 ticks a second.
    animator.setRate(60);
    Component& box = root.add<Component>();
    box.setBounds({0, 0, 10, 10});
    float v = 0;
    animator.start(std::make_unique<ControlAnimation>(box, nullptr, Rect{0, 0, 10, 10},
                                                      Rect{40, 20, 30, 10}, 300));
    animator.start(std::make_unique<ValueAnimation>(
        nullptr, 0.0f, 8.0f, [&](float x) { v = x; }, 300));
    clock.advance(150);
    ui.advance(150);
    EXPECT_EQ(box.bounds(), (Rect{20, 10, 20, 10}));
    EXPECT_FLOAT_EQ(v, 4.0f);

    // The control goes away mid-fade: its animation goes with it, the others run on.
    root.release(&c);
    EXPECT_TRUE(animator.running());
    clock.advance(400);
    ui.advance(400);
    EXPECT_FALSE(animator.running());
    EXPECT_FLOAT_EQ(v, 8.0f);

    // When the interface goes, the notifier drops everything.
    animator.start(std::make_unique<ValueAnimation>(nullptr, 0.0f, 1.0f, [&](float x) { v = x; }));
    { Animator::UIDeleteNotifier notifier(animator); }
    EXPECT_FALSE(animator.running());
}

}  // namespace
}  // namespace gui
