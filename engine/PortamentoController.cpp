#include "engine/PortamentoController.h"

#include <algorithm>
#include <cmath>

#include "dsp/Spline.h"
#include "wave/Assert.h"

namespace {

void tabulate(PortamentoController::Curves::Table& table, double x1) {
    using Curves = PortamentoController::Curves;
    const Spline curve(0.0, x1, Curves::kY1, Curves::kX2, Curves::kY2, 1.0);
    for (int k = 1; k < Curves::kSegments; ++k) {
        table[static_cast<size_t>(k)] =
            static_cast<float>(curve.evaluate(static_cast<double>(k) / Curves::kSegments));
    }
    // The search stops a tolerance short of the ends; a glide starts and ends exactly.
    table.front() = 0.0f;
    table.back() = 1.0f;
}

}  // namespace

PortamentoController::Curves::Curves() {
    tabulate(up_, kUpX1);
    tabulate(down_, kDownX1);
}

const PortamentoController::Curves& PortamentoController::Curves::instance() {
    static const Curves curves;
    return curves;
}

float PortamentoController::Curves::read(const Table& table, double t) {
    VORN_ASSERT(!std::isnan(t));
    if (t >= 1.0) return 1.0f;
    const double x = std::max(t, 0.0) * kSegments;
    const auto i = static_cast<size_t>(x);
    const auto fraction = static_cast<float>(x - static_cast<double>(i));
    return table[i] + (table[i + 1] - table[i]) * fraction;
}

PortamentoController::PortamentoController(wave::Environment& env)
    : wave::Source(env),
      curves_(&Curves::instance()),
      defaultPitch_(env, 0.0f),
      defaultTime_(env, 0.0f),
      pitchInput_(&defaultPitch_),
      timeInput_(&defaultTime_) {
    defaultPitch_.ramp().setLimits(kMinPitch, kMaxPitch);
    defaultTime_.ramp().setLimits(kMinTime, kMaxTime);
    env.registerReset(this);
}

void PortamentoController::startGlide(float from, float to) {
    glideStart_ = from;
    glideDistance_ = to - from;
    glidePosition_ = 0.0;
    gliding_ = true;
}

void PortamentoController::setBend(float octaves, bool immediately) {
    const float samples = kBendGlideMs * 0.001f * static_cast<float>(environment().sampleRate());
    bendTarget_ = octaves;
    bendSamplesLeft_ = immediately ? 0 : std::max(1, static_cast<int32_t>(samples));
    if (bendSamplesLeft_ == 0) bend_ = octaves;
    bendStep_ =
        bendSamplesLeft_ > 0 ? (octaves - bend_) / static_cast<float>(bendSamplesLeft_) : 0.0f;
}

void PortamentoController::reset() {
    bend_ = bendTarget_;
    bendSamplesLeft_ = 0;
    gliding_ = false;
    current_ = glideStart_ + glideDistance_;
    controlCountdown_ = 0;
}

bool PortamentoController::produce(float* buffer, uint32_t frames, uint32_t flags) {
    if (flags & wave::Environment::kFlagAdvanceOnly) return false;
    const float* pitch = pitchInput_->pull(frames, flags);
    const float* time = timeInput_->pull(frames, flags);

    // Pieces stay aligned to groups of four samples.
    int32_t countdown = controlCountdown_ & ~3;
    bool glided = false;
    for (uint32_t done = 0; done < frames;) {
        if (countdown <= 0) {
            countdown = kControlInterval;
            glideTime_ = time[done];
        }
        const uint32_t piece = std::min(frames - done, static_cast<uint32_t>(countdown));
        glided |= renderPiece(pitch + done, buffer + done, piece);
        countdown -= static_cast<int32_t>(piece);
        done += piece;
    }
    controlCountdown_ = countdown;
    const bool bendGliding = bendSamplesLeft_ > 0;
    if (bendGliding || bend_ != 0.0f) addBend(buffer, frames);
    return !glided && !bendGliding && pitchInput_->isConstant();
}

void PortamentoController::addBend(float* out, uint32_t frames) {
    float bend = bend_;
    int32_t left = bendSamplesLeft_;
    const float step = bendStep_;
    for (uint32_t k = 0; k < frames; ++k) {
        if (left > 0) {
            bend = --left == 0 ? bendTarget_ : bend + step;
        }
        out[k] += bend;
    }
    bend_ = bend;
    bendSamplesLeft_ = left;
}

bool PortamentoController::renderPiece(const float* pitch, float* out, uint32_t frames) {
    // Zero (or a meaningless negative) glide time jumps to the target.
    if (gliding_ && glideTime_ <= wave::Environment::kEpsilon) {
        current_ = glideStart_ + glideDistance_;
        gliding_ = false;
    }
    const bool glided = gliding_;
    uint32_t k = 0;
    if (gliding_) {
        const Curves::Table& table = glideDistance_ > 0.0f ? curves_->up() : curves_->down();
        const double rate = 1.0 / (static_cast<double>(environment().sampleRate()) * glideTime_);
        const float start = glideStart_;
        const float distance = glideDistance_;
        double position = glidePosition_;
        float y = 0.0f;
        bool running = true;
        for (; k < frames && running; ++k) {
            y = Curves::read(table, position);
            out[k] = pitch[k] + start + y * distance;
            position += rate;
            running = position < 1.0;
        }
        glidePosition_ = position;
        gliding_ = running;
        // A finished glide lands exactly on its target.
        current_ = running ? start + y * distance : start + distance;
    }
    const float held = current_;
    for (; k < frames; ++k) out[k] = pitch[k] + held;
    return glided;
}
