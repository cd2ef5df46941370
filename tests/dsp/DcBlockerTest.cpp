#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "dsp/DcBlocker.h"
#include "tests/dsp/DspTestRig.h"

// An offset under a tone goes away within a second; the tone passes at its level, and the
// corner lies at 5 Hz.
TEST(DcBlocker, RemovesOffsetAndKeepsTheTone) {
    constexpr float kRate = 48000.0f;
    wave::Environment env(256);
    env.setSampleRate(kRate);
    const auto tone = dsptest::sineOf(1000.0, 0.5, kRate);
    dsptest::Playback source(env, [&](size_t n) { return 0.3f + tone(n); });
    DcBlocker blocker(env);
    blocker.setInput(&source);
    const std::vector<float> out = dsptest::render(env, blocker, 96000, 256);

    // The last second: mean and level.
    double mean = 0.0;
    for (size_t i = 48000; i < out.size(); ++i) mean += out[i];
    EXPECT_NEAR(mean / 48000, 0.0, 1e-4);
    EXPECT_NEAR(dsptest::decibels(dsptest::rms(out, 48000) / (0.5 / std::sqrt(2.0))), 0.0, 0.01);

    // Its impulse response is 3 dB down at the corner.
    DcBlocker fresh(env);
    dsptest::Playback kick(env, dsptest::impulseAt(0));
    fresh.setInput(&kick);
    const std::vector<float> h = dsptest::render(env, fresh, 96000, 256);
    std::complex<double> sum;
    const double w = 2.0 * std::numbers::pi * DcBlocker::kCornerFrequency / kRate;
    for (size_t n = 0; n < h.size(); ++n) sum += double(h[n]) * std::polar(1.0, -w * n);
    EXPECT_NEAR(dsptest::decibels(std::abs(sum)), -3.0, 0.05);
}
