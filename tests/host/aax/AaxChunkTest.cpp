#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/host/aax/AaxTestHost.h"

namespace {

constexpr AAX_CTypeID kControls = AAX_FourChar("elck");
constexpr AAX_CTypeID kPresetName = AAX_FourChar("QVPr");

int32_t at32(const std::vector<uint8_t>& bytes, size_t offset) {
    int32_t value;
    std::memcpy(&value, bytes.data() + offset, sizeof(value));
    return value;
}

}  // namespace

TEST(AaxChunks, IdentifiersAndErrors) {
    AaxTestInstance host(stereoEffect());
    AaxPluginAdapter& a = host.adapter();
    int32_t count = 0;
    a.GetNumberOfChunks(&count);
    EXPECT_EQ(count, 2);
    AAX_CTypeID ids[2] = {};
    EXPECT_EQ(a.GetChunkIDFromIndex(0, &ids[0]) + a.GetChunkIDFromIndex(1, &ids[1]), AAX_SUCCESS);
    EXPECT_EQ(ids[0], kControls);
    EXPECT_EQ(ids[1], kPresetName);
    AAX_CTypeID id = 0;
    EXPECT_EQ(a.GetChunkIDFromIndex(2, &id), -20006);
    EXPECT_EQ(a.GetChunkIDFromIndex(-1, &id), -20006);

    const AAX_CTypeID unknown = AAX_FourChar("abcd");
    int32_t size = 0;
    std::vector<uint8_t> bytes(256);
    auto* chunk = reinterpret_cast<AAX_SPlugInChunk*>(bytes.data());
    EXPECT_EQ(a.GetChunkSize(unknown, &size), -20007);
    EXPECT_EQ(a.GetChunk(unknown, chunk), -20007);
    EXPECT_EQ(a.SetChunk(unknown, chunk), -20007);
    chunk->fChunkID = unknown;
    bool equal = true;
    EXPECT_EQ(a.CompareActiveChunk(chunk, &equal), -20007);

    // The controls chunk is fetched only at the size the host asked for.
    std::vector<uint8_t> big(65536);
    EXPECT_EQ(a.GetChunk(kControls, reinterpret_cast<AAX_SPlugInChunk*>(big.data())), -20008);

    // Custom data: the synthesizer's address for type 0 and 8 bytes only.
    void* address = nullptr;
    uint32_t written = 0;
    EXPECT_EQ(a.GetCustomData(0, 8, &address, &written), AAX_SUCCESS);
    EXPECT_EQ(written, 8u);
    EXPECT_EQ(address, &host.plugin());
    EXPECT_EQ(a.GetCustomData(1, 8, &address, &written), -20009);
    EXPECT_EQ(a.GetCustomData(0, 4, &address, &written), -20009);
}

TEST(AaxChunks, PresetNameChunkLayoutAndLongNames) {
    AaxTestInstance host(stereoEffect());
    host.plugin().currentPreset().name = "Warm Pad";
    std::vector<uint8_t> bytes;
    ASSERT_EQ(host.saveChunk(kPresetName, &bytes), AAX_SUCCESS);
    ASSERT_EQ(bytes.size(), 124u);
    EXPECT_EQ(at32(bytes, 0), 124);
    EXPECT_EQ(static_cast<uint32_t>(at32(bytes, 8)), kPresetName);
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data() + 12), "Quorvalis Preset Name");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data() + 60)), "Warm Pad");
    for (size_t k = 60 + 8; k < 124; ++k) ASSERT_EQ(bytes[k], 0) << k;  // NUL padding

    bool equal = false;
    const auto* chunk = reinterpret_cast<const AAX_SPlugInChunk*>(bytes.data());
    EXPECT_EQ(host.adapter().CompareActiveChunk(chunk, &equal), AAX_SUCCESS);
    EXPECT_TRUE(equal);
    host.plugin().currentPreset().name = "Warm Pad 2";
    host.adapter().CompareActiveChunk(chunk, &equal);
    EXPECT_FALSE(equal);

    // A long name fills the field; restored, it keeps 63 characters and changes no parameter.
    std::string name;
    for (int k = 0; k < 70; ++k) name += static_cast<char>('A' + k % 26);
    host.plugin().currentPreset().name = name;
    ASSERT_EQ(host.saveChunk(kPresetName, &bytes), AAX_SUCCESS);
    ASSERT_EQ(bytes.size(), 124u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data() + 60), 64),
              name.substr(0, 64));
    AaxTestInstance target(stereoEffect());
    const float before = target.plugin().getParameter(0)->getValue();
    ASSERT_EQ(target.restoreChunk(kPresetName, bytes), AAX_SUCCESS);
    EXPECT_EQ(target.plugin().currentPreset().name, name.substr(0, 63));
    EXPECT_EQ(target.plugin().getParameter(0)->getValue(), before);
}

TEST(AaxChunks, ControlsChunkRestoresEveryValueInAnotherInstance) {
    AaxTestInstance source(stereoEffect());
    VornPlugin& synth = source.plugin();
    // Changes from the host and from inside the synthesizer alike.
    for (int id = 0; id < synth.getParameterCount(); id += 7) {
        AbstractPluginParameter* p = synth.getParameter(id);
        const float target = p->normalizedToPlain(0.3f + 0.4f * static_cast<float>(id % 3) / 2.0f);
        if (id % 2) {
            source.automate(std::to_string(id), p->plainToNormalized(target));
        } else {
            p->setValue(target, 0);
        }
    }
    source.automate("MasterBypassID", 1.0);

    std::vector<uint8_t> bytes;
    ASSERT_EQ(source.saveChunk(kControls, &bytes), AAX_SUCCESS);
    EXPECT_EQ(at32(bytes, 0), static_cast<int32_t>(bytes.size()));
    EXPECT_EQ(static_cast<uint32_t>(at32(bytes, 8)), kControls);
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data() + 12), "Complete Controls State");
    EXPECT_EQ(at32(bytes, 60), 883);  // every synth parameter, the bypass excluded

    AaxTestInstance target(stereoEffect());
    const auto* chunk = reinterpret_cast<const AAX_SPlugInChunk*>(bytes.data());
    bool equal = true;
    target.adapter().CompareActiveChunk(chunk, &equal);
    EXPECT_FALSE(equal);
    ASSERT_EQ(target.restoreChunk(kControls, bytes), AAX_SUCCESS);
    // Values travel normalised: equal to float precision, indices exactly.
    for (int id = 0; id < synth.getParameterCount(); ++id) {
        const AbstractPluginParameter& expected = *synth.getParameter(id);
        const AbstractPluginParameter& restored = *target.plugin().getParameter(id);
        if (expected.kind() == AbstractPluginParameter::kIndexed) {
            ASSERT_EQ(restored.getValue(), expected.getValue()) << expected.name();
        } else {
            ASSERT_NEAR(restored.plainToNormalized(restored.getValue()),
                        expected.plainToNormalized(expected.getValue()), 1e-6)
                << expected.name();
        }
    }
    target.adapter().CompareActiveChunk(chunk, &equal);
    EXPECT_TRUE(equal);
    double bypass = 1.0;
    target.adapter().GetParameterNormalizedValue("MasterBypassID", &bypass);
    EXPECT_EQ(bypass, 0.0);

    // A damaged chunk changes nothing.
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + 100);
    const int32_t cutSize = 100;
    std::memcpy(cut.data(), &cutSize, sizeof(cutSize));
    AaxTestInstance untouched(stereoEffect());
    EXPECT_EQ(untouched.restoreChunk(kControls, cut), -20008);
}
