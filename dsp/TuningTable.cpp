#include "dsp/TuningTable.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "dsp/TuningScale.h"

namespace {

constexpr double kA4Frequency = 440.0;
constexpr int kA4 = 69;
// Far enough past the keyboard for any sensible scale, near enough to keep oscillators sane.
constexpr double kLowestNote = -36.0;
constexpr double kHighestNote = 160.0;

}  // namespace

std::unique_ptr<TuningTable> TuningTable::create(std::string_view scale, std::string_view keymap,
                                                 std::string& error, std::string_view scaleName,
                                                 std::string_view keymapName) {
    TuningScale scl;
    KeyboardMapping kbm;
    ScalaError why;
    if (!TuningScale::parse(scale, scl, why)) {
        error = std::string(scaleName) + ": " + why.text();
        return nullptr;
    }
    if (!keymap.empty() && !KeyboardMapping::parse(keymap, kbm, why)) {
        error = std::string(keymapName) + ": " + why.text();
        return nullptr;
    }
    const int size = static_cast<int>(scl.cents.size());
    const int referenceDegree = kbm.degreeOf(kbm.referenceNote, size);
    if (referenceDegree == KeyboardMapping::kUnmapped) {
        error = std::string(keymapName) + ": reference note " + std::to_string(kbm.referenceNote) +
                " is not mapped to a scale degree";
        return nullptr;
    }
    const double referenceCents = scl.degreeCents(referenceDegree);
    std::unique_ptr<TuningTable> table(new TuningTable());
    for (int key = 0; key < kKeys; ++key) {
        const int degree = kbm.degreeOf(key, size);
        const auto k = static_cast<size_t>(key);
        table->mapped_[k] = degree != KeyboardMapping::kUnmapped;
        const double cents = table->mapped_[k] ? scl.degreeCents(degree) - referenceCents : 0.0;
        const double hz = table->mapped_[k] ? kbm.referenceFrequency * std::exp2(cents / 1200.0)
                                            : kA4Frequency * std::exp2((key - kA4) / 12.0);
        table->frequencies_[k] = hz;
        const double note = kA4 + 12.0 * std::log2(hz / kA4Frequency);
        // Also catches a scale whose degrees overflow to infinity.
        table->notes_[k] =
            static_cast<float>(note > kLowestNote ? std::min(note, kHighestNote) : kLowestNote);
    }
    table->scaleText_ = std::string(scale);
    table->keymapText_ = std::string(keymap);
    table->description_ = scl.description;
    return table;
}

TuningSlot::~TuningSlot() {
    delete table_.load();
}

void TuningSlot::set(std::unique_ptr<TuningTable> table) {
    std::lock_guard guard(writer_);
    const TuningTable* old = table_.exchange(table.release());
    // A reader that saw the old table has already announced itself; wait for it to finish.
    while (readers_.load() != 0) std::this_thread::yield();
    delete old;
}
