#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "apps/vorn/OfflineRenderer.h"

struct PresetEntry;

// Plays presets as a musician tries them (a phrase of their category, a triad at full velocity,
// a held C4 plain, bent, with the mod wheel up and at velocity 30) and measures each render.
class LibraryAudit {
public:
    enum class Category { Bass, Lead, Pad, Keys, Drums, Effects, Sequence };
    static constexpr int kCategories = 7;

    // The windows a factory preset must keep.
    static constexpr double kTargetLufs = -18, kLufsTolerance = 3;
    static constexpr double kPercussionLufs = -24, kPercussionTolerance = 4;
    static constexpr double kMaxTruePeakDb = -1;
    static constexpr double kMaxMonoLossDb = 3;
    // A control "moves" a preset when the spectrogram changes by this much on average.
    static constexpr double kAudibleChangeDb = 1;
    static constexpr double kMaxSimilarity = 0.97;

    struct Row {
        std::string name;
        Category category = Category::Lead;
        bool inharmonic = false;  // bells: no pitch to check
        double lufs = 0, truePeakDb = 0, monoLossDb = 0, lowSideDb = 0, phrasePeakDb = 0;
        double tailPeakDb = 0;  // the last second of a long tail: a stuck note keeps it up
        double pitchHz = 0;     // of a held C4 (261.63 Hz at written pitch); 0: unpitched
        double bendCents = 0;   // full pitch bend up, against the plain C4
        double wheelDb = 0, velocityDb = 0;  // spectrogram change, mod wheel up, velocity 30/127
        std::string nearest;                 // the preset whose triad is most alike
        double similarity = 0;
        std::vector<float> triad;  // log spectrogram, for the comparison

        // The windows this row misses, as words; empty when it keeps every one.
        std::string faults() const;
    };

    explicit LibraryAudit(double rate = 48000) : rate_(rate) {}
    double rate() const { return rate_; }

    // From the name first ("Bass", "Pad", "Kick"...), else from the folder.
    static Category categoryOf(const std::string& name, const std::string& folder);
    static const char* categoryName(Category c);
    // The notes the category is judged on, and how long they last.
    std::vector<TimedMidiEvent> phrase(Category c, double& seconds) const;

    Row measure(const PresetEntry& entry, const std::string& folder) const;
    // Fills every row's nearest neighbour.
    static void compare(std::vector<Row>& rows);
    static void print(const std::vector<Row>& rows, std::FILE* out);

private:
    struct Take {
        std::vector<float> left, right;
    };
    Take play(const PresetEntry& entry, std::vector<TimedMidiEvent> events, double seconds) const;
    std::vector<TimedMidiEvent> heldC4(int velocity, const std::vector<MidiEvent>& before) const;

    double rate_;
};
