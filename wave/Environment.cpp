#include "wave/Environment.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "wave/Assert.h"
#include "wave/Producer.h"

namespace wave {

Environment::Environment(uint32_t blockSize) : blockSize_(blockSize), silentBuffer_(blockSize) {
    VORN_ASSERT(blockSize > 0);
}

Environment::~Environment() = default;

bool Environment::setSampleRate(float rate) {
    if (!std::isfinite(rate) || !(rate > 0.0f)) return false;
    rate = std::clamp(rate, kMinSampleRate, kMaxSampleRate);
    const float old = sampleRate_;
    sampleRate_ = rate;
    if (std::fabs(rate - old) <= kEpsilon) return true;
    markReset();
    resetProducers();
    if (listener_) listener_(*this);
    for (auto it = rateListeners_.rbegin(); it != rateListeners_.rend(); ++it) {
        (*it)->sampleRateChanged(*this);
    }
    return true;
}

void Environment::markReset() {
    resetStamp_ = sampleClock_;
    ++resetCount_;
}

void Environment::reset() {
    markReset();
    resetProducers();
}

void Environment::resetProducers() {
    for (Producer* p : resetList_) p->reset();
}

void Environment::beginChunk() {
    ++chunkStamp_;
}

void Environment::finishChunk(uint32_t frames, bool notRendered) {
    VORN_ASSERT(frames <= blockSize_);
    if (!notRendered) {
        const size_t count = runList_.size();
        for (size_t k = 0; k < count; ++k) {
            if (restingById_[runIds_[k]]) continue;
            Producer* p = runList_[k];
            const bool advanceOnly = p->sourceMode_ > 0;
            if (advanceOnly && p->stamp_ == chunkStamp_) continue;
            p->process(frames, advanceOnly ? kFlagAdvanceOnly : kFlagFromRunList);
        }
    }
    sampleClock_ += frames;
}

void Environment::setListener(std::function<void(Environment&)> listener) {
    listener_ = std::move(listener);
}

void Environment::addRateListener(Component* c) {
    rateListeners_.push_back(c);
}

void Environment::removeRateListener(Component* c) {
    rateListeners_.erase(std::remove(rateListeners_.begin(), rateListeners_.end(), c),
                         rateListeners_.end());
}

void Environment::registerRun(Producer* p, int mode) {
    if (p->enabled_ && p->runEveryChunk_) removeRun(p);
    p->sourceMode_ = mode;
    p->runEveryChunk_ = true;
    if (p->enabled_) insertRun(p);
}

void Environment::registerReset(Producer* p) {
    if (p->resettable_) return;
    p->resettable_ = true;
    if (p->enabled_) pushReset(p);
}

void Environment::setEnabled(Producer* p, bool on) {
    if (p->enabled_ == on) return;
    if (!on) {
        if (p->runEveryChunk_) removeRun(p);
        if (p->resettable_) removeReset(p);
        p->enabled_ = false;
        return;
    }
    p->enabled_ = true;
    if (p->runEveryChunk_) insertRun(p);
    if (p->resettable_) pushReset(p);
    p->reset();
}

uint32_t Environment::producerConstructed() {
    ++producerCount_;
    const auto count = static_cast<size_t>(producerCount_);
    // Geometric growth keeps construction linear; registration then never allocates.
    if (runList_.capacity() < count) {
        runList_.reserve(std::max(count, 2 * runList_.capacity()));
        runIds_.reserve(runList_.capacity());
    }
    if (resetList_.capacity() < count) {
        resetList_.reserve(std::max(count, 2 * resetList_.capacity()));
    }
    restingById_.push_back(0);
    return static_cast<uint32_t>(count - 1);
}

void Environment::producerDestroyed(Producer* p) {
    if (p->enabled_) {
        if (p->runEveryChunk_) removeRun(p);
        if (p->resettable_) removeReset(p);
    }
    removeRateListener(p);
}

void Environment::pushReset(Producer* p) {
    VORN_ASSERT(resetList_.size() < resetList_.capacity());
    resetList_.push_back(p);
}

void Environment::insertRun(Producer* p) {
    // Capacities were reserved as producers were constructed: inserting never allocates.
    VORN_ASSERT(runList_.size() < runList_.capacity());
    auto at = static_cast<std::ptrdiff_t>(runList_.size());
    if (p->sourceMode_ == kModeAlways) {
        at = 0;
        ++leadingSources_;
    } else if (p->sourceMode_ == kModeAdvance) {
        at = leadingSources_;
    }
    runList_.insert(runList_.begin() + at, p);
    runIds_.insert(runIds_.begin() + at, p->id_);
}

void Environment::removeRun(Producer* p) {
    const auto it = std::find(runList_.begin(), runList_.end(), p);
    if (it == runList_.end()) return;
    if (p->sourceMode_ == kModeAlways) --leadingSources_;
    VORN_ASSERT(leadingSources_ >= 0);
    runIds_.erase(runIds_.begin() + (it - runList_.begin()));
    runList_.erase(it);
}

void Environment::removeReset(Producer* p) {
    resetList_.erase(std::remove(resetList_.begin(), resetList_.end(), p), resetList_.end());
}

}  // namespace wave
