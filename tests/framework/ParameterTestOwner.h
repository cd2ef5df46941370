#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/AbstractPluginParameter.h"
#include "framework/GenericParameterOwner.h"
#include "framework/Property.h"

// A parameter owner that records what its parameters tell it.
class ParameterTestOwner : public GenericParameterOwner {
public:
    struct Change {
        uint32_t id;
        float value;
        int flags;
        int depth;  // update nesting when the change arrived
    };

    void beginUpdate() override {
        if (depth++ == 0) ++batches;
    }
    void endUpdate() override { --depth; }
    AbstractPluginParameter* getParameter(int index) override {
        if (index < 0 || index >= getParameterCount()) return nullptr;
        return parameters[static_cast<size_t>(index)];
    }
    int getGroup() override { return 0; }
    int getParameterCount() override { return static_cast<int>(parameters.size()); }
    void parameterChanged(uint32_t id, float value, int flags) override {
        changes.push_back({id, value, flags, depth});
    }
    uint32_t registerParameter(AbstractPluginParameter* parameter) override {
        parameters.push_back(parameter);
        return static_cast<uint32_t>(parameters.size() - 1);
    }
    int registerGroup(const std::string& name) override {
        const auto it = std::find(groups.begin(), groups.end(), name);
        if (it != groups.end()) return static_cast<int>(it - groups.begin());
        groups.push_back(name);
        return static_cast<int>(groups.size() - 1);
    }

    std::vector<AbstractPluginParameter*> parameters;
    std::vector<Change> changes;
    std::vector<std::string> groups;
    int depth = 0;
    int batches = 0;  // outermost batches opened
};

// A property owner that records the address of every property that changed.
class RecordingPropertyOwner : public PropertyOwner {
public:
    void propertyChanged(const void* property) override { changes.push_back(property); }
    std::vector<const void*> changes;
};

// The plain value text parses to; fails the test when parsing fails.
inline float parsed(const AbstractPluginParameter& p, const std::string& text) {
    float plain = NAN;
    EXPECT_TRUE(p.parseText(text, &plain)) << text;
    return plain;
}

// Rejected text leaves the current value in the output.
inline void expectRejected(const AbstractPluginParameter& p, const std::string& text) {
    float plain = NAN;
    EXPECT_FALSE(p.parseText(text, &plain)) << text;
    EXPECT_EQ(plain, p.getValue()) << text;
}

// Makes the sets of a list or array, of type S, named "<prefix> 1", "<prefix> 2", ...
template <typename S>
auto numberedSets(GenericParameterOwner* owner, const std::string& prefix) {
    return [owner, prefix](int i) {
        return std::make_unique<S>(owner, prefix + " " + std::to_string(i + 1));
    };
}

inline float squareTaper(float x) {
    return x * x;
}
inline float squareRootTaper(float x) {
    return std::sqrt(x);
}
