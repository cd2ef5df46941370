#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <vector>

#include "tests/dsp/FilterResponses.h"
#include "tests/dsp/FilterTestRig.h"

namespace {

using namespace filtertest;

// Gains of every characteristic, response and slope at two peaks, a few frequencies around a
// 1 kHz cut-off, against the golden table FilterResponses.h. With VORN_REGENERATE_GOLDEN naming
// that file the test rewrites it from the present code instead (then rebuild).
constexpr double kRate = 48000.0;
constexpr double kCutoff = 1000.0;
constexpr float kPeaks[] = {0.0f, 0.35f};
const std::vector<double> kFrequencies = {250.0, 1000.0, 2000.0, 8000.0};
constexpr const char* kResponses[] = {"LP", "HP", "BP"};
constexpr int kSlopes = 3;
constexpr int kLines = 3 * (MultiDesignFilter::kCleanIndex + 1);
constexpr double kTolerance = 0.01;  // dB
// Float rounding noise, some 140 dB below the input, moves the deepest gains further.
constexpr double kDeepGain = -70.0;
constexpr double kDeepTolerance = 0.05;
static_assert(std::size(kFilterResponses) == kLines);
static_assert(std::size(kFilterResponses[0]) == 24);  // 3 slopes, 2 peaks, 4 frequencies

// One line of the table: for slope 12, 24 and 48, for each peak, the gain at each frequency.
std::vector<double> measureLine(int characteristic, int response) {
    Rig rig(1, kRate);
    std::vector<double> line;
    for (int slope = GenericFilter::kSlope12; slope <= GenericFilter::kSlope48; ++slope) {
        for (const float peak : kPeaks) {
            rig.configure(characteristic, response, slope);
            rig.set(0, kCutoff, peak);
            const std::vector<double> gains = rig.response(kFrequencies);
            line.insert(line.end(), gains.begin(), gains.end());
        }
    }
    return line;
}

// Index into a line.
size_t at(int slope, int peak, int frequency) {
    return (static_cast<size_t>(slope) * std::size(kPeaks) + peak) * kFrequencies.size() +
           frequency;
}

void writeTable(const char* file, const std::vector<std::vector<double>>& measured) {
    std::ofstream out(file);
    ASSERT_TRUE(out) << file;
    out << "#pragma once\n\n"
           "// Written by FilterResponseTest with VORN_REGENERATE_GOLDEN: gains in dB at\n"
           "// 48 kHz, cut-off 1 kHz. A row per characteristic and response (LP, HP, BP); for\n"
           "// slope 12, 24, 48, each for peak 0 and 0.35: at 250, 1000, 2000 and 8000 Hz.\n"
           "// clang-format off\n"
           "constexpr double kFilterResponses[][24] = {\n"
        << std::fixed << std::setprecision(3);
    for (int k = 0; k < kLines; ++k) {
        out << "{";
        for (size_t v = 0; v < measured[k].size(); ++v)
            out << (v ? ", " : "") << measured[k][v] + 0.0;
        out << "},  // " << k / 3 << " " << kResponses[k % 3] << "\n";
    }
    out << "};\n// clang-format on\n";
}

TEST(FilterResponseTest, EveryCharacteristicResponseAndSlopeMatchesTheGoldenTable) {
    std::vector<std::vector<double>> measured;
    for (int c = 0; c <= MultiDesignFilter::kCleanIndex; ++c) {
        for (int r = 0; r < 3; ++r) measured.push_back(measureLine(c, r));
    }
    if (const char* file = std::getenv("VORN_REGENERATE_GOLDEN")) {
        writeTable(file, measured);
        GTEST_SKIP() << "rewrote " << file;
    }
    for (int k = 0; k < kLines; ++k) {
        for (size_t v = 0; v < measured[k].size(); ++v) {
            const double golden = kFilterResponses[k][v];
            EXPECT_NEAR(measured[k][v], golden, golden < kDeepGain ? kDeepTolerance : kTolerance)
                << "characteristic " << k / 3 << " " << kResponses[k % 3] << " slope "
                << 12 * (1 << v / 8) << " peak " << kPeaks[v / 4 % 2] << " at "
                << kFrequencies[v % 4] << " Hz";
        }
    }

    // Values the design fixes, so that a rewritten table is held to them too. "Clean" is a
    // Butterworth cascade: -3 dB per section at the cut-off, unity at the centre of the band.
    const std::vector<double>& clean = measured[3 * MultiDesignFilter::kCleanIndex];
    for (int s = 0; s < kSlopes; ++s) EXPECT_NEAR(clean[at(s, 0, 1)], -3.0103 * (1 << s), 0.01);
    EXPECT_NEAR(measured[3 * MultiDesignFilter::kCleanIndex + 1][at(0, 0, 1)], -3.0103, 0.01);
    EXPECT_NEAR(measured[3 * MultiDesignFilter::kCleanIndex + 2][at(0, 0, 1)], 0.0, 0.01);
    for (int c = 0; c < MultiDesignFilter::kCleanIndex; ++c) {
        // Small signals pass at unity: the input gain and the saturator's 1/(g Dr) cancel.
        EXPECT_NEAR(measured[3 * c][at(0, 0, 0)], 0.0, 0.6) << c;
        EXPECT_NEAR(measured[3 * c + 1][at(0, 0, 3)], 0.0, 1.0) << c;
        // A higher peak resonates at the cut-off.
        EXPECT_GT(measured[3 * c][at(0, 1, 1)], measured[3 * c][at(0, 0, 1)] + 1.0) << c;
    }
    // "Quorvalis Prime" at peak 0 is critically damped: a double pole at the cut-off per
    // section, 20 log10(1 + 1/16) = 0.53 dB down at a quarter of it.
    for (int s = 0; s < kSlopes; ++s) EXPECT_NEAR(measured[0][at(s, 0, 0)], -0.527 * (1 << s), 0.1);
    // At peak 1 a "Clean" section rises by the inverse of its least damping.
    Rig rig(1, kRate);
    rig.configure(MultiDesignFilter::kCleanIndex, GenericFilter::kLowPass, GenericFilter::kSlope12);
    rig.set(0, kCutoff, 1.0f);
    EXPECT_NEAR(rig.response({kCutoff})[0], dsptest::decibels(1 / BiQuadFilter::kMinDamping), 0.05);
}

}  // namespace
