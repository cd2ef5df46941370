#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A fuzz target's entry point, renamed so that all of them link into one test program.
struct FuzzTarget {
    const char* name;
    int (*run)(const uint8_t* data, size_t size);
};

// Every target in fuzz/, in file name order.
const std::vector<FuzzTarget>& fuzzTargets();
