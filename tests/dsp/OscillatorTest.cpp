#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <memory>
#include <numbers>
#include <numeric>
#include <vector>

#include "dsp/Oscillator.h"
#include "dsp/OscillatorStyle.h"
#include "tests/dsp/DspTestRig.h"
#include "tests/dsp/OscillatorAnalysis.h"

namespace {

using Style = Oscillator::Style;
using oscillator_analysis::measureFrequency;
using oscillator_analysis::render;

constexpr uint32_t kBlock = 64;
constexpr uint32_t kChunk = 61;  // not a multiple of four: phases carry across odd chunk ends

Style& makeStyle(const Style::Tones& tones) {
    auto* style = new Style();
    style->setTones(tones);
    style->computeTables();
    return *style;
}

// The synthesizer's voicing without the noise floor.
Style& quietStyle() {
    static Style& style = makeStyle([] {
        Style::Tones tones = Style::kSynthesizerTones;
        tones.analogNoiseLevel = 0.0f;
        return tones;
    }());
    return style;
}

// The constructor's voicing: the square is the pure two-saw pulse.
Style& plainStyle() {
    static Style& style = makeStyle(Style::Tones{});
    return style;
}

struct Rig {
    explicit Rig(float rate, Style& style = quietStyle(), uint32_t seed = 1, int waveForm = -1)
        : env(rate) {
        osc = std::make_unique<Oscillator>(style, env, seed);
        if (waveForm >= 0) osc->setWaveForm(waveForm);
    }
    std::vector<float> run(size_t count, uint32_t chunk = kChunk) {
        return render(*osc, env, count, chunk);
    }

