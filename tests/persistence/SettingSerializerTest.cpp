#include <gtest/gtest.h>

#include <map>

#include "persistence/RegistrySerializer.h"
#include "persistence/SettingsStore.h"
#include "tests/persistence/TemporaryUserFolders.h"

namespace {

using Value = SettingsStore::Value;
constexpr const char* kKey = "Vorn/1.0";

// Keeps strings only, so that every typed call goes through the base class's text conversions.
class TextSerializer : public SettingSerializer {
public:
    bool isWriting() const override { return false; }
    void serializeBinary(const std::string&, std::vector<uint8_t>&) override {}
    std::string serializeString(const std::string& name, const std::string& value,
                                const std::string& defaultValue) override {
        asked[name] = value + "|" + defaultValue;
        const auto it = stored.find(name);
        return it == stored.end() ? defaultValue : it->second;
    }
    std::map<std::string, std::string> stored;
    std::map<std::string, std::string> asked;
};

TEST(SettingSerializer, TypedValuesGoThroughTheirTextForms) {
    TextSerializer s;
    EXPECT_EQ(s.serializeInt("i", -12, 7), 7);
    EXPECT_EQ(s.asked["i"], "-12|7");
    EXPECT_DOUBLE_EQ(s.serializeDouble("d", 0.1, 2.5), 2.5);
    EXPECT_EQ(s.asked["d"], "0.1|2.5");
    s.serializeDouble("d", 1.0 / 3.0, 1e300);
    EXPECT_EQ(s.asked["d"], "0.333333333333333|1e+300");
    EXPECT_TRUE(s.serializeBool("b", false, true));
    EXPECT_EQ(s.asked["b"], "0|1");

    const std::pair<const char*, int32_t> ints[] = {{"42", 42},
                                                    {"  -7", -7},
                                                    {"+9", 9},
                                                    {"15 apples", 15},
                                                    {"2147483647", 2147483647},
                                                    {"apples", 99},
                                                    {"", 99},
                                                    {"2147483648", 99},
                                                    {"-", 99}};
    for (const auto& [text, expected] : ints) {
        s.stored["i"] = text;
        EXPECT_EQ(s.serializeInt("i", 0, 99), expected) << text;
    }
    const std::pair<const char*, double> doubles[] = {
        {"0.25", 0.25}, {"-1e-3", -1e-3}, {"1.5x", 9.0}, {"", 9.0}, {"1e999", 9.0}, {"x", 9.0}};
    for (const auto& [text, expected] : doubles) {
        s.stored["d"] = text;
        EXPECT_DOUBLE_EQ(s.serializeDouble("d", 0.0, 9.0), expected) << text;
    }
    s.stored["b"] = "2";
    EXPECT_TRUE(s.serializeBool("b", false, false));
    s.stored["b"] = "0";
    EXPECT_FALSE(s.serializeBool("b", true, true));
}

TEST(SettingSerializer, WrittenValuesReadBackWithTheirTypesBesideTheOthersOfTheKey) {
    TemporaryUserFolders folders;
    storeSetting(kKey, "Unrelated", Value::ofString("stays"));
    RegistryWriter writer(kKey);
    writer.serializeInt("Int", 1, 0);
    EXPECT_EQ(writer.serializeInt("Int", -5, 3), -5);
    EXPECT_TRUE(writer.serializeBool("Bool", true, false));
    EXPECT_EQ(writer.serializeString("Text", "a\tb", "d"), "a\tb");
    EXPECT_DOUBLE_EQ(writer.serializeDouble("Double", 0.1, 0.0), 0.1);
    std::vector<uint8_t> blob = {1, 2, 254};
    writer.serializeBinary("Blob", blob);

    SettingsStore file(kKey);
    ASSERT_TRUE(file.load());
    EXPECT_EQ(file.values(), (SettingsStore::Values{{"Int", Value::ofDword(0xFFFFFFFBu)},
                                                    {"Bool", Value::ofDword(1)},
                                                    {"Text", Value::ofString("a\tb")},
                                                    {"Double", Value::ofString("0.1")},
                                                    {"Blob", Value::ofBinary({1, 2, 254})},
                                                    {"Unrelated", Value::ofString("stays")}}));

    RegistryReader reader(kKey);
    EXPECT_EQ(reader.serializeInt("Int", 0, 3), -5);
    EXPECT_TRUE(reader.serializeBool("Bool", false, false));
    EXPECT_EQ(reader.serializeString("Text", "", "d"), "a\tb");
    EXPECT_EQ(reader.serializeDouble("Double", 0.0, 0.0), 0.1);
    std::vector<uint8_t> read = {9, 9, 9, 9};
    reader.serializeBinary("Blob", read);
    EXPECT_EQ(read, blob);
}

TEST(SettingSerializer, MissingOrMistypedValuesReadAsDefaults) {
    TemporaryUserFolders folders;
    RegistryReader reader(kKey);
    // No file at all.
    EXPECT_EQ(reader.serializeInt("ConserveMemory", 3, 0), 0);
    EXPECT_EQ(reader.serializeString("PresetFolder", "now", "default"), "default");
    std::vector<uint8_t> bytes = {1};
    reader.serializeBinary("Blob", bytes);
    EXPECT_TRUE(bytes.empty());  // cleared

    storeSetting(kKey, "ConserveMemory", Value::ofString("3"));  // text where a dword belongs
    storeSetting(kKey, "PresetFolder", Value::ofDword(12));
    storeSetting(kKey, "Blob", Value::ofString("0102"));
    storeSetting(kKey, "Double", Value::ofDword(2));
    storeSetting(kKey, "Flag", Value::ofBinary({1, 0, 0, 0}));
    EXPECT_EQ(reader.serializeInt("ConserveMemory", 2, 0), 0);
    EXPECT_EQ(reader.serializeString("PresetFolder", "now", "default"), "default");
    bytes = {1};
    reader.serializeBinary("Blob", bytes);
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(reader.serializeDouble("Double", 1.0, 0.5), 0.5);
    EXPECT_TRUE(reader.serializeBool("Flag", false, true));
    // Another key is another file.
    EXPECT_EQ(RegistryReader("Vorn/2.0").serializeString("Blob", "", "none"), "none");
}

}  // namespace
