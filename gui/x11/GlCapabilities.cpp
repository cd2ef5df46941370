#include "gui/x11/GlCapabilities.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace gui::x11 {
namespace {

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

AccelerationSetting AccelerationSetting::from(int value) {
    AccelerationSetting s;
    s.openGL = value != 0;
    const int rate = value & 15;
    s.framesPerSecond = rate == 2 ? 30 : rate == 3 ? 20 : 60;
    s.allowMatrox = (value & 16) != 0;
    return s;
}

int parseGlVersion(std::string_view version) {
    int major = 0, minor = 0;
    const std::string text(version);
    if (std::sscanf(text.c_str(), "%d.%d", &major, &minor) != 2 || major < 0 || minor < 0) return 0;
    return major * 10 + std::min(minor, 9);
}

bool hasExtension(std::string_view extensions, std::string_view name) {
    for (size_t pos = 0; pos < extensions.size();) {
        const size_t end = std::min(extensions.find(' ', pos), extensions.size());
        if (extensions.substr(pos, end - pos) == name) return true;
        pos = end + 1;
    }
    return false;
}

std::string glRefusal(const GlStrings& gl, const AccelerationSetting& setting, bool forced) {
    const int version = parseGlVersion(gl.version);
    if (version < 13) return "OpenGL version " + std::string(gl.version) + " is below 1.3";
    // Legacy versions say it in their extension strings; 2.0 made both core.
    if (version < 20 && !hasExtension(gl.extensions, "GL_ARB_texture_non_power_of_two"))
        return "no non-power-of-two textures";
    const std::string renderer = upper(gl.renderer);
    for (const char* soft : {"LLVMPIPE", "SOFTPIPE", "SWRAST"})
        if (renderer.find(soft) != std::string::npos && !forced)
            return "software rasteriser " + std::string(gl.renderer);
    if (upper(gl.vendor).find("MATROX") != std::string::npos && !setting.allowMatrox)
        return "Matrox adapter not enabled";
    return {};
}

}  // namespace gui::x11
