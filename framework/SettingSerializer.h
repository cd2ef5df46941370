#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One visitor for both directions of settings persistence. Every call gets the current value and
// a default: a reader returns the stored value, or the default when none is stored or it cannot
// be used; a writer stores the value and returns it. The core and the settings objects see only
// this; the platform's settings store implements it (persistence/RegistrySerializer.h).
class SettingSerializer {
public:
    virtual ~SettingSerializer() = default;

    virtual bool isWriting() const = 0;
    // Reading clears `bytes` and fills it when a binary value is stored.
    virtual void serializeBinary(const std::string& name, std::vector<uint8_t>& bytes) = 0;
    // Through serializeInt with 0 or 1; any non-zero stored value reads as true.
    virtual bool serializeBool(const std::string& name, bool value, bool defaultValue);
    // Through serializeString as "%.15g"; text with anything after the number reads as default.
    virtual double serializeDouble(const std::string& name, double value, double defaultValue);
    // Through serializeString as "%d"; text that does not start with an integer reads as default.
    virtual int32_t serializeInt(const std::string& name, int32_t value, int32_t defaultValue);
    virtual std::string serializeString(const std::string& name, const std::string& value,
                                        const std::string& defaultValue) = 0;
};
