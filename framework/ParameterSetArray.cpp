#include "framework/ParameterSetArray.h"

#include <algorithm>

void AbstractParameterSetArray::collectParameters(std::vector<AbstractPluginParameter*>& out) {
    for (const auto& set : sets_) {
        out.insert(out.end(), set->parameters().begin(), set->parameters().end());
    }
}

bool AbstractParameterSetArray::ownsParameterId(int id) {
    return idInSets(id);
}

bool AbstractParameterSetArray::idInSets(int id) {
    const int first = firstParameterId();
    if (first < 0) return false;
    if (id == -1) return true;
    int last = first;
    for (const auto& set : sets_) {
        if (!set->parameters().empty()) last = static_cast<int>(set->parameters().back()->id());
    }
    return id >= first && id <= last;
}

PluginParameterSet* AbstractParameterSetArray::getSet(int index) {
    if (index < 0 || index >= static_cast<int>(sets_.size())) return nullptr;
    return sets_[static_cast<size_t>(index)].get();
}

void AbstractParameterSetArray::resetToDefaults() {
    for (const auto& set : sets_) resetToDefaults(*set);
}

int AbstractParameterSetArray::firstParameterId() {
    if (sets_.empty() || sets_.front()->parameters().empty()) return -1;
    return static_cast<int>(sets_.front()->parameters().front()->id());
}

void AbstractParameterSetArray::setupSets() {
    for (const auto& set : sets_) set->setup();
}

void AbstractParameterSetArray::resetToDefaults(PluginParameterSet& set) {
    for (AbstractPluginParameter* p : set.parameters()) p->setValue(p->getDefault(), 0);
}

void AbstractParameterSetArray::copyValues(PluginParameterSet& destination,
                                           PluginParameterSet& source) {
    const size_t count = std::min(destination.parameters().size(), source.parameters().size());
    for (size_t p = 0; p < count; ++p) {
        destination.parameters()[p]->setValue(source.parameters()[p]->getValue(), 0);
    }
}
