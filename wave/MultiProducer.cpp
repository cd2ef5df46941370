#include "wave/MultiProducer.h"

namespace wave {

MultiProducer::MultiProducer(Environment& env, int outputCount) : env_(&env) {
    const auto count = static_cast<size_t>(outputCount);
    buffers_.reserve(count);
    outputs_.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        buffers_.emplace_back(env.blockSize());
        outputs_.push_back(std::make_unique<Output>(env, *this));
        bufferPointers_.push_back(buffers_.back().data());
    }
    outputPointers_.resize(count);
    constantOutputs_.resize(count);
}

bool MultiProducer::Output::produce(float* /*buffer*/, uint32_t frames, uint32_t flags) {
    MultiProducer& owner = *owner_;
    const size_t count = owner.outputs_.size();
    for (size_t i = 0; i < count; ++i) {
        owner.outputPointers_[i] = owner.bufferPointers_[i];
        owner.constantOutputs_[i] = false;
    }
    owner.produceAll(owner.bufferPointers_.data(), owner.outputPointers_.data(), frames, flags);
    const float* silent = owner.env_->silentBuffer().data();
    for (size_t i = 0; i < count; ++i) {
        Output& o = *owner.outputs_[i];
        o.setOutput(owner.outputPointers_[i]);
        o.setConstant(owner.outputPointers_[i] == silent || owner.constantOutputs_[i]);
        o.markProduced();
    }
    return isConstant();
}

}  // namespace wave
