#pragma once

struct sf_private_tag;

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Stereo WAV output, streamed as it is rendered. A regular file (or a new one) appears only once
// complete: the samples go to a temporary file beside it, renamed over it at the end, and a
// writer destroyed before `commit`, or a failing one, leaves no file behind. A symbolic link is
// written through to its target; a character device (/dev/null) is written in place; anything
// else that is not a regular file is refused.
class WavFileWriter {
public:
    enum class Encoding { kFloat, kPcm24, kPcm16 };

    WavFileWriter() = default;
    ~WavFileWriter();
    WavFileWriter(const WavFileWriter&) = delete;
    WavFileWriter& operator=(const WavFileWriter&) = delete;

    // "float", "24" or "16"; false for anything else.
    static bool parseEncoding(const std::string& text, Encoding* encoding);

    // Opens the output, so that an unwritable target shows before any work is done. A plain WAV
    // file unless `expectedFrames` would not fit one; then RF64.
    bool open(const std::string& path, int sampleRate, Encoding encoding,
              int64_t expectedFrames = 0);
    // Appends frames of both channels.
    bool write(const float* left, const float* right, size_t frames);
    // Closes the file and puts it in place.
    bool commit();
    // Both channels (of equal length) at once, then commit.
    bool commit(const std::vector<float>& left, const std::vector<float>& right);
    const std::string& error() const { return error_; }

private:
    bool openTemporary(const std::string& target);
    bool fail(const std::string& reason);
    void discard();

    std::string path_;
    std::string target_;         // the file the path leads to
    std::string temporaryPath_;  // empty when writing in place
    sf_private_tag* file_ = nullptr;
    std::vector<float> interleaved_;
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
// Levels of a signal that arrives in pieces.
class LevelMeter {
public:
    void add(const float* left, const float* right, size_t frames);
    SignalLevels levels() const;
    int64_t frames() const { return frames_; }

private:
    double peak_ = 0.0;
    double sum_ = 0.0;
    int64_t frames_ = 0;
};
SignalLevels measureLevels(const std::vector<float>& left, const std::vector<float>& right);
// "-3.2 dBFS", or "-inf dBFS".
std::string formatDecibels(double db);
