#include "apps/vorn/AudioFile.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

namespace {

constexpr int kChannels = 2;
constexpr sf_count_t kReadFrames = 8192;
constexpr mode_t kFileMode = 0666;

int sndfileFormat(WavFileWriter::Encoding encoding) {
    switch (encoding) {
        case WavFileWriter::Encoding::kPcm24:
            return SF_FORMAT_WAV | SF_FORMAT_PCM_24;
        case WavFileWriter::Encoding::kPcm16:
            return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        case WavFileWriter::Encoding::kFloat:
            break;
    }
    return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
}

double decibels(double amplitude) {
    return amplitude > 0.0 ? 20.0 * std::log10(amplitude)
                           : -std::numeric_limits<double>::infinity();
}

}  // namespace

WavFileWriter::~WavFileWriter() {
    discard();
}

bool WavFileWriter::parseEncoding(const std::string& text, Encoding* encoding) {
    if (text == "float") {
        *encoding = Encoding::kFloat;
    } else if (text == "24") {
        *encoding = Encoding::kPcm24;
    } else if (text == "16") {
        *encoding = Encoding::kPcm16;
    } else {
        return false;
    }
    return true;
}

bool WavFileWriter::open(const std::string& path, int sampleRate, Encoding encoding) {
    discard();
    path_ = path;
    sampleRate_ = sampleRate;
    encoding_ = encoding;
    const std::filesystem::path target(path);
    if (target.filename().empty() || std::filesystem::is_directory(target)) {
        error_ = "cannot write " + path + ": not a file name";
        return false;
    }
    const std::filesystem::path folder =
        target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    std::string hidden = ".";
    hidden += target.filename().string();
    hidden += ".XXXXXX";
    std::string pattern = (folder / hidden).string();
    descriptor_ = mkstemp(pattern.data());
    if (descriptor_ < 0) {
        error_ = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    temporaryPath_ = pattern;
    // mkstemp makes the file private; the result should get the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(descriptor_, kFileMode & ~mask);
    return true;
}

bool WavFileWriter::commit(const std::vector<float>& left, const std::vector<float>& right) {
    if (descriptor_ < 0) {
        if (error_.empty()) error_ = "no file is open";
        return false;
    }
    SF_INFO info{};
    info.samplerate = sampleRate_;
    info.channels = kChannels;
    info.format = sndfileFormat(encoding_);
    SNDFILE* file = sf_open_fd(descriptor_, SFM_WRITE, &info, SF_TRUE);
    descriptor_ = -1;  // the sound file owns it now, also when opening failed
    if (!file) {
        error_ = "cannot write " + path_ + ": " + sf_strerror(nullptr);
        discard();
        return false;
    }
    // Integer formats clip instead of wrapping around.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    const size_t frames = std::min(left.size(), right.size());
    std::vector<float> interleaved(kChannels * frames);
    for (size_t i = 0; i < frames; ++i) {
        interleaved[2 * i] = left[i];
        interleaved[2 * i + 1] = right[i];
    }
    const sf_count_t written =
        sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(frames));
    const int closed = sf_close(file);
    if (written != static_cast<sf_count_t>(frames) || closed != 0) {
        error_ = "cannot write " + path_ + ": short write";
        discard();
        return false;
    }
    if (std::rename(temporaryPath_.c_str(), path_.c_str()) != 0) {
        error_ = "cannot write " + path_ + ": " + std::strerror(errno);
        discard();
        return false;
    }
    temporaryPath_.clear();
    return true;
}

void WavFileWriter::discard() {
    if (descriptor_ >= 0) close(descriptor_);
    descriptor_ = -1;
    if (!temporaryPath_.empty()) unlink(temporaryPath_.c_str());
    temporaryPath_.clear();
}

bool readStereoSignal(const std::string& path, StereoSignal* signal, std::string* error) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        *error = "cannot read " + path + ": " + sf_strerror(nullptr);
        return false;
    }
    signal->left.clear();
    signal->right.clear();
    signal->sampleRate = info.samplerate;
    const int channels = info.channels;
    std::vector<float> buffer(static_cast<size_t>(kReadFrames * channels));
    sf_count_t n = 0;
    while ((n = sf_readf_float(file, buffer.data(), kReadFrames)) > 0) {
        for (sf_count_t i = 0; i < n; ++i) {
            const float* frame = buffer.data() + i * channels;
            signal->left.push_back(frame[0]);
            signal->right.push_back(channels > 1 ? frame[1] : frame[0]);
        }
    }
    const int failure = sf_error(file);
    sf_close(file);
    if (failure != SF_ERR_NO_ERROR) {
        *error = "cannot read " + path + ": " + sf_error_number(failure);
        return false;
    }
    return true;
}

SignalLevels measureLevels(const std::vector<float>& left, const std::vector<float>& right) {
    double peak = 0.0;
    double sum = 0.0;
    const size_t frames = std::min(left.size(), right.size());
    for (size_t i = 0; i < frames; ++i) {
        const double l = left[i], r = right[i];
        peak = std::max({peak, std::fabs(l), std::fabs(r)});
        sum += l * l + r * r;
    }
    const double rms = frames ? std::sqrt(sum / static_cast<double>(kChannels * frames)) : 0.0;
    return {decibels(peak), decibels(rms)};
}

std::string formatDecibels(double db) {
    if (std::isinf(db)) return "-inf dBFS";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dBFS", db);
    return text;
}
