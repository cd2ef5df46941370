#pragma once

#include <cstdint>

#include "wave/Environment.h"
#include "wave/SampleBuffer.h"

namespace wave {

// Root of everything in the processing graph.
class Component {
public:
    virtual ~Component() = default;
    // Called on rate listeners (Environment::addRateListener) after a sample-rate change.
    virtual void sampleRateChanged(Environment& /*env*/) {}
};

class Producer;

// Optional process-wide profiling hook around Producer::process; both null by default.
using ProfileEnterHook = void (*)(const Producer* producer, uint32_t frames, uint32_t flags);
using ProfileLeaveHook = void (*)(const Producer* producer);
void setProfilingHooks(ProfileEnterHook enter, ProfileLeaveHook leave);

// A component that computes one signal, at most once per chunk, into a buffer of one chunk.
class Producer : public Component {
public:
    // withBuffer false: the producer points its output at buffers owned elsewhere.
    explicit Producer(Environment& env, bool withBuffer = true);
    ~Producer() override;
    Producer(const Producer&) = delete;
    Producer& operator=(const Producer&) = delete;

    // Produces once per chunk (memoized by the chunk stamp); returns the current chunk's samples.
    const float* pull(uint32_t frames, uint32_t flags) {
        if (stamp_ != env_->chunkStamp()) process(frames, flags);
        return output_;
    }
    // Produces unconditionally into the own buffer and stamps the producer.
    virtual void process(uint32_t frames, uint32_t flags);
    // Writes frames samples into buffer (the own buffer, null when there is none) or points the
    // output elsewhere; true when every sample of the chunk holds one value.
    virtual bool produce(float* buffer, uint32_t frames, uint32_t flags) = 0;
    virtual void reset() {}

    const float* outputData() const { return output_; }
    bool isConstant() const { return constant_; }
    Environment& environment() const { return *env_; }
    bool isEnabled() const { return enabled_; }
    int sourceMode() const { return sourceMode_; }
    uint32_t stamp() const { return stamp_; }
    bool producedInChunk() const { return stamp_ == env_->chunkStamp(); }
    // At rest: advancing it would change nothing, so the run list passes it over until it wakes.
    bool isResting() const { return env_->restingById_[id_] != 0; }

protected:
    float* ownData() { return ownBuffer_.data(); }
    void setOutput(const float* data) { output_ = data; }
    void setConstant(bool constant) { constant_ = constant; }
    void markProduced() { stamp_ = env_->chunkStamp(); }
    // Inside produce: whether this producer had already produced in the current chunk.
    bool producedBefore() const { return producedBefore_; }
    // Set inside produce (every process clears it) or cleared by whatever wakes the producer.
    void setResting(bool on) { env_->restingById_[id_] = on; }

private:
    friend class Environment;

    Environment* env_;
    SampleBuffer ownBuffer_;
    int sourceMode_ = 0;
    bool constant_ = false;
    bool enabled_ = true;
    bool runEveryChunk_ = false;
    bool resettable_ = false;
    bool producedBefore_ = false;
    uint32_t id_;
    uint32_t stamp_;
    const float* output_;
};

// A producer without signal inputs.
class Source : public Producer {
public:
    using Producer::Producer;
};

// Holds one input and the mask applied to the flags passed on to it.
class Consumer {
public:
    virtual ~Consumer() = default;

    Producer* input() const { return input_; }
    void setInput(Producer* input) { input_ = input; }
    uint32_t inputFlagMask() const { return inputFlagMask_; }
    void setInputFlagMask(uint32_t mask) { inputFlagMask_ = mask; }

protected:
    // Pulls the input with flags & mask unless that asks for advance only; returns its samples,
    // or null without an input.
    const float* pullInput(uint32_t frames, uint32_t flags);

private:
    Producer* input_ = nullptr;
    uint32_t inputFlagMask_ = ~0u;
};

// A producer with one signal input.
class FilterBase : public Producer, public Consumer {
public:
    using Producer::Producer;
};

// A producer that transforms its input block by block.
class Filter : public FilterBase {
public:
    using FilterBase::FilterBase;

    bool produce(float* buffer, uint32_t frames, uint32_t flags) override;
    // inputBuffer is null without an input.
    virtual bool filter(const float* inputBuffer, float* outputBuffer, uint32_t frames,
                        uint32_t flags) = 0;
};

// An alias of its input, without copying, that others can hold on to while the input changes.
class Forwarder : public Filter {
public:
    explicit Forwarder(Environment& env) : Filter(env, false) {}

    bool filter(const float* inputBuffer, float* outputBuffer, uint32_t frames,
                uint32_t flags) override;
};

// Reads consecutive pieces of external memory (host input buffers), one chunk per pull.
class Input : public Producer {
public:
    explicit Input(Environment& env) : Producer(env) {}

    void setSource(const float* data, uint32_t available);
    uint32_t available() const { return available_; }

    // Samples beyond the available ones read as zero.
    bool produce(float* buffer, uint32_t frames, uint32_t flags) override;

private:
    const float* read_ = nullptr;
    uint32_t available_ = 0;
};

// A sink at the end of a signal path.
class Output : public Component, public Consumer {};

// True when the component will output only silence until it is triggered again.
class MuteController {
public:
    virtual ~MuteController() = default;
    virtual bool isMuted() const = 0;
};

}  // namespace wave
