#include "persistence/RegistrySerializer.h"

#include <cstdio>
#include <mutex>
#include <set>

#include "persistence/SettingsStore.h"

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

// A settings file that could not be read cleanly is left as it is (the values in memory are
// the defaults then), and said so once.
void store(const std::string& keyPath, const std::string& name, SettingsStore::Value value) {
    SettingsStore store(keyPath);
    store.load();
    if (!store.writable()) {
        static std::mutex mutex;
        static std::set<std::string> told;
        const std::lock_guard<std::mutex> lock(mutex);
        if (told.insert(store.filePath()).second) {
            std::fprintf(stderr, "Vorn: %s could not be read; it is left unchanged\n",
                         store.filePath().c_str());
        }
        return;
    }
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
