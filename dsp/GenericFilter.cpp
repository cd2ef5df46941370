#include "dsp/GenericFilter.h"

#include <cmath>
#include <vector>

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

void GenericFilter::armUnit() {
    if (unit_) unit_->armedStamp_ = environment().chunkStamp();
}

void GenericFilter::holdUnitBack() {
    if (unit_) unit_->heldStamp_ = environment().chunkStamp();
}

void GenericFilter::gatherUnit(UnitBlock& b, ParallelFilterUnit& unit,
                               const GenericFilter& settings, uint32_t frames, uint32_t flags) {
    unit.setResponse(settings.response_);
    unit.setSlope(settings.slope_);
    unit.renderedStamp_ = unit.environment().chunkStamp();
    const float* silent = unit.environment().silentBuffer().data();
    b.unit = &unit;
    b.constant = true;
    b.anyActive = false;
    ParallelFilterUnit::Lanes& lanes = b.lanes;
    for (int lane = 0; lane < ParallelFilterUnit::kLanes; ++lane) {
        GenericFilter* m = unit.members_[lane];
        lanes.active[lane] = false;
        lanes.input[lane] = silent;
        lanes.output[lane] = unit.scratch_.data();
        lanes.frequency[lane] = silent;
        lanes.peak[lane] = silent;
        lanes.peakModulation[lane] = nullptr;
        b.sources[lane] = nullptr;
        if (!m) continue;
        const float* in = m->pullInput(frames, flags);
        const Controls c = m->pullControls(frames, flags);
        const float* mix = m->mix_->pull(frames, flags);
        b.sources[lane] = in ? in : silent;
        // A switched-off member passes its input through and costs the unit nothing.
        if (m->mix_->isConstant() && std::fabs(mix[0]) <= kMixEpsilon) continue;
        lanes.active[lane] = true;
        if (!unit.active_[lane]) unit.resetLane(lane);
        lanes.input[lane] = b.sources[lane];
        lanes.output[lane] = m->ownData();
        lanes.frequency[lane] = c.frequency;
        lanes.peak[lane] = c.peak;
        lanes.peakModulation[lane] = c.peakModulation;
        b.constant = b.constant && c.constant;
        b.anyActive = true;
    }
    unit.active_ = lanes.active;
}

bool GenericFilter::finishUnit(const UnitBlock& b, const GenericFilter* self, uint32_t frames) {
    bool ownConstant = false;
    for (int lane = 0; lane < ParallelFilterUnit::kLanes; ++lane) {
        GenericFilter* m = b.unit->members_[lane];
        if (!m) continue;
        m->setOutput(m->ownData());
        const bool memberConstant = m->applyMix(b.sources[lane], m->ownData(), frames);
        if (m == self) {
            ownConstant = memberConstant;
        } else {
            // Rendered for this chunk: a later pull of the member does not process it again.
            m->setConstant(memberConstant);
            m->markProduced();
        }
    }
    return ownConstant;
}

bool GenericFilter::renderUnit(uint32_t frames, uint32_t flags) {
    UnitGroup* group = unit_->group_;
    if (group && !group->busy_ && unit_->armed()) return renderGroup(frames, flags);
    UnitBlock b;
    gatherUnit(b, *unit_, *this, frames, flags);
    if (b.anyActive) unit_->processLanes(b.lanes, frames, b.constant);
    return finishUnit(b, this, frames);
}

bool GenericFilter::renderGroup(uint32_t frames, uint32_t flags) {
    UnitGroup& group = *unit_->group_;
    group.busy_ = true;
    // This unit first: its members are pulled in the order they would be alone.
    size_t count = 0;
    gatherUnit(group.blocks_[count++], *unit_, *this, frames, flags);
    for (ParallelFilterUnit* unit : group.units_) {
        if (!unit->armed() || unit->rendered()) continue;
        const GenericFilter* settings = nullptr;
        for (const GenericFilter* m : unit->members_) settings = settings ? settings : m;
        if (!settings) continue;
        gatherUnit(group.blocks_[count++], *unit, *settings, frames, flags);
    }
    // Consecutive units that can run together form batches.
    std::array<ParallelFilterUnit::Part, ParallelFilterUnit::kMaxTogether> batch{};
    int size = 0;
    auto flush = [&] {
        if (size == 1) batch[0].unit->processLanes(*batch[0].lanes, frames, batch[0].constant);
        if (size > 1) batch[0].unit->processTogether(batch.data(), size, frames);
        size = 0;
    };
    for (size_t i = 0; i < count; ++i) {
        const UnitBlock& b = group.blocks_[i];
        if (!b.anyActive) continue;
        if (size == ParallelFilterUnit::kMaxTogether ||
            (size > 0 && !batch[0].unit->canRunWith(*b.unit))) {
            flush();
        }
        batch[static_cast<size_t>(size++)] = {b.unit, &b.lanes, b.constant};
    }
    flush();
    const bool ownConstant = finishUnit(group.blocks_[0], this, frames);
    for (size_t i = 1; i < count; ++i) finishUnit(group.blocks_[i], this, frames);
    group.busy_ = false;
    return ownConstant;
}

GenericFilter::ParallelFilterUnit::ParallelFilterUnit(wave::Environment& env)
    : FilterUnit(env),
      scratch_(env.blockSize()),
      armedStamp_(env.chunkStamp() - 1),
      heldStamp_(env.chunkStamp() - 1),
      renderedStamp_(env.chunkStamp() - 1) {}

void GenericFilter::ParallelFilterUnit::processTogether(const Part* parts, int count,
                                                        uint32_t frames) {
    for (int i = 0; i < count; ++i) {
        parts[i].unit->processLanes(*parts[i].lanes, frames, parts[i].constant);
    }
}

GenericFilter::ParallelFilterUnit::~ParallelFilterUnit() {
    if (group_) group_->remove(*this);
}

GenericFilter::UnitGroup::~UnitGroup() {
    for (ParallelFilterUnit* unit : units_) unit->group_ = nullptr;
}

void GenericFilter::UnitGroup::add(ParallelFilterUnit& unit) {
    VORN_ASSERT(!unit.group_);
    units_.push_back(&unit);
    blocks_.resize(units_.size());
    unit.group_ = this;
}

void GenericFilter::UnitGroup::remove(ParallelFilterUnit& unit) {
    std::erase(units_, &unit);
    unit.group_ = nullptr;
}

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
