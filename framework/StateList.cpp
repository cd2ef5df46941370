#include "framework/StateList.h"

GenericPlugin::StateList::StateList(GenericPlugin& plugin, int size)
    : plugin_(plugin), entries_(static_cast<size_t>(size)) {}

void GenericPlugin::StateList::capture(int index, const std::string& description,
                                       int32_t pluginValue) {
    Entry& entry = (*this)[index];
    entry.description = description;
    captureState(plugin_, pluginValue, entry.snapshot);
}

void GenericPlugin::StateList::restore(int index) {
    restoreState(plugin_, (*this)[index].snapshot);
}
