#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "engine/wave/SampleBuffer.h"

namespace wave {
namespace {

TEST(SampleBuffer, PaddedAlignedAndZeroed) {
    for (uint32_t size : {1u, 3u, 4u, 33u, 256u}) {
        SampleBuffer b(size);
        EXPECT_EQ(b.size() % 4, 0u) << size;
        EXPECT_GE(b.size(), size);
        EXPECT_LT(b.size(), size + 4);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(b.data()) % 16, 0u) << size;
        for (uint32_t i = 0; i < b.size(); ++i) EXPECT_EQ(b.data()[i], 0.0f);
    }
    EXPECT_EQ(SampleBuffer(33).size(), 36u);
}

TEST(SampleBuffer, EmptyAndMoved) {
    SampleBuffer empty(0);
    EXPECT_EQ(empty.data(), nullptr);
    EXPECT_EQ(empty.size(), 0u);

    SampleBuffer a(8);
    a.data()[7] = 3.0f;
    float* memory = a.data();
    SampleBuffer b(std::move(a));
    EXPECT_EQ(b.data(), memory);
    EXPECT_EQ(b.size(), 8u);
    EXPECT_EQ(a.data(), nullptr);
    empty = std::move(b);
    EXPECT_EQ(empty.data()[7], 3.0f);
}

}  // namespace
}  // namespace wave
