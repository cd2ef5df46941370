#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "dsp/OscillatorStyle.h"

// The wave-table cache file "QVOscTbl": a 28-byte little-endian header (magic, version, the four
// tone constants the tables depend on) followed by the triangle and the sawtooth set, 128 rows of
// 4097 float32 each.
class OscillatorTableCache {
public:
    static constexpr char kMagic[8] = {'Q', 'V', 'O', 's', 'c', 'T', 'b', 'l'};
    static constexpr int32_t kVersion = 2;
    static constexpr float kTolerance = 0.0001f;  // of each tone constant against the Style's
    static constexpr const char* kFileName = "Vorn.dat";
    static constexpr size_t kHeaderSize = 28;
    static constexpr size_t kSetSize = sizeof(float) * Oscillator::Style::kTableSize;
    static constexpr size_t kFileSize = kHeaderSize + 2 * kSetSize;  // 4,195,356

    // Reads both sets into the Style; false (with the tables in an unknown state) unless the
    // header matches the Style's constants and the whole file could be read.
    static bool read(Oscillator::Style& style, std::istream& in);
    // false when the stream failed.
    static bool write(const Oscillator::Style& style, std::ostream& out);
};

// Loads the tables from folder/"Vorn.dat", or computes them and replaces the file atomically
// (temporary file, sync, rename), creating the folder if needed; a failed write is silent. True
// when the tables came from the file.
bool loadOrBuildOscillatorTables(Oscillator::Style& style, const std::string& folder);
