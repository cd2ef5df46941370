#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "dsp/CurveSet.h"
#include "editor/EnvelopeSection.h"
#include "editor/FollowerSection.h"
#include "editor/InstanceSwitch.h"
#include "editor/MidiSourceSection.h"
#include "editor/StepEditor.h"
#include "editor/XlfoSection.h"
#include "framework/FloatPluginParameter.h"
#include "framework/UndoHistory.h"
#include "tests/editor/EditorRig.h"

namespace {

struct Editor : EditorRig {
    explicit Editor(int section) {
        editor.setLayout(0);
        editor.expand(section);
        ui.render();
    }
    float value(const std::string& name) { return parameter(name).getValue(); }
    float engine(const std::string& name) {
        auto& p = dynamic_cast<FloatPluginParameter&>(parameter(name));
        return p.engineValue(p.getValue());
    }
};

std::string stepName(int xlfo, int step) {
    return "XLFO " + std::to_string(xlfo) + " Step " + std::to_string(step) + " Value";
}

// The curve's level (0..1 up) at the point nearest x.
float levelNear(const gui::Curve& c, float x) {
    const auto& xy = c.points();
    size_t best = 0;
    for (size_t i = 0; i < xy.size(); i += 2)
        if (std::abs(xy[i] - x) < std::abs(xy[best] - x)) best = i;
    return xy[best + 1];
}

TEST(ModulationSectionsTest, StepStrokeDrawsTheStepsAsOneAction) {
    Editor e(VornInterface::kXlfos);
    auto& section = dynamic_cast<XlfoSection&>(e.editor.section(VornInterface::kXlfos));
    section.picker().pick(2);
    e.ui.render();
    StepEditor& steps = section.stepEditor(2);
    ASSERT_TRUE(steps.visible() && steps.parent()->visible());
    const gui::Rect a = steps.barArea();
    const gui::Point origin = steps.toRoot({a.x, a.y});
    auto centreOf = [&](int step) { return origin.x + (2 * step + 1) * a.width / 32; };
    const int undoBefore = e.plugin.undoHistory().undoCount();

    // Top of step 2, then straight to the bottom of step 6: steps 3..5 fill the line between.
    const uint32_t left = gui::modifier::kLeftButton;
    e.editor.mousePressed({{centreOf(1), origin.y}, left, 1000});
    e.editor.mouseMoved({{centreOf(5), origin.y + a.height}, left, 1020});
    e.editor.mouseMoved({{centreOf(5), origin.y + a.height + 30}, left, 1040});
    e.editor.mouseReleased({{centreOf(5), origin.y + a.height + 30}, 0, 1060});

    const float expected[] = {0, 1, 0.5f, 0, -0.5f, -1, 0};
    for (int k = 0; k < 7; ++k) EXPECT_EQ(e.value(stepName(3, k + 1)), expected[k]) << k;
    EXPECT_EQ(e.plugin.undoHistory().undoCount(), undoBefore + 1);
    for (int k = 2; k <= 6; ++k) {
        const std::string id = std::to_string(e.editor.parameterId(stepName(3, k)));
        EXPECT_NE(e.host.log.find("b" + id + " "), std::string::npos) << k;
        EXPECT_NE(e.host.log.find("e" + id + " "), std::string::npos) << k;
    }
    // The step strip follows the last step touched, then the step under the hovering mouse.
    EXPECT_EQ(steps.selectedStep(), 5);
    e.editor.mouseMoved({{centreOf(9), origin.y + 10}, 0, 1100});
    EXPECT_EQ(steps.selectedStep(), 9);

    // The drawn output covers the active steps only and glides where the engine glides: over
    // the last half of step 2 with a step glide of 0.5, linearly into step 3's value.
    e.set("Num Active XLFO 3 Steps", 4);
    e.set("XLFO 3 Step 2 Glide", 0.5f);
    const std::vector<float> curve = steps.outputCurve();
    const float barWidth = a.width / 16.0f;
    EXPECT_NEAR(curve[curve.size() - 2], a.x + 4 * barWidth, 1e-3f);
    auto outputAt = [&](float x) {
        for (size_t i = 2; i < curve.size(); i += 2)
            if (curve[i] >= x && curve[i - 2] <= x && curve[i] > curve[i - 2])
                return curve[i - 1] + (curve[i + 1] - curve[i - 1]) * (x - curve[i - 2]) /
                                          (curve[i] - curve[i - 2]);
        return NAN;
    };
    EXPECT_NEAR(outputAt(a.x + 1.4f * barWidth), 1.0f, 1e-5f);
    EXPECT_NEAR(outputAt(a.x + 1.75f * barWidth), 0.75f, 1e-5f);
    // Without step or global glide a step holds its value to its end.
    EXPECT_NEAR(outputAt(a.x + 2.95f * barWidth), 0.5f, 1e-5f);

    e.editor.undo();
    for (int k = 2; k <= 6; ++k) EXPECT_EQ(e.value(stepName(3, k)), 0.0f) << k;
    // Units beyond the active count are faded; the count follows changes from outside.
    e.set("Num Active XLFOs", 3);
    EXPECT_EQ(section.picker().activeCount(), 3);
}

TEST(ModulationSectionsTest, EnvelopePictureFollowsTimesLevelsAndEngineCurves) {
    Editor e(VornInterface::kEnvelopes);
    auto& section = dynamic_cast<EnvelopeSection&>(e.editor.section(VornInterface::kEnvelopes));
    section.picker().pick(1);
    e.set("EG 2 Delay", 0.3f);
    e.set("EG 2 Attack", 0.5f);
    e.set("EG 2 Decay", 0.7f);
    e.set("EG 2 Hold", 0.2f);
    e.set("EG 2 Release", 0.6f);
    e.set("EG 2 Sustain", 0.6f);
    const EnvelopeDisplay& d = section.display(1);
    const auto& ends = d.stageEnds();
    const float seconds[] = {e.engine("EG 2 Delay"), e.engine("EG 2 Attack"),
                             e.engine("EG 2 Decay"), 0,
                             e.engine("EG 2 Hold"),  e.engine("EG 2 Release")};
    ASSERT_GT(seconds[1], 0.01f);
    // Stage widths go with the square roots of the engine's times; sustain has a fixed share.
    const float unit = ends[EnvelopeDisplay::kAttack] - ends[EnvelopeDisplay::kDelay];
    for (int s : {EnvelopeDisplay::kDelay, EnvelopeDisplay::kDecay, EnvelopeDisplay::kHold,
                  EnvelopeDisplay::kRelease}) {
        const float width =
            ends[static_cast<size_t>(s)] - (s ? ends[static_cast<size_t>(s - 1)] : 0);
        EXPECT_NEAR(width / unit, std::sqrt(seconds[s] / seconds[1]), 1e-4f) << s;
    }
    EXPECT_NEAR(ends[EnvelopeDisplay::kSustain] - ends[EnvelopeDisplay::kDecay],
                EnvelopeDisplay::kSustainWidth, 1e-6f);

    const float sustain = e.engine("EG 2 Sustain");
    const CurveSet engineCurves;
    auto level = [&](float x) { return d.levelAt(levelNear(d, x)); };
    const float midAttack = 0.5f * (ends[EnvelopeDisplay::kDelay] + ends[EnvelopeDisplay::kAttack]);
    EXPECT_NEAR(level(midAttack), engineCurves.attack()(0.5f), 2e-3f);
    EXPECT_NEAR(level(ends[EnvelopeDisplay::kAttack]), 1.0f, 1e-4f);
    EXPECT_NEAR(level(ends[EnvelopeDisplay::kDecay]), sustain, 1e-3f);
    EXPECT_NEAR(level(ends[EnvelopeDisplay::kHold]), sustain, 1e-4f);
    const float midRelease =
        0.5f * (ends[EnvelopeDisplay::kHold] + ends[EnvelopeDisplay::kRelease]);
    EXPECT_NEAR(level(midRelease), sustain * engineCurves.release()(0.5f), 2e-3f);
    EXPECT_NEAR(level(ends[EnvelopeDisplay::kRelease]), 0.0f, 1e-3f);

    // Neutral Sustain: the sustain outputs 0, the release ends at -sustain.
    e.set("EG 2 Range", 1);
    EXPECT_NEAR(level(ends[EnvelopeDisplay::kAttack]), 1 - sustain, 1e-4f);
    EXPECT_NEAR(level(ends[EnvelopeDisplay::kHold]), 0.0f, 1e-4f);
    EXPECT_NEAR(level(ends[EnvelopeDisplay::kRelease]), -sustain, 1e-3f);
}

TEST(ModulationSectionsTest, FollowerAndResponsePicturesFollowTheDesign) {
    Editor e(VornInterface::kFollowers);
    e.set("EF 3 Attack", 0.5f);
    e.set("EF 3 Release", 0.5f);
    auto& followers = dynamic_cast<FollowerSection&>(e.editor.section(VornInterface::kFollowers));
    const FollowerDisplay& f = followers.display(2);
    const float attack = e.engine("EF 3 Attack"), release = e.engine("EF 3 Release");
    ASSERT_LT(attack, FollowerDisplay::kBurstSeconds);
    // 90 % of each move is done after its time.
    EXPECT_NEAR(f.outputAt(attack), 0.9f, 1e-4f);
    const float top = f.outputAt(FollowerDisplay::kBurstSeconds);
    EXPECT_NEAR(f.outputAt(FollowerDisplay::kBurstSeconds + release), 0.1f * top, 1e-4f);

    e.editor.expand(VornInterface::kMidiSources);
    e.ui.render();
    auto& sources = dynamic_cast<MidiSourceSection&>(e.editor.section(VornInterface::kMidiSources));
    // Response at input 0.5 for Linear, Exp, Log, Sqr, Sqrt, Sine.
    const float half[] = {0.5f,
                          std::pow(10.0f, -0.5f * 36 / 20),
                          std::log(6.0f) / std::log(11.0f),
                          0.25f,
                          std::sqrt(0.5f),
                          0.5f};
    for (int curve = 0; curve < 6; ++curve) {
        e.set("MIDI Source 7 Response Curve", static_cast<float>(curve));
        const auto& xy = sources.display(6).points();
        const size_t mid = ResponseDisplay::kPoints;  // the pair at x = 0.5
        ASSERT_FLOAT_EQ(xy[mid], 0.5f);
        EXPECT_NEAR(xy[mid + 1], half[curve], 1e-4f) << curve;
    }
}

}  // namespace
