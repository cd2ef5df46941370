#include "apps/vorn/OfflineRenderer.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#include "framework/GenericPlugin.h"
#include "midi/StandardMidiFile.h"

namespace {
constexpr int kChannels = 2;
constexpr double kSecondsPerMinute = 60.0;
}  // namespace

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1.0e-9 * static_cast<double>(now.tv_nsec);
}

OfflineRenderer::OfflineRenderer(GenericPlugin& plugin, double sampleRate, int blockFrames)
    : plugin_(plugin), sampleRate_(sampleRate), blockFrames_(std::max(1, blockFrames)) {
    plugin_.setSampleRate(static_cast<float>(sampleRate));
    for (std::vector<float>& input : inputBlock_) input.assign(blockFrames_, 0.0f);
}

void OfflineRenderer::setEvents(std::vector<TimedMidiEvent> events) {
    std::stable_sort(
        events.begin(), events.end(),
        [](const TimedMidiEvent& a, const TimedMidiEvent& b) { return a.frame < b.frame; });
    events_ = std::move(events);
    nextEvent_ = 0;
    while (nextEvent_ < events_.size() && events_[nextEvent_].frame < position_) ++nextEvent_;
}

void OfflineRenderer::setSideChain(std::vector<float> left, std::vector<float> right) {
    sideChain_[0] = std::move(left);
    sideChain_[1] = std::move(right);
}

void OfflineRenderer::render(int64_t frames, std::vector<float>& left, std::vector<float>& right) {
    // The output memory is zeroed and mapped before the clock starts: the time is the synthesis.
    const size_t first = left.size();
    left.resize(first + static_cast<size_t>(frames));
    right.resize(first + static_cast<size_t>(frames));
    const double start = threadCpuSeconds();
    renderBlocks(first, frames, left, right);
    cpuSeconds_ += threadCpuSeconds() - start;
}

void OfflineRenderer::renderBlocks(size_t first, int64_t frames, std::vector<float>& left,
                                   std::vector<float>& right) {
    for (int64_t done = 0; done < frames;) {
        const int n = static_cast<int>(std::min<int64_t>(blockFrames_, frames - done));
        updateTransport();
        while (nextEvent_ < events_.size() && events_[nextEvent_].frame < position_ + n) {
            MidiEvent message = events_[nextEvent_].message;
            message.offset = static_cast<int32_t>(events_[nextEvent_].frame - position_);
            plugin_.receiveMidi(message);
            ++nextEvent_;
        }
        const float* inputs[kChannels];
        for (int c = 0; c < kChannels; ++c) {
            const std::vector<float>& source = sideChain_[c];
            float* block = inputBlock_[c].data();
            const int64_t available =
                std::clamp<int64_t>(static_cast<int64_t>(source.size()) - position_, 0, n);
            std::copy_n(source.data() + std::min<int64_t>(position_, source.size()), available,
                        block);
            std::fill(block + available, block + n, 0.0f);
            inputs[c] = block;
        }
        const size_t at = first + static_cast<size_t>(done);
        float* outputs[kChannels] = {left.data() + at, right.data() + at};
        plugin_.processBlock(inputs, kChannels, outputs, kChannels, n);
        position_ += n;
        done += n;
        if (progress_) progress_(position_);
    }
}

void OfflineRenderer::updateTransport() {
    const double seconds = static_cast<double>(position_) / sampleRate_;
    if (tempoMap_) {
        plugin_.updateTransport(tempoMap_->tempoAt(seconds),
                                static_cast<float>(tempoMap_->beatAt(seconds)));
    } else {
        plugin_.updateTransport(kDefaultTempo,
                                static_cast<float>(seconds * kDefaultTempo / kSecondsPerMinute));
    }
}

void OfflineRenderer::renderWithTail(int64_t endFrame, double tailSeconds, std::vector<float>& left,
                                     std::vector<float>& right) {
    renderWithTail(endFrame, tailSeconds, [&](const float* l, const float* r, size_t frames) {
        left.insert(left.end(), l, l + frames);
        right.insert(right.end(), r, r + frames);
        return true;
    });
}

bool OfflineRenderer::renderPieces(int64_t frames, const Sink& sink) {
    // Whole host blocks per piece, so that the blocks fall as in one long render.
    const int64_t piece = std::max<int64_t>(1, kPieceFrames / blockFrames_) * blockFrames_;
    while (frames > 0) {
        const int64_t n = std::min(frames, piece);
        piece_[0].clear();
        piece_[1].clear();
        render(n, piece_[0], piece_[1]);
        if (!sink(piece_[0].data(), piece_[1].data(), piece_[0].size())) return false;
        frames -= n;
    }
    return true;
}

bool OfflineRenderer::renderWithTail(int64_t endFrame, double tailSeconds, const Sink& sink) {
    if (endFrame > position_ && !renderPieces(endFrame - position_, sink)) return false;
    if (tailSeconds >= 0.0) return renderPieces(std::llround(tailSeconds * sampleRate_), sink);
    const float threshold = static_cast<float>(std::pow(10.0, kSilenceDb / 20.0));
    const int64_t quietNeeded = std::llround(kSilenceSeconds * sampleRate_);
    const int64_t tailLimit = std::llround(kMaxTailSeconds * sampleRate_);
    int64_t quiet = 0;
    for (int64_t tail = 0; tail < tailLimit;) {
        const int64_t n = std::min<int64_t>(blockFrames_, tailLimit - tail);
        std::vector<float>& left = piece_[0];
        std::vector<float>& right = piece_[1];
        left.clear();
        right.clear();
        render(n, left, right);
        size_t keep = left.size();
        for (size_t i = 0; i < left.size(); ++i) {
            const bool loud = std::fabs(left[i]) >= threshold || std::fabs(right[i]) >= threshold;
            quiet = loud ? 0 : quiet + 1;
            if (quiet == quietNeeded) {
                keep = i + 1;
                break;
            }
        }
        if (!sink(left.data(), right.data(), keep)) return false;
        if (keep < left.size() || quiet == quietNeeded) return true;
        tail += n;
    }
    return true;
}
