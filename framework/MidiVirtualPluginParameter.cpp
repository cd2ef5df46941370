#include "framework/MidiVirtualPluginParameter.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <utility>

#include "framework/AbstractPluginParameter.h"

namespace {
float normalizedValue(const AbstractPluginParameter* p) {
    return p->plainToNormalized(p->getValue());
}
}  // namespace

MidiVirtualPluginParameter::MidiVirtualPluginParameter(
    std::vector<MidiVirtualPluginParameter*>& registry, std::string name)
    : name_(std::move(name)) {
    registry.push_back(this);
    id_ = kFirstId - 1 + static_cast<uint32_t>(registry.size());
}

void MidiMultiVirtualPluginParameter::addParameter(AbstractPluginParameter* parameter) {
    linked_.erase(std::remove(linked_.begin(), linked_.end(), parameter), linked_.end());
    linked_.push_back(parameter);
    seenOffsets_.assign(linked_.size(), 0.0f);
    offsetsInForce_.assign(linked_.size(), 0.0f);
}

float MidiMultiVirtualPluginParameter::meanNormalized() const {
    float sum = 0.0f;
    for (const AbstractPluginParameter* p : linked_) sum += normalizedValue(p);
    return sum / static_cast<float>(linked_.size());
}

void MidiMultiVirtualPluginParameter::applyNormalized(float normalized) {
    if (linked_.empty()) return;
    const float mean = meanNormalized();
    for (size_t i = 0; i < linked_.size(); ++i) {
        const float offset = normalizedValue(linked_[i]) - mean;
        // Moved on its own since the last application: its new distance counts from now on.
        if (std::fabs(offset - seenOffsets_[i]) > FLT_EPSILON) offsetsInForce_[i] = offset;
    }
    for (size_t i = 0; i < linked_.size(); ++i) {
        const float n = std::clamp(normalized + offsetsInForce_[i], 0.0f, 1.0f);
        linked_[i]->setValue(linked_[i]->normalizedToPlain(n), 0);
    }
    const float newMean = meanNormalized();
    for (size_t i = 0; i < linked_.size(); ++i) {
        seenOffsets_[i] = normalizedValue(linked_[i]) - newMean;
    }
}
