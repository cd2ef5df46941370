#pragma once

#include <string>

// Text formats and text helpers shared by the parameters.

// printf-style formatting of a floating-point value with three additions: infinities print as
// "INF" / "-INF"; a format "*[+]N<conv>" (for example "*3f") prints N significant digits,
// dropping decimals as the integer part grows (a value that rounds up to the next power of ten
// already counts the extra digit), and with "f" rounds halves away from zero, reading a float as
// the decimal it stands for (123.45f gives "123.5"); and a text that would show only zeros never
// carries a minus sign.
std::string formatNumber(double value, const std::string& format);

// Hz with as many decimals as keep about five digits: "%.0f" above 9999.95, "%.1f" above
// 999.995, "%.2f" above 99.9995, else "%.3f".
std::string formatFrequency(float hz);

// "+6.02"-style decibels; exactly zero prints "0.00", -179.9 and below "-INF".
std::string formatDecibels(float db);

// 20·log10(ratio), floored at -180 dB (ratios at or below 1e-10 give -180).
float ratioToDecibels(float ratio);
float decibelsToRatio(float db);

// ASCII comparison ignoring case, as used for unit words and value names.
bool equalsIgnoringCase(const std::string& a, const std::string& b);
