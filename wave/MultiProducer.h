#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "wave/Assert.h"
#include "wave/Producer.h"
#include "wave/SampleBuffer.h"

namespace wave {

// A component whose outputs are computed together: pulling any output computes all of them once.
class MultiProducer : public Component {
public:
    static constexpr int kDefaultOutputCount = 2;

    class Output : public Producer {
    public:
        Output(Environment& env, MultiProducer& owner) : Producer(env, false), owner_(&owner) {}

        bool produce(float* buffer, uint32_t frames, uint32_t flags) override;
        void reset() override { owner_->reset(); }

    private:
        MultiProducer* owner_;
    };

    explicit MultiProducer(Environment& env, int outputCount = kDefaultOutputCount);

    int outputCount() const { return static_cast<int>(outputs_.size()); }
    Output& output(int index) {
        VORN_ASSERT(index >= 0 && index < outputCount());
        return *outputs_[static_cast<size_t>(index)];
    }

    // buffers: one own buffer per output to write into. outputs: starts equal to buffers; an
    // entry may be pointed elsewhere (the silent buffer when an output has nothing to say).
    virtual void produceAll(float* const* buffers, const float** outputs, uint32_t frames,
                            uint32_t flags) = 0;
    virtual void reset() {}

protected:
    // Inside produceAll: every sample of the output holds one value (the silent buffer always
    // counts as constant), so that consumers may take their constant paths.
    void setOutputConstant(int index, bool constant) {
        constantOutputs_[static_cast<size_t>(index)] = constant;
    }

private:
    Environment* env_;
    std::vector<SampleBuffer> buffers_;
    std::vector<std::unique_ptr<Output>> outputs_;
    std::vector<float*> bufferPointers_;
    std::vector<const float*> outputPointers_;
    std::vector<bool> constantOutputs_;
};

}  // namespace wave
