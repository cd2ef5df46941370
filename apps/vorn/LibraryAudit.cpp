#include "apps/vorn/LibraryAudit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "apps/vorn/AudioMeasures.h"
#include "engine/VornPlugin.h"
#include "engine/VornPresets.h"
#include "framework/MidiConstants.h"
#include "persistence/PresetFolder.h"

namespace {

using Category = LibraryAudit::Category;

constexpr int kBlock = 256;
constexpr int kMiddleC = 60;
constexpr double kMiddleCHz = 261.626;
constexpr double kSixteenth = 0.125;  // seconds at 120 BPM
constexpr double kTail = 2, kLongTail = 10;
constexpr double kHeld = 1.5;
constexpr uint8_t kFullVelocity = 127, kSoftVelocity = 30, kPlainVelocity = 100;

constexpr std::array<const char*, LibraryAudit::kCategories> kNames = {
    "bass", "lead", "pad", "keys", "drums", "effects", "sequence"};

// Name words that tell the category where the folder does not.
const std::vector<std::pair<const char*, Category>> kWords = {
    {"Bass", Category::Bass},    {"Pad", Category::Pad},           {"String", Category::Pad},
    {"Brass", Category::Pad},    {"Horn", Category::Pad},          {"Choir", Category::Pad},
    {"Key", Category::Keys},     {"Piano", Category::Keys},        {"Organ", Category::Keys},
    {"Pluck", Category::Keys},   {"Bell", Category::Keys},         {"Mallet", Category::Keys},
    {"Lead", Category::Lead},    {"Kick", Category::Drums},        {"Snare", Category::Drums},
    {"Hat", Category::Drums},    {"Tom", Category::Drums},         {"Clang", Category::Drums},
    {"Arp", Category::Sequence}, {"Sequence", Category::Sequence}, {"Gate", Category::Sequence},
};
const std::vector<std::pair<const char*, Category>> kFolders = {
    {"Bass", Category::Bass},
    {"Brass and Strings", Category::Pad},
    {"Keys", Category::Keys},
    {"Lead", Category::Lead},
    {"Pad", Category::Pad},
    {"Pluck", Category::Keys},
    {"Sequence and Arp", Category::Sequence},
    {"Organ", Category::Keys},
    {"Bells and Mallets", Category::Keys},
    {"Drums and Percussion", Category::Drums},
};

MidiEvent message(uint8_t status, int data1, int data2) {
    MidiEvent e;
    e.status = status;
    e.data1 = static_cast<uint8_t>(data1);
    e.data2 = static_cast<uint8_t>(data2);
    return e;
}

// One note from `start` for `length` seconds.
void addNote(std::vector<TimedMidiEvent>& events, double rate, double start, double length, int key,
             int velocity = kPlainVelocity) {
    events.push_back({std::llround(start * rate), message(midi::kNoteOn, key, velocity)});
    events.push_back({std::llround((start + length) * rate), message(midi::kNoteOff, key, 0)});
}

void addTriad(std::vector<TimedMidiEvent>& events, double rate, double length,
              int velocity = kPlainVelocity) {
    for (int key : {60, 64, 67}) addNote(events, rate, 0, length, key, velocity);
}

bool pitched(Category c) {
    return c != Category::Drums && c != Category::Effects;
}

std::string fixed(double v, int decimals = 1) {
    if (!std::isfinite(v) || v <= -199) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

}  // namespace

Category LibraryAudit::categoryOf(const std::string& name, const std::string& folder) {
    // Plucked strings are judged as plucks wherever they are filed.
    if (name.find("Pizzicato") != std::string::npos) return Category::Keys;
    if (folder == "Effects") {
        for (const auto& [word, c] : kWords)
            if (c == Category::Drums && name.find(word) != std::string::npos) return c;
        return Category::Effects;
    }
    for (const auto& [f, c] : kFolders)
        if (folder == f) return c;
    for (const auto& [word, c] : kWords)
        if (name.find(word) != std::string::npos) return c;
    return Category::Lead;
}

const char* LibraryAudit::categoryName(Category c) {
    return kNames[static_cast<size_t>(c)];
}

std::vector<TimedMidiEvent> LibraryAudit::phrase(Category c, double& seconds) const {
    std::vector<TimedMidiEvent> e;
    switch (c) {
        case Category::Bass:  // two bars of eighths around C2
            seconds = 4;
            for (int i = 0; i < 16; ++i)
                addNote(e, rate_, i * 0.25, 0.2, std::array{36, 36, 48, 36, 43, 41, 39, 43}[i % 8]);
            break;
        case Category::Lead:  // quarters between C4 and C5
            seconds = 4;
            for (int i = 0; i < 8; ++i)
                addNote(e, rate_, i * 0.5, 0.45, std::array{60, 64, 67, 72, 71, 67, 64, 62}[i]);
            break;
        case Category::Pad:
            seconds = 2;
            addTriad(e, rate_, seconds);
            break;
        case Category::Keys:  // the triad, then a bar of sixteenths
            seconds = 3;
            addTriad(e, rate_, 1);
            for (int i = 0; i < 16; ++i)
                addNote(e, rate_, 1 + i * kSixteenth, kSixteenth * 0.8,
                        std::array{60, 64, 67, 72}[i % 4]);
            break;
        case Category::Drums:  // notes 36 to 51
            seconds = 4;
            for (int i = 0; i < 16; ++i) addNote(e, rate_, i * 0.25, 0.1, 36 + i);
            break;
        case Category::Effects:
            seconds = 2;
            addNote(e, rate_, 0, seconds, kMiddleC);
            break;
        case Category::Sequence:  // four bars at 120 BPM
            seconds = 8;
            addTriad(e, rate_, seconds);
            break;
    }
    return e;
}

std::vector<TimedMidiEvent> LibraryAudit::heldC4(int velocity,
                                                 const std::vector<MidiEvent>& before) const {
    std::vector<TimedMidiEvent> events;
    for (const MidiEvent& m : before) events.push_back({0, m});
    addNote(events, rate_, 0, kHeld, kMiddleC, velocity);
    return events;
}

LibraryAudit::Take LibraryAudit::play(const PresetEntry& entry, std::vector<TimedMidiEvent> events,
                                      double seconds) const {
    VornPlugin plugin;
    plugin.presets().loadPreset(entry);
    // The preset's values are in place from the first sample.
    plugin.queueResetMarker();
    OfflineRenderer renderer(plugin, rate_, kBlock);
    renderer.setEvents(std::move(events));
    Take take;
    renderer.render(std::llround(seconds * rate_), take.left, take.right);
    return take;
}

LibraryAudit::Row LibraryAudit::measure(const PresetEntry& entry, const std::string& folder) const {
    Row row;
    row.name = entry.name;
    row.category = categoryOf(entry.name, folder);
    row.inharmonic = folder == "Bells and Mallets" || entry.name.find("Bell") != std::string::npos;
    double seconds = 0;
    std::vector<TimedMidiEvent> notes = phrase(row.category, seconds);
    Take take = play(entry, std::move(notes), seconds + kLongTail);
    const auto phraseEnd = static_cast<size_t>((seconds + kTail) * rate_);
    Take heard{{take.left.begin(), take.left.begin() + long(phraseEnd)},
               {take.right.begin(), take.right.begin() + long(phraseEnd)}};
    row.lufs = measure::loudness(heard.left, heard.right, rate_).lufs;
    row.monoLossDb = measure::monoLossDb(heard.left, heard.right);
    row.lowSideDb = measure::lowSideDb(heard.left, heard.right, rate_);
    row.phrasePeakDb = measure::peakDb(heard.left, heard.right);
    const auto lastSecond = take.left.size() - static_cast<size_t>(rate_);
    row.tailPeakDb = measure::peakDb({take.left.begin() + long(lastSecond), take.left.end()},
                                     {take.right.begin() + long(lastSecond), take.right.end()});

    std::vector<TimedMidiEvent> triad;
    addTriad(triad, rate_, kHeld, kFullVelocity);
    take = play(entry, std::move(triad), kHeld + kTail);
    row.truePeakDb = measure::loudness(take.left, take.right, rate_).truePeakDb;
    row.triad = measure::spectrogram(measure::mono(take.left, take.right));

    const auto c4 = [&](int velocity, std::vector<MidiEvent> before) {
        const Take t = play(entry, heldC4(velocity, before), kHeld);
        return measure::mono(t.left, t.right);
    };
    const std::vector<float> plain = c4(kPlainVelocity, {});
    // Past the attack, in the loudest part (a gate may close, a pluck decays), and at the same
    // moment bent.
    const size_t at = measure::loudestWindow(plain, static_cast<size_t>(0.1 * rate_));
    row.pitchHz = measure::pitchHz(plain, rate_, at);
    const double bent =
        measure::pitchHz(c4(kPlainVelocity, {message(midi::kPitchBend, 0x7F, 0x7F)}), rate_, at);
    row.bendCents = row.pitchHz > 0 && bent > 0 ? 1200 * std::log2(bent / row.pitchHz) : 0;
    const std::vector<float> base = measure::spectrogram(plain);
    row.wheelDb = measure::spectralDistanceDb(
        base, measure::spectrogram(
                  c4(kPlainVelocity, {message(midi::kControlChange, midi::kModWheel, 127)})));
    row.velocityDb = measure::spectralDistanceDb(measure::spectrogram(c4(kFullVelocity, {})),
                                                 measure::spectrogram(c4(kSoftVelocity, {})));
    return row;
}

void LibraryAudit::compare(std::vector<Row>& rows) {
    for (Row& a : rows) {
        a.similarity = -1;
        for (const Row& b : rows) {
            if (&a == &b) continue;
            const double r = measure::correlation(a.triad, b.triad);
            if (r > a.similarity) {
                a.similarity = r;
                a.nearest = b.name;
            }
        }
    }
}

std::string LibraryAudit::Row::faults() const {
    std::string f;
    const auto add = [&f](bool bad, const std::string& what) {
        if (bad) f += (f.empty() ? "" : ", ") + what;
    };
    const bool percussive = !pitched(category);
    const double target = percussive ? kPercussionLufs : kTargetLufs;
    const double tolerance = percussive ? kPercussionTolerance : kLufsTolerance;
    add(phrasePeakDb < -60, "silent");
    add(std::fabs(lufs - target) > tolerance, "loudness");
    add(truePeakDb > kMaxTruePeakDb, "true peak");
    add(monoLossDb < -kMaxMonoLossDb, "mono");
    add(category == Category::Bass && lowSideDb > -20, "wide low end");
    const bool atPitch = std::fabs(1200 * std::log2(pitchHz / kMiddleCHz)) < 50 ||
                         (category == Category::Bass &&
                          std::fabs(1200 * std::log2(pitchHz / (kMiddleCHz / 2))) < 50);
    // A sequence's steps may start anywhere in its pattern; a bell's partials have no common
    // period that is its pitch.
    add(pitched(category) && category != Category::Sequence && !inharmonic && pitchHz > 0 &&
            !atPitch,
        "pitch");
    add(pitched(category) && std::fabs(bendCents - 200) > 20, "bend");
    add(wheelDb < kAudibleChangeDb, "wheel");
    add((category == Category::Bass || category == Category::Lead || category == Category::Keys) &&
            velocityDb < kAudibleChangeDb,
        "velocity");
    add(tailPeakDb > -70, "stuck");
    add(similarity > kMaxSimilarity, "like " + nearest);
    return f;
}

void LibraryAudit::print(const std::vector<Row>& rows, std::FILE* out) {
    std::fprintf(out, "%-28s %-8s %6s %6s %6s %7s %7s %6s %6s %6s %5s  %s\n", "preset", "category",
                 "LUFS", "dBTP", "mono", "lowside", "C4 Hz", "bend", "wheel", "vel", "alike",
                 "faults");
    for (const Row& r : rows) {
        std::fprintf(out, "%-28s %-8s %6s %6s %6s %7s %7s %6s %6s %6s %5s  %s\n", r.name.c_str(),
                     categoryName(r.category), fixed(r.lufs).c_str(), fixed(r.truePeakDb).c_str(),
                     fixed(r.monoLossDb).c_str(), fixed(r.lowSideDb, 0).c_str(),
                     r.pitchHz > 0 ? fixed(r.pitchHz).c_str() : "-", fixed(r.bendCents, 0).c_str(),
                     fixed(r.wheelDb).c_str(), fixed(r.velocityDb).c_str(),
                     fixed(r.similarity, 3).c_str(), r.faults().c_str());
    }
}
