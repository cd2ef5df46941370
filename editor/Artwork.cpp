#include "editor/Artwork.h"

#include <map>
#include <memory>
#include <string>

#include "gui/Bitmap.h"
#include "gui/BitmapFiler.h"

cairo_surface_t* artwork(std::string_view name) {
    // Editor thread only.
    static std::map<std::string, std::unique_ptr<gui::Bitmap>, std::less<>> cache;
    auto it = cache.find(name);
    if (it == cache.end()) {
        std::unique_ptr<gui::Bitmap> bitmap;
        try {
            bitmap = std::make_unique<gui::Bitmap>(gui::loadBitmap(name));
        } catch (const std::exception&) {
        }
        it = cache.emplace(std::string(name), std::move(bitmap)).first;
    }
    return it->second ? it->second->surface() : nullptr;
}
