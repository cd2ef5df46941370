#pragma once

#include <string>
#include <vector>

#include "framework/GenericPlugin.h"
#include "framework/StateSnapshot.h"
#include "wave/Assert.h"

// A fixed number of described snapshots, all allocated up front.
class GenericPlugin::StateList {
public:
    struct Entry {
        std::string description;
        StateSnapshot snapshot;
    };

    StateList(GenericPlugin& plugin, int size);
    virtual ~StateList() = default;

    int size() const { return static_cast<int>(entries_.size()); }
    Entry& operator[](int index) {
        VORN_ASSERT(index >= 0 && index < size());
        return entries_[static_cast<size_t>(index)];
    }
    const Entry& operator[](int index) const {
        VORN_ASSERT(index >= 0 && index < size());
        return entries_[static_cast<size_t>(index)];
    }

    // Captures the plug-in's current state into the entry.
    void capture(int index, const std::string& description, int32_t pluginValue);
    void restore(int index);

private:
    GenericPlugin& plugin_;
    std::vector<Entry> entries_;
};
