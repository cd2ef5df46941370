#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/SettingSerializer.h"

// Reads the values of one key of the settings store (persistence/SettingsStore.h). A missing key
// or value, or one of another type, reads as the default.
class RegistryReader : public SettingSerializer {
public:
    explicit RegistryReader(std::string keyPath);

    bool isWriting() const override { return false; }
    void serializeBinary(const std::string& name, std::vector<uint8_t>& bytes) override;
    int32_t serializeInt(const std::string& name, int32_t value, int32_t defaultValue) override;
    std::string serializeString(const std::string& name, const std::string& value,
                                const std::string& defaultValue) override;

private:
    std::string keyPath_;
};

// Stores values under one key of the settings store, creating it when missing. Each value is
// written at once; a failed write is ignored.
class RegistryWriter : public SettingSerializer {
public:
    explicit RegistryWriter(std::string keyPath);

    bool isWriting() const override { return true; }
    void serializeBinary(const std::string& name, std::vector<uint8_t>& bytes) override;
    int32_t serializeInt(const std::string& name, int32_t value, int32_t defaultValue) override;
    std::string serializeString(const std::string& name, const std::string& value,
                                const std::string& defaultValue) override;

private:
    std::string keyPath_;
};
