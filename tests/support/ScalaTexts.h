#pragma once

#include <cmath>
#include <string>

// The .scl text of n-tone equal temperament in cents, described as "n EDO".
inline std::string equalScl(int notes) {
    std::string text =
        "! equal\n" + std::to_string(notes) + " EDO\n " + std::to_string(notes) + "\n";
    for (int k = 1; k <= notes; ++k) text += std::to_string(1200.0 * k / notes) + " cents\n";
    return text;
}

inline double centsBetween(double hz, double reference) {
    return 1200.0 * std::log2(hz / reference);
}
