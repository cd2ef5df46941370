#include "gui/BitmapFiler.h"

#include <mutex>
#include <string>
#include <vector>

#include "gui/PNGFiler.h"
#include "persistence/ResourceOpener.h"

namespace gui {

namespace {

struct FilerRegistry {
    FilerRegistry() { factories.push_back(std::make_unique<PNGFilerFactory>()); }

    std::mutex mutex;
    std::vector<std::unique_ptr<BitmapFilerFactory>> factories;
};

FilerRegistry& filerRegistry() {
    static FilerRegistry registry;
    return registry;
}

// Factories are never removed, so the pointers outlive the lock.
std::vector<const BitmapFilerFactory*> factories() {
    FilerRegistry& registry = filerRegistry();
    std::lock_guard lock(registry.mutex);
    std::vector<const BitmapFilerFactory*> list;
    for (const auto& factory : registry.factories) list.push_back(factory.get());
    return list;
}

}  // namespace

void registerBitmapFilerFactory(std::unique_ptr<BitmapFilerFactory> factory) {
    if (!factory) return;
    FilerRegistry& registry = filerRegistry();
    std::lock_guard lock(registry.mutex);
    registry.factories.push_back(std::move(factory));
}

Bitmap decodeBitmap(std::span<const uint8_t> bytes) {
    for (const BitmapFilerFactory* factory : factories()) {
        const std::unique_ptr<BitmapFiler> filer = factory->create();
        if (filer->accepts(bytes)) return filer->load(bytes);
    }
    throw EBitmap(EBitmap::Kind::UnknownFormat);
}

Bitmap loadBitmap(std::string_view name) {
    return decodeBitmap(openResource(std::string(name) + ".png"));
}

}  // namespace gui
