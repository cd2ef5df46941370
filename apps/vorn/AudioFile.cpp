#include "apps/vorn/AudioFile.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

#include "framework/posix/RegularFile.h"
#include "framework/posix/TemporaryFiles.h"

namespace {

constexpr int kChannels = 2;
constexpr sf_count_t kReadFrames = 8192;
constexpr mode_t kFileMode = 0666;

int sndfileFormat(WavFileWriter::Encoding encoding, int container) {
    switch (encoding) {
        case WavFileWriter::Encoding::kPcm24:
            return container | SF_FORMAT_PCM_24;
        case WavFileWriter::Encoding::kPcm16:
            return container | SF_FORMAT_PCM_16;
        case WavFileWriter::Encoding::kFloat:
            break;
    }
    return container | SF_FORMAT_FLOAT;
}

int bytesPerSample(WavFileWriter::Encoding encoding) {
    switch (encoding) {
        case WavFileWriter::Encoding::kPcm24:
            return 3;
        case WavFileWriter::Encoding::kPcm16:
            return 2;
        case WavFileWriter::Encoding::kFloat:
            break;
    }
    return 4;
}

// Empty when the file system has room for the whole render, else why not: a render of years
// fails at once instead of filling the disk first.
std::string roomFor(int fd, int64_t frames, WavFileWriter::Encoding encoding) {
    struct statvfs disk {};
    if (frames <= 0 || fstatvfs(fd, &disk) != 0) return "";
    constexpr double kMegabyte = 1 << 20;
    const double needed = static_cast<double>(frames) * kChannels * bytesPerSample(encoding);
    const double free = static_cast<double>(disk.f_bavail) * static_cast<double>(disk.f_frsize);
    if (needed <= free) return "";
    char text[160];
    std::snprintf(text, sizeof text, "the render needs %.0f MB and the disk has %.0f MB free",
                  needed / kMegabyte, free / kMegabyte);
    return text;
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

bool WavFileWriter::open(const std::string& path, int sampleRate, Encoding encoding,
                         int64_t expectedFrames) {
    discard();
    path_ = path;
    error_.clear();
    target_ = resolveLinks(path);
    struct stat status {};
    const bool exists = ::stat(target_.c_str(), &status) == 0;
    if (std::filesystem::path(target_).filename().empty() || (exists && S_ISDIR(status.st_mode))) {
        return fail("not a file name");
    }
    int fd = -1;
    if (exists && S_ISCHR(status.st_mode)) {
        fd = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) return fail(std::strerror(errno));
    } else if (exists && !S_ISREG(status.st_mode)) {
        return fail("not a regular file (a WAV file needs one it can seek in)");
    } else {
        fd = temporary_files::create(target_, &temporaryPath_);
        if (fd < 0) return fail(std::strerror(errno));
        // The temporary file is private; the result should get the usual permissions.
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, kFileMode & ~mask);
        if (const std::string room = roomFor(fd, expectedFrames, encoding); !room.empty()) {
            ::close(fd);
            return fail(room);
        }
    }
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = kChannels;
    // A RIFF chunk counts at most 4 GiB; a float sample is the largest, 4 bytes.
    constexpr int64_t kLargestWavFrames = (int64_t{1} << 32) / (kChannels * 4) - (1 << 16);
    const bool large = expectedFrames > kLargestWavFrames && !temporaryPath_.empty();
    info.format = sndfileFormat(encoding, large ? SF_FORMAT_RF64 : SF_FORMAT_WAV);
    file_ = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
    if (!file_) {
        ::close(fd);  // libsndfile closes it only once open
        return fail(sf_strerror(nullptr));
    }
    // Integer formats clip instead of wrapping around.
    sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return true;
}

bool WavFileWriter::write(const float* left, const float* right, size_t frames) {
    if (!file_) return fail(error_.empty() ? "no file is open" : error_);
    interleaved_.resize(kChannels * frames);
    for (size_t i = 0; i < frames; ++i) {
        interleaved_[2 * i] = left[i];
        interleaved_[2 * i + 1] = right[i];
    }
    const auto count = static_cast<sf_count_t>(frames);
    if (sf_writef_float(file_, interleaved_.data(), count) != count) {
        return fail(sf_strerror(file_));
    }
    return true;
}

bool WavFileWriter::commit() {
    if (!file_) return fail(error_.empty() ? "no file is open" : error_);
    const int closed = sf_close(file_);
    file_ = nullptr;
    if (closed != 0) return fail(sf_error_number(closed));
    if (temporaryPath_.empty()) return true;
    if (std::rename(temporaryPath_.c_str(), target_.c_str()) != 0) {
        return fail(std::strerror(errno));
    }
    temporary_files::release(temporaryPath_);
    temporaryPath_.clear();
    return true;
}

bool WavFileWriter::commit(const std::vector<float>& left, const std::vector<float>& right) {
    return write(left.data(), right.data(), std::min(left.size(), right.size())) && commit();
}

bool WavFileWriter::fail(const std::string& reason) {
    if (error_.empty()) error_ = "cannot write " + path_ + ": " + reason;
    discard();
    return false;
}

void WavFileWriter::discard() {
    if (file_) sf_close(file_);
    file_ = nullptr;
    if (!temporaryPath_.empty()) temporary_files::discard(temporaryPath_);
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

void LevelMeter::add(const float* left, const float* right, size_t frames) {
    for (size_t i = 0; i < frames; ++i) {
        const double l = left[i], r = right[i];
        peak_ = std::max({peak_, std::fabs(l), std::fabs(r)});
        sum_ += l * l + r * r;
    }
    frames_ += static_cast<int64_t>(frames);
}

SignalLevels LevelMeter::levels() const {
    const double rms = frames_ ? std::sqrt(sum_ / static_cast<double>(kChannels * frames_)) : 0.0;
    return {decibels(peak_), decibels(rms)};
}

SignalLevels measureLevels(const std::vector<float>& left, const std::vector<float>& right) {
    LevelMeter meter;
    meter.add(left.data(), right.data(), std::min(left.size(), right.size()));
    return meter.levels();
}

std::string formatDecibels(double db) {
    if (std::isinf(db)) return "-inf dBFS";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dBFS", db);
    return text;
}
