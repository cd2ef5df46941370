#pragma once

#include <cstdint>

// How unison spreads over the voices: "Total Voices" T oscillator voices are shared by notes of
// min(T, U) oscillator voices each ("Unison Voices" U), placed evenly from -1 to +1.
class UnisonLayout {
public:
    // Outer voices sit one semitone from the centre at full spread, before the variation.
    static constexpr double kSemitonesPerOctave = 12.0;
    // Each note draws a factor in [kDetuneBase, kDetuneBase + kDetuneVariation].
    static constexpr double kDetuneBase = 0.95;
    static constexpr double kDetuneVariation = 0.1;
    // Start state of the detune generator.
    static constexpr uint32_t kLcgSeed = 1;

    static int voicesPerNote(int totalVoices, int unisonVoices);
    static int notesAtATime(int totalVoices, int unisonVoices);
};

// Position of oscillator voice i of u: -1 for the first, +1 for the last, 0 when alone. Used as
// the voice's balance and to scale its detune.
double unisonPosition(int i, int u);

// Detune in octaves (before the unison spread factor) of a voice at `position`, drawing one
// number from the linear congruential generator in lcgState.
float unisonDetuneOctaves(double position, uint32_t& lcgState);