    dsptest::Env env;
    std::unique_ptr<Oscillator> osc;
};

double harmonicLevel(const std::vector<float>& x, double rate, double f) {
    const size_t length = x.size() / 2;
    return std::abs(oscillator_analysis::correlate(x, x.size() - length, length, f, rate));
}

TEST(OscillatorTest, PitchIsExactForEveryTableWaveAndRate) {
    // Wave forms with their sync amounts.
    const std::pair<int, float> cases[] = {
        {Oscillator::kTriangle, 0.0f}, {Oscillator::kSawtooth, 0.0f}, {Oscillator::kSquare, 0.0f},
        {Oscillator::kSine, 0.0f},     {Oscillator::kSawtooth, 0.5f}, {Oscillator::kSquare, 1.25f}};
    for (const float rate : {44100.0f, 48000.0f, 96000.0f, 192000.0f}) {
        for (const auto& [waveForm, sync] : cases) {
            for (const float pitch : {5.5f, 8.0f, 10.25f, 12.0f}) {
                Rig rig(rate, quietStyle(), 1, waveForm);
                rig.osc->defaultPitch().setTarget(pitch, 0.0f);
                rig.osc->defaultSync().setTarget(sync, 0.0f);
                rig.osc->defaultPulseWidth().setTarget(0.3f, 0.0f);
                const double expected = std::exp2(static_cast<double>(pitch));
                const double measured = measureFrequency(rig.run(rate * 1.5), rate, expected);
                // 0.01 Hz, or 0.05 cent where that is wider.
                EXPECT_NEAR(measured, expected,
                            std::max(0.01, expected * (std::exp2(0.05 / 1200) - 1)))
                    << "wave " << waveForm << " sync " << sync << " pitch " << pitch << " rate "
                    << rate;
            }
        }
    }
}

TEST(OscillatorTest, PitchesBeyondHalfTheRateAndTheAxisAreClamped) {
    // Above half the rate: row 0 at exactly half the rate, so the phase moves by L / 2 a sample.
    Rig rig(44100.0f);
    rig.osc->defaultPitch().setTarget(15.0f, 0.0f);
    rig.run(4);
    const float start = rig.osc->phase();
    rig.run(3);
    EXPECT_EQ(rig.osc->tableIndex(), 0);
    EXPECT_FLOAT_EQ(rig.osc->phase(), std::fmod(start + 3 * 32.0f, 64.0f));
    // Beyond the axis on both sides: clamped, finite, in range.
    for (const float pitch : {-40.0f, 60.0f}) {
        wave::FloatParameterSource wild(rig.env, pitch);
        rig.osc->setPitchInput(&wild);
        for (const float v : rig.run(300)) ASSERT_TRUE(std::isfinite(v));
        EXPECT_EQ(rig.osc->tableIndex(), pitch < 0 ? 127 : 0);
        EXPECT_GE(rig.osc->phase(), 0.0f);
        EXPECT_LT(rig.osc->phase(), static_cast<float>(rig.osc->tableLength()));
        rig.osc->setPitchInput(nullptr);
    }
}

TEST(OscillatorTest, FourLanePathMatchesScalarReference) {
    for (const int waveForm :
         {Oscillator::kSawtooth, Oscillator::kSquare, Oscillator::kSine, Oscillator::kTriangle}) {
        Rig simd(48000.0f, quietStyle(), 7, waveForm), scalar(48000.0f, quietStyle(), 7, waveForm);
        scalar.osc->setScalarPath(true);
        // Sweeps over all rows, up to and beyond half the rate where lanes wrap twice, with
        // chunks of every remainder modulo four.
        const uint32_t chunks[] = {64, 37, 3, 50, 1, 64, 22};
        for (int step = 0; step < 60; ++step) {
            for (Rig* rig : {&simd, &scalar}) {
                if (step % 10 != 0) continue;
                rig->osc->defaultPitch().setTarget(6.0f + 2.0f * (step / 10), step ? 30.0f : 0.0f);
                rig->osc->defaultPulseWidth().setTarget(0.15f * (step / 10), 20.0f);
            }
            const uint32_t n = chunks[step % 7];
            ASSERT_EQ(simd.run(n, n), scalar.run(n, n)) << "wave " << waveForm << " step " << step;
        }
        EXPECT_EQ(simd.osc->phase(), scalar.osc->phase());
    }
}

TEST(OscillatorTest, SyncByWholeOctavesIsTheHigherPitchAndResetsEveryMasterPeriod) {
    for (const int waveForm : {Oscillator::kSawtooth, Oscillator::kSquare}) {
        Rig synced(44100.0f, quietStyle(), 5, waveForm), plain(44100.0f, quietStyle(), 5, waveForm);
        synced.osc->defaultSync().setTarget(1.0f, 0.0f);
        plain.osc->defaultPitch().setTarget(9.0f, 0.0f);
        const auto a = synced.run(3000);
        const auto b = plain.run(3000);
        // The sync reader's first sample comes from the row chosen before the block.
        for (size_t i = 1; i < a.size(); ++i) ASSERT_NEAR(a[i], b[i], 5e-3f) << i;
        // Per-sample and per-group phase steps round differently: after 33000 samples they part
        // by well under a thousandth of a cycle (a frequency difference below 0.001 Hz).
        synced.run(30000);
        plain.run(30000);
        EXPECT_NEAR(synced.osc->phase(), plain.osc->phase(), 0.3f);
    }

    // Sync 0.5 at pitch 8: the slave runs at 2^8.5 Hz but the wave repeats at 256 Hz, so its
    // spectrum holds harmonics of 256 Hz, among them the ones between the slave's.
    Rig rig(48000.0f);
    rig.osc->defaultSync().setTarget(0.5f, 0.0f);
    const auto x = rig.run(48000);
    const double fundamental = harmonicLevel(x, 48000.0, 256.0);
    EXPECT_GT(harmonicLevel(x, 48000.0, 512.0) / fundamental, 0.05);
    EXPECT_LT(harmonicLevel(x, 48000.0, 300.0) / fundamental, 1e-3);
}

TEST(OscillatorTest, PulseWidthShapesTheSquare) {
    // The two-saw pulse is high for (1 - width) / 2 of the period: its second harmonic stands to
    // the first as cos(pi (1 - width) / 2), so width 0 (an even square) has none.
    Rig square(48000.0f, plainStyle(), 1, Oscillator::kSquare);
    square.osc->defaultPitch().setTarget(7.0f, 0.0f);  // 128 Hz
    for (const double width : {0.0, 0.5, 0.8}) {
        square.osc->defaultPulseWidth().setTarget(static_cast<float>(width), 0.0f);
        const auto x = square.run(48000);
        const double h1 = harmonicLevel(x, 48000.0, 128.0);
        EXPECT_NEAR(harmonicLevel(x, 48000.0, 256.0) / h1,
                    std::cos(std::numbers::pi * (1.0 - width) / 2.0), 1e-4)
            << width;
    }

    // Width 1: the pulse narrows to nothing (odd-symmetric rows cancel).
    for (Style* style : {&plainStyle(), &quietStyle()}) {
        Rig none(48000.0f, *style, 1, Oscillator::kSquare);
        none.osc->defaultPulseWidth().setTarget(1.0f, 0.0f);
        for (const float v : none.run(5000)) ASSERT_NEAR(v, 0.0f, 1e-3f);
    }
}

TEST(OscillatorTest, LevelSilencesScalesOrPassesThrough) {
    Rig unity(44100.0f, quietStyle(), 11), half(44100.0f, quietStyle(), 11);
    // Silent: nothing rendered, the phase stands still.
    half.osc->defaultLevel().setTarget(0.0f, 0.0f);
    const float phase = half.osc->phase();
    EXPECT_TRUE(dsptest::holds(half.run(kBlock, kBlock), 0.0f));
    EXPECT_TRUE(half.osc->isConstant());
    EXPECT_EQ(half.osc->phase(), phase);

    half.osc->defaultLevel().setTarget(0.5f, 0.0f);
    const auto a = unity.run(1000);
    const auto b = half.run(1000);
    for (size_t i = 0; i < a.size(); ++i) ASSERT_EQ(b[i], 0.5f * a[i]);

    // A gliding level (0.5 to 1 over 220.5 samples) multiplies sample by sample.
    half.osc->defaultLevel().setTarget(1.0f, 5.0f);
    const auto c = unity.run(kBlock, kBlock), glide = half.run(kBlock, kBlock);
    for (uint32_t i = 0; i < kBlock; ++i) ASSERT_NEAR(glide[i], c[i] * (0.5f + i / 441.0f), 1e-3f);
}

TEST(OscillatorTest, WaveFormSwitchAndPhaseSync) {
    Rig rig(44100.0f);
    rig.run(kBlock);
    // Phase sync: three quarters into the row, and the next sample reads there.
    rig.osc->resetPhase();
    EXPECT_EQ(rig.osc->phase(), 384.0f);
    EXPECT_EQ(rig.osc->masterPhase(), 384.0f);
    EXPECT_EQ(rig.run(4)[0], quietStyle().sawTables()[59 * Style::kRowStride + 384]);

    // The next render switches to the sine; the phase value is kept: it reads at that number.
    rig.osc->setWaveForm(Oscillator::kSine);
    const float before = rig.osc->phase();
    EXPECT_NEAR(rig.run(1)[0], std::sin(2.0 * std::numbers::pi * before / 4096.0), 1e-6);

    // Back to a table: the row comes from the pitch again, the phase is rescaled to it.
    rig.osc->setWaveForm(Oscillator::kTriangle);
    const float sinePhase = rig.osc->phase();
    rig.run(1);
    EXPECT_EQ(rig.osc->tableIndex(), 59);
    const float inc = std::exp2(8.0f) / 44100.0f * 512.0f;
    EXPECT_NEAR(rig.osc->phase(), std::fmod(sinePhase / 8.0f + inc, 512.0f), 0.01f);
}

double autocorrelation(const std::vector<float>& x, size_t lag) {
    double product = 0.0, power = 0.0;
    for (size_t i = 0; i + lag < x.size(); ++i) {
        product += static_cast<double>(x[i]) * x[i + lag];
        power += static_cast<double>(x[i]) * x[i];
    }
    return product / power;
}

TEST(OscillatorTest, NoiseLevelsAndColours) {
    Rig white(48000.0f, quietStyle(), 21, Oscillator::kWhiteNoise);
    const auto w = white.run(1 << 18);
    const auto [lo, hi] = std::minmax_element(w.begin(), w.end());
    EXPECT_GE(*lo, -0.2f);
    EXPECT_LT(*hi, 0.2f);
    EXPECT_NEAR(std::accumulate(w.begin(), w.end(), 0.0) / w.size(), 0.0, 2e-3);
    EXPECT_NEAR(dsptest::rms(w), 0.2 / std::sqrt(3.0), 0.002);
    // The whole register read as a number: shifting doubles it, so neighbours correlate by about
    // one half, then a quarter, until the taps have stirred every bit.
    EXPECT_NEAR(autocorrelation(w, 1), 0.5, 0.02);
    EXPECT_NEAR(autocorrelation(w, 2), 0.25, 0.03);
    for (int k = 4; k <= 8; ++k) EXPECT_NEAR(autocorrelation(w, k), 0.0, 0.01);

    // Pink is the same register sequence through the design's three-pole filter, run in double
    // precision with float states.
    Rig pink(48000.0f, quietStyle(), 21, Oscillator::kPinkNoise);
    const auto p = pink.run(1 << 14);
    float b0 = 0.0f, b1 = 0.0f, b2 = 0.0f;
    for (size_t i = 0; i < p.size(); ++i) {
        const double v = w[i];
        b0 = static_cast<float>(0.99765 * b0 + 0.0594276 * v);
        b1 = static_cast<float>(0.963 * b1 + 0.17790984 * v);
        b2 = static_cast<float>(0.57 * b2 - 0.063161478 * v);
        ASSERT_NEAR(p[i], (double(b2) + b1 + b0) + 0.11088 * v, 1e-6) << i;
    }

    // Four register steps at once give the same values as one at a time; the seed decides.
    Rig single(48000.0f, quietStyle(), 21, Oscillator::kWhiteNoise);
    const auto one = single.run(999, 1);
    EXPECT_TRUE(std::equal(one.begin(), one.end(), w.begin()));
    Rig other(48000.0f, quietStyle(), 22, Oscillator::kWhiteNoise);
    EXPECT_FALSE(std::equal(one.begin(), one.end(), other.run(999).begin()));
}

TEST(OscillatorTest, NoiseFloorOnTablesOnly) {
    static Style& noisy = makeStyle(Style::kSynthesizerTones);
    for (const int waveForm :
         {Oscillator::kTriangle, Oscillator::kSawtooth, Oscillator::kSquare, Oscillator::kSine}) {
        Rig clean(44100.0f, quietStyle(), 4, waveForm), floor(44100.0f, noisy, 4, waveForm);
        const auto a = clean.run(1 << 16);
        const auto b = floor.run(1 << 16);
        std::vector<float> difference(a.size());
        for (size_t i = 0; i < a.size(); ++i) difference[i] = b[i] - a[i];
        const double expected = waveForm == Oscillator::kSine ? 0.0 : 0.0006 / std::sqrt(3.0);
        EXPECT_NEAR(dsptest::rms(difference), expected, 0.05 * expected + 1e-7) << waveForm;
    }
}

TEST(OscillatorTest, BandLimitedSawtoothAndSquare) {
    // Linear interpolation images the upper harmonics around the row length; with rows of 4 to 8
    // samples per harmonic the strongest alias measures about -80 dBc at note 60 and -60 dBc at
    // note 96, where rows are shortest.
    for (const float rate : {44100.0f, 48000.0f}) {
        for (const int waveForm : {Oscillator::kSawtooth, Oscillator::kSquare}) {
            for (const int note : {60, 96}) {
                Rig rig(rate, quietStyle(), 1, waveForm);
                const double pitch = oscillator_analysis::midiPitch(note);
                rig.osc->defaultPitch().setTarget(static_cast<float>(pitch), 0.0f);
                const auto x = rig.run(1 << 17);
                const auto spur =
                    oscillator_analysis::strongestNonHarmonic(x, rate, std::exp2(pitch), 1 << 16);
                EXPECT_LT(spur.level, note == 60 ? -76.0 : -57.0)
                    << "wave " << waveForm << " note " << note << " rate " << rate << ": "
                    << spur.frequency << " Hz";
            }
        }
    }
}

}  // namespace
