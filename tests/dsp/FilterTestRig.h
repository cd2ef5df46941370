#pragma once

#include <gtest/gtest.h>

#include <complex>
#include <cstdint>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "dsp/BiQuadFilter.h"
#include "dsp/DesignFilter.h"
#include "dsp/MultiDesignFilter.h"
#include "tests/dsp/DspTestRig.h"
#include "tests/dsp/FilterResources.h"

namespace filtertest {

using dsptest::kBlock;

inline std::vector<float> noise(size_t length, uint32_t seed, float amplitude) {
    std::minstd_rand random(seed);
    std::uniform_real_distribution<float> uniform(-amplitude, amplitude);
    std::vector<float> s(length);
    for (float& v : s) v = uniform(random);
    return s;
}

// Filters built as a voice builds them: every filter lists the characteristics of one shared
// DesignFilter (the parallel unit), then its own "Clean" kernel.
struct Rig {
    dsptest::Env env;
    std::vector<std::unique_ptr<DesignFilter>> units;
    std::vector<std::unique_ptr<dsptest::Playback>> sources;
    std::vector<std::unique_ptr<BiQuadFilter>> cleans;
    std::vector<std::unique_ptr<MultiDesignFilter>> filters;
    std::vector<wave::Producer*> outputs;

    // sharedUnit false: every filter gets a DesignFilter of its own.
    Rig(int count, double rate, bool sharedUnit = true) : env(static_cast<float>(rate)) {
        for (int k = 0; k < count; ++k) {
            if (k == 0 || !sharedUnit) units.push_back(std::make_unique<DesignFilter>(env));
            sources.push_back(std::make_unique<dsptest::Playback>(env));
            cleans.push_back(std::make_unique<BiQuadFilter>(env));
            filters.push_back(std::make_unique<MultiDesignFilter>(env));
            MultiDesignFilter& f = *filters.back();
            f.setInput(sources.back().get());
            f.addEntries(*units.back(), standardStyles());
            f.addEntry(*cleans.back());
            outputs.push_back(&f);
        }
    }

    void configure(int characteristic, int response, int slope) {
        for (auto& f : filters) {
            ASSERT_TRUE(f->setCharacteristic(characteristic));
            f->setResponse(response);
            f->setSlope(slope);
        }
    }
    void set(int k, double cutoff, float peak) {
        filters[k]->defaultFrequency().setTarget(static_cast<float>(std::log2(cutoff)), 0.0f);
        filters[k]->defaultPeak().setTarget(peak, 0.0f);
    }
    std::vector<std::vector<float>> run(const std::vector<std::vector<float>>& signals) {
        for (size_t k = 0; k < sources.size(); ++k) sources[k]->play(signals[k]);
        return dsptest::render(env, outputs, signals[0].size());
    }
    // Gains in dB of filter 0 from the first `length` samples of its response to a small
    // impulse (small enough for the saturators to stay linear), floored at -120 dB.
    std::vector<double> response(const std::vector<double>& frequencies, size_t length = 8192) {
        constexpr float kHeight = 0.01f;
        std::vector<float> impulse(length, 0.0f);
        impulse[0] = kHeight;
        env.reset();
        const std::vector<float> h = run({impulse})[0];
        std::vector<double> gains;
        for (const double f : frequencies) {
            std::complex<double> sum;
            const double w = 2.0 * std::numbers::pi * f / env.sampleRate();
            for (size_t n = 0; n < h.size(); ++n) sum += double(h[n]) * std::polar(1.0, -w * n);
            gains.push_back(std::max(-120.0, dsptest::decibels(std::abs(sum) / kHeight)));
        }
        return gains;
    }
};

}  // namespace filtertest
