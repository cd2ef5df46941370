#pragma once

#include <array>
#include <atomic>
#include <cstdint>

// Parameter id driven by each MIDI controller. A parameter has at most one controller. The map is
// written by MIDI learn and the user-interface thread and read on the audio thread; entries are
// single 32-bit words, so relaxed atomics are all the synchronisation needed.
class MidiControllerMap {
public:
    static constexpr int kControllers = 128;
    static constexpr int32_t kUnmapped = -1;
    // Controller value for assign() that only unmaps the parameter.
    static constexpr int kNoController = -1;

    MidiControllerMap();
    MidiControllerMap(const MidiControllerMap&) = delete;
    MidiControllerMap& operator=(const MidiControllerMap&) = delete;

    // Maps `controller` to `parameterId` after unmapping any other controller of that parameter.
    // kNoController only unmaps the parameter; other controllers outside 0..127 change nothing.
    void assign(int controller, int32_t parameterId);
    // kUnmapped for unmapped controllers and for numbers outside 0..127.
    int32_t parameterFor(int controller) const;
    void clear();

private:
    std::array<std::atomic<int32_t>, kControllers> ids_;
};
