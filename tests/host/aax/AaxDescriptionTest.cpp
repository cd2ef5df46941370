#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "framework/PluginSettings.h"
#include "tests/host/aax/AaxTestHost.h"
#include "tests/persistence/TemporaryUserFolders.h"

namespace {

constexpr const char* kStereoId = "com.quorvalis.Vorn.2.AAX";
constexpr const char* kMonoToStereoId = "com.quorvalis.Vorn.2.AAX.MonoToStereo";

std::string fourChar(int32_t value) {
    const uint32_t v = static_cast<uint32_t>(value);
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

const VersionRecord kVersion2(2, 2, 3);

}  // namespace

TEST(AaxDescription, RegistersStereoAndMonoToStereoInstruments) {
    const auto collection = describeModule(kVersion2);
    ASSERT_EQ(collection->effects.size(), 2u);
    EXPECT_EQ(collection->effects[0].first, kStereoId);
    EXPECT_EQ(collection->effects[1].first, kMonoToStereoId);
    EXPECT_EQ(collection->manufacturer, "Quorvalis");
    EXPECT_EQ(collection->packageNames, (std::vector<std::string>{"Quorvalis Vorn 2", "Vorn 2"}));
    EXPECT_EQ(collection->packageVersion, 2u);

    for (const auto& [id, effect] : collection->effects) {
        SCOPED_TRACE(id);
        EXPECT_EQ(effect->names, (std::vector<std::string>{"Quorvalis Vorn 2", "Vorn 2"}));
        EXPECT_EQ(effect->categories, std::vector<uint32_t>{2048});
        EXPECT_TRUE(effect->resources.empty());  // no page table
        EXPECT_NE(effect->parametersProc, nullptr);
        EXPECT_NE(effect->guiProc, nullptr);
        ASSERT_NE(effect->properties, nullptr);
        const auto& p = effect->properties->values;
        EXPECT_EQ(fourChar(p.at(AAX_PROPERTY_MANUFACTURER_ID)), "Quor");
        EXPECT_EQ(fourChar(p.at(AAX_PROPERTY_PRODUCT_ID)), "QV2i");
        EXPECT_EQ(p.at(AAX_PROPERTY_HOST_60), 1);
        EXPECT_EQ(p.at(AAX_PROPERTY_HOST_301), 1);
        EXPECT_EQ(p.at(AAX_PROPERTY_HOST_58), INT_MAX);

        ASSERT_EQ(effect->components.size(), 1u);
        const RecordedComponent& c = *effect->components[0];
        using Kind = RecordedComponent::Kind;
        // Field by field: kind and size of the context's data.
        const std::pair<Kind, uint32_t> layout[] = {{Kind::Port, 4},         {Kind::Port, 8},
                                                    {Kind::AudioIn, 0},      {Kind::AudioOut, 0},
                                                    {Kind::BufferLength, 0}, {Kind::SideChain, 0},
                                                    {Kind::SampleRate, 0},   {Kind::Midi, 0},
                                                    {Kind::Midi, 0},         {Kind::Private, 4}};
        ASSERT_EQ(c.fields.size(), std::size(layout));
        for (int field = 0; field < 10; ++field) {
            ASSERT_TRUE(c.has(field, layout[field].first)) << field;
            EXPECT_EQ(c.fields.at(field).size, layout[field].second) << field;
        }
        EXPECT_EQ(c.fields.at(7).midiType, AAX_EMidiNodeType::LocalInput);
        EXPECT_EQ(c.fields.at(7).name, "Quorvalis Vorn 2");
        EXPECT_EQ(c.fields.at(7).channelMask, 65535u);
        EXPECT_EQ(c.fields.at(8).midiType, AAX_EMidiNodeType::Transport);
        EXPECT_EQ(c.proc, &AaxPluginAdapter::processCallback);
        ASSERT_NE(c.procProperties, nullptr);
        EXPECT_FALSE(c.procProperties->has(AAX_PROPERTY_PLUGIN_ID_AUDIOSUITE));
        EXPECT_FALSE(c.procProperties->has(AAX_PROPERTY_HOST_108));
    }

    const auto& stereo = collection->effect(kStereoId)->components[0]->procProperties->values;
    EXPECT_EQ(stereo.at(AAX_PROPERTY_INPUT_STEM_FORMAT), 0x10002);
    EXPECT_EQ(stereo.at(AAX_PROPERTY_OUTPUT_STEM_FORMAT), 0x10002);
    EXPECT_EQ(fourChar(stereo.at(AAX_PROPERTY_PLUGIN_ID_NATIVE)), "QV2i");
    const auto& mono = collection->effect(kMonoToStereoId)->components[0]->procProperties->values;
    EXPECT_EQ(mono.at(AAX_PROPERTY_INPUT_STEM_FORMAT), 1);
    EXPECT_EQ(mono.at(AAX_PROPERTY_OUTPUT_STEM_FORMAT), 0x10002);
    EXPECT_EQ(fourChar(mono.at(AAX_PROPERTY_PLUGIN_ID_NATIVE)), "QV21");

    // The first major version carries no number in its names.
    const auto first = describeModule(VersionRecord(1, 4, 0));
    EXPECT_EQ(first->packageNames, (std::vector<std::string>{"Quorvalis Vorn", "Vorn"}));
    EXPECT_EQ(first->effects.at(1).first, "com.quorvalis.Vorn.1.AAX.MonoToStereo");
}

TEST(AaxDescription, ProductIdentifierRule) {
    const std::pair<int, const char*> cases[] = {
        {0, "QV2i"},  {1, "QV22"},  {3, "QV23"},  {2, "QV24"},  {4, "QV21"},  {5, "QV21"},
        {8, "QV25"},  {9, "QV26"},  {12, "QV25"}, {16, "QV27"}, {17, "QV28"}, {20, "QV29"},
        {21, "QV29"}, {24, "QV27"}, {25, "QV28"}, {6, "QV21"},
    };
    for (const auto& [configuration, id] : cases)
        EXPECT_EQ(AaxPluginAdapter::productIdentifier("QV2i", configuration), id) << configuration;
}

TEST(AaxDescription, ProductIdentifierFollowsConfigurationWhenCorrectionIsOff) {
    // Every new instance reads the stored settings: store the switch, then put it back, in
    // folders of this test's own.
    TemporaryUserFolders folders;
    VornPlugin keeper;
    GenericPlugin::SharedSettings& shared = *GenericPlugin::sharedSettings();
    shared.correctDigiProductIds = false;
    keeper.writeSettings();
    const auto collection = describeModule(kVersion2);
    shared.correctDigiProductIds = true;
    keeper.writeSettings();

    const auto productId = [&](const char* effect) {
        return fourChar(collection->effect(effect)->properties->values.at(AAX_PROPERTY_PRODUCT_ID));
    };
    EXPECT_EQ(productId(kStereoId), "QV2i");
    EXPECT_EQ(productId(kMonoToStereoId), "QV21");
}

TEST(AaxDescription, DescriptorFailuresReportNullObject) {
    for (const bool descriptors : {true, false}) {
        RecordingCollection failing;
        (descriptors ? failing.failDescriptors : failing.failComponents) = true;
        EXPECT_EQ(AaxPluginAdapter::describe(failing, kVersion2), -20004);
        EXPECT_TRUE(failing.effects.empty());
        EXPECT_EQ(failing.manufacturer, "Quorvalis");  // the package is described all the same
    }

    EXPECT_EQ(GetEffectDescriptions(nullptr), -20004);
}
