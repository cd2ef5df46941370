#include "persistence/SettingSerializer.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "persistence/SettingsStore.h"

namespace {

std::string formatInt(int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return text;
}

std::string formatDouble(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

// One integer at the start of the text, as "%d" scans it: leading blanks and a sign allowed,
// anything after the digits ignored.
bool scanInt(const std::string& text, int32_t& value) {
    const char* p = text.c_str();
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    if (*p == '+') ++p;
    const char* end = text.c_str() + text.size();
    return std::from_chars(p, end, value).ec == std::errc();
}

}  // namespace

bool SettingSerializer::serializeBool(const std::string& name, bool value, bool defaultValue) {
    return serializeInt(name, value ? 1 : 0, defaultValue ? 1 : 0) != 0;
}

double SettingSerializer::serializeDouble(const std::string& name, double value,
                                          double defaultValue) {
    const std::string text = serializeString(name, formatDouble(value), formatDouble(defaultValue));
    errno = 0;
    char* end = nullptr;
    const double result = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || errno == ERANGE) return defaultValue;
    return result;
}

int32_t SettingSerializer::serializeInt(const std::string& name, int32_t value,
                                        int32_t defaultValue) {
    const std::string text = serializeString(name, formatInt(value), formatInt(defaultValue));
    int32_t result = 0;
    return scanInt(text, result) ? result : defaultValue;
}

// --- Reader ------------------------------------------------------------------------------------

RegistryReader::RegistryReader(std::string keyPath) : keyPath_(std::move(keyPath)) {}

void RegistryReader::serializeBinary(const std::string& name, std::vector<uint8_t>& bytes) {
    bytes.clear();
    SettingsStore store(keyPath_);
    store.load();
    const SettingsStore::Value* v = store.find(name);
    if (v && v->type == SettingsStore::Type::Binary) bytes = v->bytes;
}

int32_t RegistryReader::serializeInt(const std::string& name, int32_t /*value*/,
                                     int32_t defaultValue) {
    SettingsStore store(keyPath_);
    store.load();
    const SettingsStore::Value* v = store.find(name);
    if (!v || v->type != SettingsStore::Type::Dword) return defaultValue;
    return static_cast<int32_t>(v->dword);
}

std::string RegistryReader::serializeString(const std::string& name, const std::string& /*value*/,
                                            const std::string& defaultValue) {
    SettingsStore store(keyPath_);
    store.load();
    const SettingsStore::Value* v = store.find(name);
    if (!v || v->type != SettingsStore::Type::String) return defaultValue;
    return v->text;
}

// --- Writer ------------------------------------------------------------------------------------

namespace {

void store(const std::string& keyPath, const std::string& name, SettingsStore::Value value) {
    SettingsStore store(keyPath);
    store.load();
    store.set(name, std::move(value));
    store.save();
}

}  // namespace

RegistryWriter::RegistryWriter(std::string keyPath) : keyPath_(std::move(keyPath)) {}

void RegistryWriter::serializeBinary(const std::string& name, std::vector<uint8_t>& bytes) {
    store(keyPath_, name, SettingsStore::Value::ofBinary(bytes));
}

int32_t RegistryWriter::serializeInt(const std::string& name, int32_t value,
                                     int32_t /*defaultValue*/) {
    store(keyPath_, name, SettingsStore::Value::ofDword(static_cast<uint32_t>(value)));
    return value;
}

std::string RegistryWriter::serializeString(const std::string& name, const std::string& value,
                                            const std::string& /*defaultValue*/) {
    store(keyPath_, name, SettingsStore::Value::ofString(value));
    return value;
}
