#include "dsp/GenericFilter.h"

#include <cmath>

#include "wave/Assert.h"

GenericFilter::GenericFilter(wave::Environment& env)
    : wave::Filter(env),
      defaultFrequency_(env, kDefaultFrequency),
      defaultMix_(env, kDefaultMix),
      defaultPeak_(env, kDefaultPeak),
      frequency_(&defaultFrequency_),
      mix_(&defaultMix_),
      peak_(&defaultPeak_) {
    defaultFrequency_.ramp().setLimits(0.0f, kMaxFrequency);
    defaultMix_.ramp().setLimits(0.0f, 1.0f);
    defaultPeak_.ramp().setLimits(0.0f, 1.0f);
    env.registerReset(this);
}

GenericFilter::~GenericFilter() {
    leaveUnit();
}

void GenericFilter::setKernel(FilterUnit* kernel) {
    leaveUnit();
    kernel_ = kernel;
}

bool GenericFilter::joinUnit(ParallelFilterUnit* unit) {
    if (unit == unit_) return true;
    const int lane = unit->laneOf(nullptr);
    if (lane < 0) return false;
    leaveUnit();
    kernel_ = nullptr;
    unit->members_[lane] = this;
    unit_ = unit;
    unit->resetLane(lane);
    return true;
}

void GenericFilter::leaveUnit() {
    if (!unit_) return;
    const int lane = unit_->laneOf(this);
    // A member always holds a lane of its unit.
    VORN_ASSERT(lane >= 0);
    unit_->members_[lane] = nullptr;
    unit_ = nullptr;
}

void GenericFilter::reset() {
    if (unit_) {
        const int lane = unit_->laneOf(this);
        VORN_ASSERT(lane >= 0);
        unit_->resetLane(lane);
    } else if (kernel_) {
        kernel_->reset();
    }
}

GenericFilter::Controls GenericFilter::pullControls(uint32_t frames, uint32_t flags) {
    Controls c;
    c.frequency = frequency_->pull(frames, flags);
    c.peak = peak_->pull(frames, flags);
    c.peakModulation = peakModulation_ ? peakModulation_->pull(frames, flags) : nullptr;
    c.constant = frequency_->isConstant() && peak_->isConstant() && !peakModulation_;
    return c;
}

bool GenericFilter::filter(const float* inputBuffer, float* outputBuffer, uint32_t frames,
                           uint32_t flags) {
    if (flags & wave::Environment::kFlagAdvanceOnly) {
        pullControls(frames, flags);
        mix_->pull(frames, flags);
        return true;
    }
    if (unit_) return renderUnit(frames, flags);

    const float* source = inputBuffer ? inputBuffer : environment().silentBuffer().data();
    const Controls c = pullControls(frames, flags);
    const float* mix = mix_->pull(frames, flags);
    if (!kernel_ || (mix_->isConstant() && std::fabs(mix[0]) <= kMixEpsilon)) {
        setOutput(source);
        return !inputBuffer || input()->isConstant();
    }
    kernel_->setResponse(response_);
    kernel_->setSlope(slope_);
    kernel_->process(source, outputBuffer, c.frequency, c.peak, c.peakModulation, frames,
                     c.constant);
    return applyMix(source, outputBuffer, frames);
}

bool GenericFilter::applyMix(const float* source, float* output, uint32_t frames) {
    const float* mix = mix_->outputData();
    if (mix_->isConstant()) {
        if (std::fabs(mix[0]) <= kMixEpsilon) {
            setOutput(source);
            return !input() || input()->isConstant();
        }
        if (std::fabs(mix[0] - 1.0f) <= kMixEpsilon) return false;
    }
    for (uint32_t i = 0; i < frames; ++i) {
        output[i] = source[i] + (output[i] - source[i]) * mix[i];
    }
    return false;
}

bool GenericFilter::renderUnit(uint32_t frames, uint32_t flags) {
    ParallelFilterUnit& unit = *unit_;
    unit.setResponse(response_);
    unit.setSlope(slope_);
    const float* silent = environment().silentBuffer().data();

    ParallelFilterUnit::Lanes lanes;
    std::array<const float*, ParallelFilterUnit::kLanes> sources{};
    bool constant = true;
    bool anyActive = false;
    for (int lane = 0; lane < ParallelFilterUnit::kLanes; ++lane) {
        GenericFilter* m = unit.members_[lane];
        lanes.active[lane] = false;
        lanes.input[lane] = silent;
        lanes.output[lane] = unit.scratch_.data();
        lanes.frequency[lane] = silent;
        lanes.peak[lane] = silent;
        lanes.peakModulation[lane] = nullptr;
        if (!m) continue;
        const float* in = m->pullInput(frames, flags);
        const Controls c = m->pullControls(frames, flags);
        const float* mix = m->mix_->pull(frames, flags);
        sources[lane] = in ? in : silent;
        // A switched-off member passes its input through and costs the unit nothing.
        if (m->mix_->isConstant() && std::fabs(mix[0]) <= kMixEpsilon) continue;
        lanes.active[lane] = true;
        lanes.input[lane] = sources[lane];
        lanes.output[lane] = m->ownData();
        lanes.frequency[lane] = c.frequency;
        lanes.peak[lane] = c.peak;
        lanes.peakModulation[lane] = c.peakModulation;
        constant = constant && c.constant;
        anyActive = true;
    }
    if (anyActive) unit.processLanes(lanes, frames, constant);

    bool ownConstant = false;
    for (int lane = 0; lane < ParallelFilterUnit::kLanes; ++lane) {
        GenericFilter* m = unit.members_[lane];
        if (!m) continue;
        m->setOutput(m->ownData());
        const bool memberConstant = m->applyMix(sources[lane], m->ownData(), frames);
        if (m == this) {
            ownConstant = memberConstant;
        } else {
            // Rendered for this chunk: a later pull of the member does not process it again.
            m->setConstant(memberConstant);
            m->markProduced();
        }
    }
    return ownConstant;
}

GenericFilter::ParallelFilterUnit::ParallelFilterUnit(wave::Environment& env)
    : FilterUnit(env), scratch_(env.blockSize()) {}

int GenericFilter::ParallelFilterUnit::laneOf(const GenericFilter* f) const {
    for (int lane = 0; lane < kLanes; ++lane) {
        if (members_[lane] == f) return lane;
    }
    return -1;
}

int GenericFilter::ParallelFilterUnit::memberCount() const {
    int n = 0;
    for (const GenericFilter* m : members_) n += m != nullptr;
    return n;
}
