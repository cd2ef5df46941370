#include "persistence/ResourceOpener.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "resources/EmbeddedResources.h"

namespace {

std::string_view withoutExtension(std::string_view name) {
    const size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? name : name.substr(0, dot);
}

std::string lookupKey(std::string_view name) {
    std::string key(withoutExtension(name));
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return key;
}

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
        return std::toupper(x) == std::toupper(y);
    });
}

struct Registry {
    std::mutex mutex;
    std::map<std::string, std::vector<uint8_t>> entries;
};

Registry& registry() {
    static Registry r;
    return r;
}

std::optional<std::span<const uint8_t>> find(std::string_view name) {
    {
        Registry& r = registry();
        std::lock_guard lock(r.mutex);
        const auto it = r.entries.find(lookupKey(name));
        if (it != r.entries.end()) return std::span<const uint8_t>(it->second);
    }
    const std::string_view stem = withoutExtension(name);
    for (const EmbeddedResource& resource : embeddedResources()) {
        if (sameName(resource.name, stem)) return resource.data;
    }
    return std::nullopt;
}

}  // namespace

std::span<const uint8_t> openResource(std::string_view name) {
    if (const auto bytes = find(name)) return *bytes;
    throw EResource();
}

bool resourceExists(std::string_view name) {
    return find(name).has_value();
}

void registerResource(std::string_view name, std::span<const uint8_t> bytes) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.entries[lookupKey(name)].assign(bytes.begin(), bytes.end());
}

void unregisterResource(std::string_view name) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.entries.erase(lookupKey(name));
}
