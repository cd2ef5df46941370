#pragma once

#include <string>
#include <string_view>

namespace gui::x11 {

// The "GraphicsAcceleration" setting: 0 draws with Cairo, anything else asks for OpenGL at the
// frame rate of the low four bits (2: 30, 3: 20, else 60 frames/s); bit 16 accepts Matrox cards.
struct AccelerationSetting {
    bool openGL = false;
    int framesPerSecond = 60;
    bool allowMatrox = false;

    static AccelerationSetting from(int value);
};

// What a made-current context says about itself.
struct GlStrings {
    std::string_view version;     // GL_VERSION, "major.minor..."
    std::string_view renderer;    // GL_RENDERER
    std::string_view vendor;      // GL_VENDOR
    std::string_view extensions;  // GL_EXTENSIONS, space separated
};

// "major.minor" as major * 10 + minor (capped at 9); 0 when unreadable.
int parseGlVersion(std::string_view version);
bool hasExtension(std::string_view extensions, std::string_view name);

// Why this context cannot draw the window, empty when it can: version at least 1.3 with
// multitexture, non-power-of-two textures, no software rasteriser unless `forced`, no Matrox
// card unless allowed.
std::string glRefusal(const GlStrings& gl, const AccelerationSetting& setting, bool forced);

}  // namespace gui::x11
