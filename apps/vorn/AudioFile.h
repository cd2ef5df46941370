#pragma once

#include <string>
#include <vector>

// Stereo WAV output that appears only once complete: the samples go to a temporary file beside
// the target, which is renamed over it at the end. A writer destroyed before `commit`, or a
// failing one, leaves no file behind.
class WavFileWriter {
public:
    enum class Encoding { kFloat, kPcm24, kPcm16 };

    WavFileWriter() = default;
    ~WavFileWriter();
    WavFileWriter(const WavFileWriter&) = delete;
    WavFileWriter& operator=(const WavFileWriter&) = delete;

    // "float", "24" or "16"; false for anything else.
    static bool parseEncoding(const std::string& text, Encoding* encoding);

    // Creates the temporary file, so that an unwritable target shows before any work is done.
    bool open(const std::string& path, int sampleRate, Encoding encoding);
    // Writes both channels (of equal length), closes and renames.
    bool commit(const std::vector<float>& left, const std::vector<float>& right);
    const std::string& error() const { return error_; }

private:
    void discard();

    std::string path_;
    std::string temporaryPath_;
    int sampleRate_ = 0;
    Encoding encoding_ = Encoding::kFloat;
    int descriptor_ = -1;
    std::string error_;
};

// Reads any sound file libsndfile knows as two channels: a mono file feeds both, channels after
// the second are dropped.
struct StereoSignal {
    std::vector<float> left, right;
    int sampleRate = 0;
};
bool readStereoSignal(const std::string& path, StereoSignal* signal, std::string* error);

// Peak and RMS over both channels, in dBFS; -infinity for silence.
struct SignalLevels {
    double peakDb = 0.0;
    double rmsDb = 0.0;
};
SignalLevels measureLevels(const std::vector<float>& left, const std::vector<float>& right);
// "-3.2 dBFS", or "-inf dBFS".
std::string formatDecibels(double db);
