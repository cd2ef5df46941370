#include "dsp/OscillatorTableCache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>

// The tables are stored in the machine's own float layout.
static_assert(std::endian::native == std::endian::little);

namespace {

template <class T>
bool readValue(std::istream& in, T& value) {
    return static_cast<bool>(in.read(reinterpret_cast<char*>(&value), sizeof value));
}

template <class T>
void writeValue(std::ostream& out, const T& value) {
    out.write(reinterpret_cast<const char*>(&value), sizeof value);
}

bool matches(float stored, float current) {
    return std::fabs(stored - current) <= OscillatorTableCache::kTolerance;
}

}  // namespace

bool OscillatorTableCache::read(Oscillator::Style& style, std::istream& in) {
    char magic[sizeof kMagic];
    int32_t version = 0;
    float triangleGain = 0, triangleRolloff = 0, triangleSawMix = 0, sawGain = 0;
    if (!in.read(magic, sizeof magic) || std::memcmp(magic, kMagic, sizeof kMagic) != 0) {
        return false;
    }
    if (!readValue(in, version) || version != kVersion) return false;
    if (!readValue(in, triangleGain) || !readValue(in, triangleRolloff) ||
        !readValue(in, triangleSawMix) || !readValue(in, sawGain)) {
        return false;
    }
    const Oscillator::Style::Tones& tones = style.tones();
    if (!matches(triangleGain, tones.triangleGain) ||
        !matches(triangleRolloff, tones.triangleRolloff) ||
        !matches(triangleSawMix, tones.triangleSawMix) || !matches(sawGain, tones.sawGain)) {
        return false;
    }
    in.read(reinterpret_cast<char*>(style.triangleTables()), kSetSize);
    in.read(reinterpret_cast<char*>(style.sawTables()), kSetSize);
    return in.good();
}

bool OscillatorTableCache::write(const Oscillator::Style& style, std::ostream& out) {
    const Oscillator::Style::Tones& tones = style.tones();
    out.write(kMagic, sizeof kMagic);
    writeValue(out, kVersion);
    writeValue(out, tones.triangleGain);
    writeValue(out, tones.triangleRolloff);
    writeValue(out, tones.triangleSawMix);
    writeValue(out, tones.sawGain);
    out.write(reinterpret_cast<const char*>(style.triangleTables()), kSetSize);
    out.write(reinterpret_cast<const char*>(style.sawTables()), kSetSize);
    return out.good();
}

namespace {

constexpr mode_t kFileMode = 0644;

// Writes the file under a unique temporary name in the same folder and renames it over the old
// one, so a reader sees either a whole file or none.
bool replaceCacheFile(const Oscillator::Style& style, const std::filesystem::path& folder,
                      const std::filesystem::path& file) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::string temporary = (folder / (std::string(OscillatorTableCache::kFileName) + ".XXXXXX"));
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return false;
    ::close(fd);
    bool written = false;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        written = out && OscillatorTableCache::write(style, out);
        out.close();
        written = written && !out.fail();
    }
    if (written) {
        const int sync = ::open(temporary.c_str(), O_RDONLY);
        written = sync >= 0 && ::fchmod(sync, kFileMode) == 0 && ::fsync(sync) == 0;
        if (sync >= 0) ::close(sync);
    }
    if (!written || ::rename(temporary.c_str(), file.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    const int directory = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (directory >= 0) {
        ::fsync(directory);
        ::close(directory);
    }
    return true;
}

}  // namespace

bool loadOrBuildOscillatorTables(Oscillator::Style& style, const std::string& folder) {
    const std::filesystem::path directory(folder);
    const std::filesystem::path file = directory / OscillatorTableCache::kFileName;
    {
        std::ifstream in(file, std::ios::binary);
        if (in && OscillatorTableCache::read(style, in)) return true;
    }
    style.computeTables();
    replaceCacheFile(style, directory, file);
    return false;
}
