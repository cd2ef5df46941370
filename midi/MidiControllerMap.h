#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <span>

// Parameter id driven by each MIDI controller. A parameter has at most one controller. The map is
// written by MIDI learn and the user-interface thread and read on the audio thread; entries are
// single 32-bit words, so relaxed atomics are all the synchronisation needed.
class MidiControllerMap {
public:
    static constexpr int kControllers = 128;
    static constexpr int32_t kUnmapped = -1;
    // Controller value for assign() that only unmaps the parameter.
    static constexpr int kNoController = -1;

    // File layout, little-endian: "QVCM", uint32 version, then one int32 id per controller.
    static constexpr std::array<uint8_t, 4> kMagic = {'Q', 'V', 'C', 'M'};
    static constexpr uint32_t kFileVersion = 1;
    static constexpr size_t kFileSize = 8 + 4 * kControllers;
    using FileBytes = std::array<uint8_t, kFileSize>;

    MidiControllerMap();
    MidiControllerMap(const MidiControllerMap&) = delete;
    MidiControllerMap& operator=(const MidiControllerMap&) = delete;

    // Maps `controller` to `parameterId` after unmapping any other controller of that parameter.
    // kNoController only unmaps the parameter; other controllers outside 0..127 change nothing.
    void assign(int controller, int32_t parameterId);
    // kUnmapped for unmapped controllers and for numbers outside 0..127.
    int32_t parameterFor(int controller) const;
    void clear();

    // Reads the file layout. A wrong magic fails and leaves the map as it was. Otherwise the ids
    // are read in order (the version is not checked); a short file fails and the controllers it
    // does not reach get id 0. Bytes after the last id are ignored.
    bool readMap(std::span<const uint8_t> bytes);
    FileBytes writeMap() const;

private:
    std::array<std::atomic<int32_t>, kControllers> ids_;
};
