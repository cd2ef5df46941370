#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "framework/MidiEvent.h"

class GenericPlugin;
class StandardMidiFile;

// One MIDI message at an absolute sample frame.
struct TimedMidiEvent {
    int64_t frame = 0;
    MidiEvent message;
};

// Plays a plug-in offline as a host would: host blocks of a fixed size, the transport before each
// block, every event queued with its offset inside the block it falls in, and an optional
// side-chain signal as the two input channels.
class OfflineRenderer {
public:
    static constexpr int kDefaultBlockFrames = 256;
    // Sample rates the commands accept.
    static constexpr int kMinSampleRate = 8000;
    static constexpr int kMaxSampleRate = 384000;
    static constexpr double kDefaultTempo = 120.0;
    // The automatic tail ends once the output has stayed below this level for this long.
    static constexpr double kSilenceDb = -90.0;
    static constexpr double kSilenceSeconds = 0.5;
    static constexpr double kMaxTailSeconds = 30.0;

    // Called after every block with the frames rendered so far.
    using Progress = std::function<void(int64_t frames)>;
    // Receives the output piece by piece as it is rendered; false stops the render.
    using Sink = std::function<bool(const float* left, const float* right, size_t frames)>;

    OfflineRenderer(GenericPlugin& plugin, double sampleRate, int blockFrames);

    // Events in any order; equal frames keep their given order.
    void setEvents(std::vector<TimedMidiEvent> events);
    // Tempo and beat for the transport; without a file, a steady 120 BPM from frame 0.
    void setTempoMap(const StandardMidiFile* file) { tempoMap_ = file; }
    // Fed as the input channels; silence after its end.
    void setSideChain(std::vector<float> left, std::vector<float> right);
    void setProgress(Progress progress) { progress_ = std::move(progress); }

    // Appends the next `frames` frames of output to left and right.
    void render(int64_t frames, std::vector<float>& left, std::vector<float>& right);
    // Renders up to endFrame, then a tail of tailSeconds, or when tailSeconds is negative, until
    // the output has been silent for kSilenceSeconds after endFrame (at most kMaxTailSeconds).
    void renderWithTail(int64_t endFrame, double tailSeconds, std::vector<float>& left,
                        std::vector<float>& right);
    // The same, handing the output to the sink in pieces, so that memory stays the same whatever
    // the length. False when the sink stopped it.
    bool renderWithTail(int64_t endFrame, double tailSeconds, const Sink& sink);

    int64_t position() const { return position_; }
    // Processor time the thread spent rendering blocks so far (not growing the output).
    double cpuSeconds() const { return cpuSeconds_; }

private:
    static constexpr int64_t kPieceFrames = 1 << 16;

    bool renderPieces(int64_t frames, const Sink& sink);
    void renderBlocks(size_t first, int64_t frames, std::vector<float>& left,
                      std::vector<float>& right);
    void updateTransport();

    GenericPlugin& plugin_;
    double sampleRate_;
    int blockFrames_;
    std::vector<TimedMidiEvent> events_;
    size_t nextEvent_ = 0;
    const StandardMidiFile* tempoMap_ = nullptr;
    std::vector<float> sideChain_[2];
    std::vector<float> inputBlock_[2];
    std::vector<float> piece_[2];
    Progress progress_;
    int64_t position_ = 0;
    double cpuSeconds_ = 0.0;
};

// Processor time of the calling thread, in seconds.
double threadCpuSeconds();
