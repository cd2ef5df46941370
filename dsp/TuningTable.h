#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

// The pitch of every MIDI key under a Scala scale and keyboard map, as a note number on the
// 12-tone equal scale (69 = 440 Hz) so that equal temperament gives back the whole key numbers.
class TuningTable {
public:
    static constexpr int kKeys = 128;

    // Reads .scl text and optional .kbm text (empty: key 60 plays degree 0, key 69 is 440 Hz).
    // Returns null and an error naming the file and line when either is refused; the names
    // stand for the files in it.
    static std::unique_ptr<TuningTable> create(std::string_view scale, std::string_view keymap,
                                               std::string& error,
                                               std::string_view scaleName = "scale file",
                                               std::string_view keymapName = "keyboard map");

    float note(int key) const { return notes_[static_cast<size_t>(key)]; }
    bool mapped(int key) const { return mapped_[static_cast<size_t>(key)]; }
    // Exact frequency in Hz before the note numbers were rounded to float.
    double frequency(int key) const { return frequencies_[static_cast<size_t>(key)]; }
    const std::string& scaleText() const { return scaleText_; }
    const std::string& keymapText() const { return keymapText_; }
    const std::string& description() const { return description_; }

private:
    TuningTable() = default;

    std::array<float, kKeys> notes_{};
    std::array<bool, kKeys> mapped_{};
    std::array<double, kKeys> frequencies_{};
    std::string scaleText_;
    std::string keymapText_;
    std::string description_;
};

// The tuning in force. The audio thread reads it without lock or allocation; a new table replaces
// the old one, which is freed on the replacing thread once no reader holds it.
class TuningSlot {
public:
    struct Key {
        float note;
        bool mapped;
    };

    TuningSlot() = default;
    ~TuningSlot();
    TuningSlot(const TuningSlot&) = delete;
    TuningSlot& operator=(const TuningSlot&) = delete;

    // Any thread but the audio thread. Null restores equal temperament.
    void set(std::unique_ptr<TuningTable> table);
    // The table in force, for the thread that sets it (saving, display).
    const TuningTable* current() const { return table_.load(); }

    // Audio thread: the key's note number, the key itself without a tuning.
    Key key(int note) const {
        if (note < 0 || note >= TuningTable::kKeys) return {static_cast<float>(note), true};
        readers_.fetch_add(1);
        const TuningTable* table = table_.load();
        const Key k = table ? Key{table->note(note), table->mapped(note)}
                            : Key{static_cast<float>(note), true};
        readers_.fetch_sub(1);
        return k;
    }

private:
    std::atomic<const TuningTable*> table_{nullptr};
    mutable std::atomic<int> readers_{0};
    std::mutex writer_;
};
