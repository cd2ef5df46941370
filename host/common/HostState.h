#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

class VornPlugin;

// What every plug-in binding (LV2, CLAP) keeps of an instance and tells its host.
namespace HostState {

// The synthesizer's parameters, each a host control of its own.
inline constexpr uint32_t kParameterCount = 883;

// The session state: the parameter record of the current values ("QV2i", this version).
std::vector<uint8_t> record(VornPlugin& synth);

// Loads a record of this version exactly, or one of an earlier version through the preset
// loaders. On success the current preset takes the name (and no path), a waiting program change
// is dropped and every value jumps at once instead of gliding. False leaves the values alone.
bool restore(VornPlugin& synth, std::span<const uint8_t> record, const std::string& presetName);

// The tuning a session keeps: the .scl and .kbm texts, empty for equal temperament.
struct TuningTexts {
    std::string scale;
    std::string keymap;
};
TuningTexts tuning(VornPlugin& synth);
// Sets the saved tuning; no scale, or one that is refused, leaves equal temperament.
void restoreTuning(VornPlugin& synth, const TuningTexts& texts);

// Parameters changed inside the plug-in (preset loads, program changes, MIDI learn) that the host
// has yet to hear of. Any thread marks; one consumer takes.
class InsideChanges {
public:
    // -1 marks every parameter.
    void mark(int id) {
        if (id < 0) {
            for (auto& flag : pending_) flag.store(true, std::memory_order_release);
        } else if (static_cast<uint32_t>(id) < kParameterCount) {
            pending_[static_cast<size_t>(id)].store(true, std::memory_order_release);
        } else {
            return;
        }
        any_.store(true, std::memory_order_release);
    }

    // Calls take(id) for each marked parameter and clears it; take returns false when it has no
    // room for more, which keeps that one and the rest marked.
    template <typename Take>
    void take(Take&& take) {
        if (!any_.exchange(false, std::memory_order_acq_rel)) return;
        for (uint32_t id = 0; id < kParameterCount; ++id) {
            if (!pending_[id].load(std::memory_order_acquire)) continue;
            if (!take(static_cast<int>(id))) {
                any_.store(true, std::memory_order_release);
                return;
            }
            pending_[id].store(false, std::memory_order_release);
        }
    }

private:
    std::array<std::atomic<bool>, kParameterCount> pending_{};
    std::atomic<bool> any_{false};
};

}  // namespace HostState
