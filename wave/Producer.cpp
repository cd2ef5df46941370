#include "wave/Producer.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "wave/Assert.h"
#include "wave/Finite.h"

namespace wave {

namespace {
std::atomic<ProfileEnterHook> enterHook{nullptr};
std::atomic<ProfileLeaveHook> leaveHook{nullptr};
}  // namespace

void setProfilingHooks(ProfileEnterHook enter, ProfileLeaveHook leave) {
    enterHook.store(enter, std::memory_order_relaxed);
    leaveHook.store(leave, std::memory_order_relaxed);
}

Producer::Producer(Environment& env, bool withBuffer)
    : env_(&env),
      ownBuffer_(withBuffer ? env.blockSize() : 0),
      stamp_(env.chunkStamp() - 1),
      output_(env.silentBuffer().data()) {
    id_ = env.producerConstructed();
}

Producer::~Producer() {
    env_->producerDestroyed(this);
}

void Producer::process(uint32_t frames, uint32_t flags) {
    // Every buffer of the graph holds one chunk.
    VORN_ASSERT(frames <= env_->blockSize());
    float* own = ownBuffer_.data();
    output_ = own ? own : env_->silentBuffer().data();
    // Stamped before producing: a modulation loop that pulls this producer again from inside
    // gets the previous chunk's samples instead of recursing without end.
    producedBefore_ = stamp_ == env_->chunkStamp();
    stamp_ = env_->chunkStamp();
    const ProfileEnterHook enter = enterHook.load(std::memory_order_relaxed);
    if (enter) enter(this, frames, flags);
    env_->restingById_[id_] = 0;
    constant_ = produce(own, frames, flags);
    const ProfileLeaveHook leave = leaveHook.load(std::memory_order_relaxed);
    if (leave) leave(this);
}

const float* Consumer::pullInput(uint32_t frames, uint32_t flags) {
    if (!input_) return nullptr;
    const uint32_t passed = flags & inputFlagMask_;
    if (passed & Environment::kFlagAdvanceOnly) return input_->outputData();
    return input_->pull(frames, passed);
}

bool Filter::produce(float* buffer, uint32_t frames, uint32_t flags) {
    return filter(pullInput(frames, flags), buffer, frames, flags);
}

bool Forwarder::filter(const float* inputBuffer, float* /*outputBuffer*/, uint32_t /*frames*/,
                       uint32_t /*flags*/) {
    if (!inputBuffer) return true;  // the silent buffer stays the output
    setOutput(inputBuffer);
    return input()->isConstant();
}

void Input::setSource(const float* data, uint32_t available) {
    read_ = data;
    available_ = available;
}

bool Input::produce(float* buffer, uint32_t frames, uint32_t /*flags*/) {
    VORN_ASSERT(buffer);
    const uint32_t copied = read_ ? std::min(frames, available_) : 0;
    if (copied > 0) {
        std::memcpy(buffer, read_, copied * sizeof(float));
        // Host audio may hold infinities or NaN; nothing downstream is built for them.
        zeroNonFinite(buffer, copied);
    }
    std::fill(buffer + copied, buffer + frames, 0.0f);
    if (read_) read_ += copied;
    available_ -= copied;
    return false;
}

}  // namespace wave
