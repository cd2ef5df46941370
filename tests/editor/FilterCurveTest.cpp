#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "dsp/MultiDesignFilter.h"
#include "editor/FilterCurve.h"
#include "editor/FilterSection.h"
#include "editor/InstanceTabs.h"
#include "engine/VornEngine.h"
#include "tests/dsp/FilterResponses.h"
#include "tests/editor/EditorRig.h"

namespace {

// The curve against the gains measured from the running filters (impulse responses at 48 kHz,
// cut-off 1 kHz): every characteristic, response, slope, at peak 0 and 0.35.
TEST(FilterCurveTest, MatchesTheMeasuredFilters) {
    VornPlugin plugin;  // loads the characteristics
    const auto& styles = VornPlugin::globals().filterStyles;
    const double frequencies[] = {250.0, 1000.0, 2000.0, 8000.0};
    const float peaks[] = {0.0f, 0.35f};
    // Where the sound is loud the curve is exact; deep in the stop band the measurement meets the
    // saturators' small nonlinearity, and below -40 dB its floor.
    double worst[2] = {0.0, 0.0};
    for (int c = 0; c <= MultiDesignFilter::kCleanIndex; ++c) {
        for (int response = 0; response < 3; ++response) {
            const double* row = kFilterResponses[3 * c + response];
            for (int slope = 0; slope < 3; ++slope) {
                for (int p = 0; p < 2; ++p) {
                    const FilterCurve::Settings s{static_cast<float>(std::log2(1000.0)), peaks[p],
                                                  c, response, 1 << slope};
                    const DesignFilter::Style* style =
                        c < MultiDesignFilter::kCleanIndex ? &styles[size_t(c)] : nullptr;
                    for (int k = 0; k < 4; ++k) {
                        const double measured = row[(slope * 2 + p) * 4 + k];
                        if (measured < -40.0) continue;
                        const double shown = FilterCurve::gainDb(s, style, frequencies[k], 48000);
                        const int band = measured >= -12.0 ? 0 : 1;
                        worst[band] = std::max(worst[band], std::abs(shown - measured));
                    }
                }
            }
        }
    }
    EXPECT_LT(worst[0], 0.2);
    EXPECT_LT(worst[1], 0.5);
}

// The open filter section with Filter 2 shown and set from outside the editor.
struct Section : EditorRig {
    Section() {
        editor.expand(VornInterface::kFilters);
        static_cast<FilterSection&>(editor.section(VornInterface::kFilters)).tabs().select(1);
        for (const auto& [name, plain] : {std::pair{"Filter 2 Freq", 0.5f},
                                          {"Filter 2 Peak", 0.35f},
                                          {"Filter 2 Characteristic", 10.0f},
                                          {"Filter 2 Response", 1.0f},
                                          {"Filter 2 Slope", 3.0f}})
            set(name, plain);
    }
    // The one curve on show.
    FilterCurve* curve() {
        FilterCurve* shown = nullptr;
        std::function<void(gui::Component&)> find = [&](gui::Component& c) {
            if (!c.visible()) return;
            if (auto* f = dynamic_cast<FilterCurve*>(&c)) shown = f;
            for (auto& child : c.children()) find(*child);
        };
        find(editor.section(VornInterface::kFilters).full());
        return shown;
    }
};

// The curve reads its filter's parameters, also when they change from elsewhere (automation,
// presets); axes are logarithmic in frequency, linear in dB.
TEST(FilterCurveTest, ShowsItsFilterAndFollowsChanges) {
    Section e;
    FilterCurve* curve = e.curve();
    ASSERT_NE(curve, nullptr);
    const FilterCurve::Settings s = curve->settings();
    EXPECT_NEAR(s.frequency, 2.2666f + 0.5f * (16.2064f - 2.2666f), 1e-3f);
    EXPECT_NEAR(s.peak, 0.35f, 1e-4f);
    EXPECT_EQ(s.characteristic, 10);
    EXPECT_EQ(s.response, 1);
    EXPECT_EQ(s.sections, 4);

    // From 20 Hz to 20 kHz, 632 Hz (their geometric mean) in the middle; 0 dB two thirds up.
    const std::vector<float>& xy = curve->points();
    ASSERT_EQ(xy.size(), size_t(2 * (FilterCurve::kPoints + 1)));
    EXPECT_NEAR(FilterCurve::xOf(632.456), 0.5f, 1e-4f);
    EXPECT_FLOAT_EQ(FilterCurve::yOf(0.0), 48.0f / 72.0f);
    // A high-pass at about 600 Hz: at 20 kHz the curve is at 0 dB, at 20 Hz below the picture.
    EXPECT_NEAR(xy.back(), FilterCurve::yOf(0.0), 0.01f);
    EXPECT_LT(xy[1], FilterCurve::yOf(-48.0));
    e.set("Filter 2 Response", 0);
    EXPECT_NEAR(curve->points()[1], FilterCurve::yOf(0.0), 0.01f);
    EXPECT_LT(curve->points().back(), FilterCurve::yOf(-48.0));

    // Spread by two octaves: the curve's points are the left channel's, its cut-off two octaves
    // up.
    e.set("Filter 2 Pan", 2.0f);
    EXPECT_NEAR(curve->settings().spread, 2.0f, 1e-3f);
    const FilterCurve::Settings left{s.frequency + 2.0f, s.peak, 10, 0, 4, 0.0f};
    const size_t at = 2 * 120 + 1;  // about 3.6 kHz
    const double hz = FilterCurve::kLowestHz * std::pow(1000.0, 120.0 / FilterCurve::kPoints);
    EXPECT_NEAR(curve->points()[at], FilterCurve::yOf(FilterCurve::gainDb(left, nullptr, hz)),
                1e-4f);
}

}  // namespace
