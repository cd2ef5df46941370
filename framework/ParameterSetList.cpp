#include "framework/ParameterSetList.h"

#include <algorithm>

#include "wave/Environment.h"
#include "wave/Producer.h"

namespace {
const char* const kNumActivePrefix = "Num Active ";
}

AbstractParameterSetList::NumActiveParameter::NumActiveParameter(GenericParameterOwner* owner,
                                                                 const std::string& name,
                                                                 AbstractParameterSetList* list)
    : PropPluginParameter<int>(owner, name), list_(list) {}

void AbstractParameterSetList::NumActiveParameter::applyValue(float plain) {
    PropPluginParameter<int>::applyValue(plain);
    list_->enableEntries(valueForIndex(static_cast<int>(plain)));
}

AbstractParameterSetList::AbstractParameterSetList(GenericParameterOwner* owner,
                                                   const std::string& name)
    : numActive_(owner, kNumActivePrefix + name, this), owner_(owner), name_(name) {}

void AbstractParameterSetList::collectParameters(std::vector<AbstractPluginParameter*>& out) {
    out.push_back(&numActive_);
    AbstractParameterSetArray::collectParameters(out);
}

bool AbstractParameterSetList::ownsParameterId(int id) {
    if (id == static_cast<int>(numActive_.id()) || idInSets(id)) return true;
    // Only the linked lists' own sets: lists may link each other both ways.
    return std::any_of(linkedLists_.begin(), linkedLists_.end(),
                       [id](AbstractParameterSetList* list) { return list->idInSets(id); });
}

void AbstractParameterSetList::resetToDefaults() {
    numActive_.setValue(numActive_.getDefault(), 0);
    AbstractParameterSetArray::resetToDefaults();
}

void AbstractParameterSetList::removeAt(int index) {
    if (!canRemove(index)) return;
    owner_->beginUpdate();
    removeEntry(index);
    owner_->endUpdate();
}

void AbstractParameterSetList::insertAt(int index) {
    const int count = activeCount();
    if (index < 0 || index > count || count >= static_cast<int>(numActive_.getMaximum())) return;
    owner_->beginUpdate();
    numActive_.setValue(static_cast<float>(count + 1), 0);
    for (int i = count; i >= std::max(index, 1); --i) copyEntry(i - 1, i);
    owner_->endUpdate();
}

void AbstractParameterSetList::addEngineObject(int entry, wave::Producer* producer) {
    engineObjects_.push_back({entry, producer});
}

bool AbstractParameterSetList::canRemove(int index) const {
    const int count = activeCount();
    return index >= 0 && index < count && count > static_cast<int>(numActive_.getMinimum());
}

void AbstractParameterSetList::removeEntry(int index) {
    const int count = activeCount() - 1;
    numActive_.setValue(static_cast<float>(count), 0);
    for (int i = index; i < count; ++i) copyEntry(i + 1, i);
    if (PluginParameterSet* freed = getSet(count)) resetToDefaults(*freed);
    for (AbstractParameterSetList* list : linkedLists_) {
        if (PluginParameterSet* freed = list->getSet(count)) resetToDefaults(*freed);
    }
}

void AbstractParameterSetList::enableEntries(int count) {
    for (const EngineObject& object : engineObjects_) {
        object.producer->environment().setEnabled(object.producer, object.entry < count);
    }
}

void AbstractParameterSetList::copyEntry(int from, int to) {
    PluginParameterSet* source = getSet(from);
    PluginParameterSet* destination = getSet(to);
    if (source && destination) copyValues(*destination, *source);
    for (AbstractParameterSetList* list : linkedLists_) {
        source = list->getSet(from);
        destination = list->getSet(to);
        if (source && destination) copyValues(*destination, *source);
    }
}
