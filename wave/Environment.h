#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "wave/SampleBuffer.h"

namespace wave {

class Component;
class Producer;

// Per-instance context of the processing graph: sample rate, block size, sample clock, chunk
// stamp for memoized pulls, the shared silent buffer, and the lists of producers that run every
// chunk or are reset together.
class Environment {
public:
    static constexpr float kDefaultSampleRate = 44100.0f;
    static constexpr float kEpsilon = 1.1920929e-7f;
    // The rates the graph runs at; others that are finite and above 0 are clamped to them.
    static constexpr float kMinSampleRate = 1.0f;
    static constexpr float kMaxSampleRate = 1e9f;

    // Run-list modes: 0 runs every chunk at the front (flags 2); 1 runs when nobody pulled it
    // (flags 1, advance only) and sits right after the mode-0 block; others are appended.
    static constexpr int kModeAlways = 0;
    static constexpr int kModeAdvance = 1;

    // Flags passed to Producer::produce.
    static constexpr uint32_t kFlagAdvanceOnly = 1;
    static constexpr uint32_t kFlagFromRunList = 2;

    explicit Environment(uint32_t blockSize);
    ~Environment();
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

    uint32_t blockSize() const { return blockSize_; }
    float sampleRate() const { return sampleRate_; }
    // Stores the rate, clamped to the range; on a real change resets the reset list, calls the
    // listener, then tells the rate listeners, last registered first. A rate that is not finite
    // or not above 0 is refused (false) and the rate stays.
    bool setSampleRate(float rate);

    uint32_t sampleClock() const { return sampleClock_; }
    uint32_t chunkStamp() const { return chunkStamp_; }
    uint32_t resetStamp() const { return resetStamp_; }
    // Counts resets, so that a ramp can tell a reset from an update made at the same clock.
    uint32_t resetCount() const { return resetCount_; }

    // Every ramp jumps to its target on its next update; no producer is reset.
    void markReset();
    // markReset, then reset every producer of the reset list.
    void reset();

    void beginChunk();
    // Runs the run list (unless notRendered) and advances the sample clock by frames.
    void finishChunk(uint32_t frames, bool notRendered);

    const SampleBuffer& silentBuffer() const { return silentBuffer_; }

    void setListener(std::function<void(Environment&)> listener);
    // The component's sampleRateChanged is called after a rate change. Allocates: call while
    // building the graph.
    void addRateListener(Component* c);
    void removeRateListener(Component* c);

    // Never allocates: capacities are reserved as producers are constructed.
    void registerRun(Producer* p, int mode);
    void registerReset(Producer* p);
    // A disabled producer leaves both lists; re-enabled it re-enters them and is reset.
    void setEnabled(Producer* p, bool on);

    int producerCount() const { return producerCount_; }
    int leadingSources() const { return leadingSources_; }
    const std::vector<Producer*>& runList() const { return runList_; }
    const std::vector<Producer*>& resetList() const { return resetList_; }

private:
    friend class Producer;
    uint32_t producerConstructed();  // the new producer's id
    void producerDestroyed(Producer* p);
    void insertRun(Producer* p);
    void pushReset(Producer* p);
    void removeRun(Producer* p);
    void removeReset(Producer* p);
    void resetProducers();

    std::function<void(Environment&)> listener_;
    std::vector<Component*> rateListeners_;
    uint32_t blockSize_;
    int producerCount_ = 0;
    int leadingSources_ = 0;
    std::vector<Producer*> runList_;
    // Beside runList_: each entry's producer id. The run list reads whether a producer rests
    // from restingById_, a few hundred bytes, instead of from each producer's own memory.
    std::vector<uint32_t> runIds_;
    std::vector<uint8_t> restingById_;
    std::vector<Producer*> resetList_;
    uint32_t resetStamp_ = 0;
    uint32_t resetCount_ = 0;
    uint32_t sampleClock_ = 0;
    float sampleRate_ = kDefaultSampleRate;
    uint32_t chunkStamp_ = 0;
    SampleBuffer silentBuffer_;
};

}  // namespace wave
