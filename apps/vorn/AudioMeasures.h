#pragma once

#include <cstddef>
#include <vector>

// What a listener hears in a stereo render, measured: loudness and true peak (EBU R128 through
// libebur128), what a mono sum keeps, the stereo width of the low end, pitch and spectra.
namespace measure {

struct Loudness {
    double lufs = -200;        // integrated; -200 for silence
    double truePeakDb = -200;  // dBTP, four times oversampled
};
Loudness loudness(const std::vector<float>& left, const std::vector<float>& right, double rate);

// The RMS of (L + R) / 2 against the RMS of both channels together, in dB (0 for a centred
// sound, -inf for one in antiphase).
double monoLossDb(const std::vector<float>& left, const std::vector<float>& right);

// The energy of side against mid below 150 Hz, in dB (-inf when centred).
double lowSideDb(const std::vector<float>& left, const std::vector<float>& right, double rate);

// The fundamental of a steady tone between 25 Hz and 4 kHz from the normalised square difference
// of a window from `first`; 0 when there is no clear period (noise, silence).
double pitchHz(const std::vector<float>& mono, double rate, size_t first);
// Where the loudest window of pitchHz starts after `first` (a gated or decaying sound's clearest
// part).
size_t loudestWindow(const std::vector<float>& mono, size_t first);

double peakDb(const std::vector<float>& left, const std::vector<float>& right);

// Log-power spectrogram, 2048-point Hann windows with a hop of 1024, floored 80 dB below its
// peak; frames one after another.
std::vector<float> spectrogram(const std::vector<float>& mono);

// Pearson correlation of two equally long sequences (0 when either is constant).
double correlation(const std::vector<float>& a, const std::vector<float>& b);

// The RMS difference in dB between two spectrograms of equal size.
double spectralDistanceDb(const std::vector<float>& a, const std::vector<float>& b);

std::vector<float> mono(const std::vector<float>& left, const std::vector<float>& right);

}  // namespace measure
