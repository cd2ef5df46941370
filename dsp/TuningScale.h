#pragma once

#include <climits>
#include <string>
#include <string_view>
#include <vector>

// Where a Scala file was refused: a 1-based line number (0 for the file as a whole) and why.
struct ScalaError {
    int line = 0;
    std::string message;

    // "line 4: ..." or the message alone for line 0.
    std::string text() const;
};

// A scale read from a Scala .scl file: the pitch of each degree above the base note in cents; the
// last degree is the period (usually the octave).
struct TuningScale {
    static constexpr int kMaxNotes = 1024;

    std::string description;
    std::vector<double> cents;

    // Fills `scale` and returns true, or fills `error` and leaves `scale` as it was.
    static bool parse(std::string_view text, TuningScale& scale, ScalaError& error);
    // The pitch of any degree, repeating by the period; degree 0 is the base note.
    double degreeCents(int degree) const;
    // n-tone equal division of the octave.
    static TuningScale equal(int notes);
};

// A Scala .kbm keyboard map: which key plays which scale degree and the reference pitch.
struct KeyboardMapping {
    static constexpr int kUnmapped = INT_MIN;

    // 0 maps every key linearly: key = middleNote + degree.
    int size = 0;
    int firstNote = 0;
    int lastNote = 127;
    int middleNote = 60;
    int referenceNote = 69;
    double referenceFrequency = 440.0;
    // Scale degree that one repetition of the map spans; 0 takes the scale's size.
    int octaveDegree = 0;
    std::vector<int> keys;

    static bool parse(std::string_view text, KeyboardMapping& mapping, ScalaError& error);
    // Scale degree played by MIDI key `note`, or kUnmapped.
    int degreeOf(int note, int scaleSize) const;
};
