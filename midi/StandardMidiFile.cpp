#include "midi/StandardMidiFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "framework/MidiConstants.h"
#include "wave/Assert.h"

namespace {

constexpr size_t kHeaderBytes = 14;
constexpr size_t kChunkHeaderBytes = 8;
constexpr uint32_t kMinHeaderLength = 6;
constexpr int kMaxVariableLengthBytes = 4;
constexpr uint8_t kSysEx = 0xF0;
constexpr uint8_t kSysExContinuation = 0xF7;
constexpr uint8_t kMeta = 0xFF;
constexpr uint8_t kMetaEndOfTrack = 0x2F;
constexpr uint8_t kMetaTempo = 0x51;
constexpr uint32_t kTempoBytes = 3;
constexpr int64_t kMicrosecondsPerSecond = 1000000;
constexpr double kMicrosecondsPerMinute = 60.0e6;
// SMPTE divisions: frames per second 24, 25, 29 (meaning 30000/1001) or 30.
constexpr int kDropFrameRate = 29;
constexpr int64_t kDropFrameNumerator = 1001;
constexpr int64_t kDropFrameDenominator = 30000;

std::string hex(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

}  // namespace

// Reads the chunks and collects the raw events; time conversion happens afterwards, once the
// tempo changes of every track are known.
struct StandardMidiFile::Builder {
    struct RawTempo {
        int64_t tick;
        uint32_t tempo;
    };

    std::span<const uint8_t> bytes;
    size_t pos = 0;
    std::string error;
    int format = 0;
    int declaredTracks = 0;
    int ticksPerQuarter = 0;  // 0 for SMPTE timing
    int64_t smpteNumerator = 1;
    int64_t smpteDenominator = 1;
    std::vector<Event> events;
    std::vector<RawTempo> tempos;
    int64_t endTick = 0;

    bool fail(std::string message) {
        error = std::move(message);
        return false;
    }

    uint32_t bigEndian(size_t at, int count) const {
        uint32_t value = 0;
        for (int i = 0; i < count; ++i) value = (value << 8) | bytes[at + i];
        return value;
    }

    bool readHeader() {
        if (bytes.size() < kHeaderBytes || std::memcmp(bytes.data(), "MThd", 4) != 0) {
            return fail("not a Standard MIDI File (no MThd header)");
        }
        const uint32_t length = bigEndian(4, 4);
        if (length < kMinHeaderLength) return fail("header chunk is too short");
        if (length > bytes.size() - kChunkHeaderBytes) {
            return fail("header chunk length " + std::to_string(length) + " is beyond the file");
        }
        format = static_cast<int>(bigEndian(8, 2));
        declaredTracks = static_cast<int>(bigEndian(10, 2));
        const uint32_t division = bigEndian(12, 2);
        if (format == 2) return fail("format 2 (independent sequences) is not supported");
        if (format > 2) return fail("unknown format " + std::to_string(format));
        if (declaredTracks == 0) return fail("the file declares no tracks");
        if (format == 0 && declaredTracks != 1) {
            return fail("a format 0 file must hold one track, not " +
                        std::to_string(declaredTracks));
        }
        if (division & 0x8000u) {
            const int framesPerSecond = -static_cast<int8_t>(division >> 8);
            const int ticksPerFrame = static_cast<int>(division & 0xFFu);
            if (framesPerSecond != 24 && framesPerSecond != 25 &&
                framesPerSecond != kDropFrameRate && framesPerSecond != 30) {
                return fail("unknown SMPTE frame rate " + std::to_string(framesPerSecond));
            }
            if (ticksPerFrame == 0) return fail("SMPTE division with 0 ticks per frame");
            if (framesPerSecond == kDropFrameRate) {
                smpteNumerator = kDropFrameNumerator;
                smpteDenominator = kDropFrameDenominator * ticksPerFrame;
            } else {
                smpteDenominator = int64_t{framesPerSecond} * ticksPerFrame;
            }
        } else {
            if (division == 0) return fail("division of 0 ticks per quarter note");
            ticksPerQuarter = static_cast<int>(division);
        }
        pos = kChunkHeaderBytes + length;
        return true;
    }

    bool readChunks() {
        int tracks = 0;
        while (tracks < declaredTracks) {
            if (pos >= bytes.size()) {
                return fail("missing MTrk chunk: the file ends after " + std::to_string(tracks) +
                            " of " + std::to_string(declaredTracks) + " tracks");
            }
            if (bytes.size() - pos < kChunkHeaderBytes) return fail("truncated chunk header");
            const uint32_t length = bigEndian(pos + 4, 4);
            const size_t start = pos + kChunkHeaderBytes;
            if (length > bytes.size() - start) {
                return fail("chunk length " + std::to_string(length) + " at byte " +
                            std::to_string(pos) + " is beyond the end of the file");
            }
            const bool isTrack = std::memcmp(bytes.data() + pos, "MTrk", 4) == 0;
            pos = start + length;
            // Chunks of other types are skipped, as the file format asks.
            if (!isTrack) continue;
            if (!readTrack(start, start + length, tracks)) return false;
            ++tracks;
        }
        return true;
    }

    bool readVariableLength(size_t& at, size_t end, uint32_t& value) {
        value = 0;
        for (int i = 0; i < kMaxVariableLengthBytes; ++i) {
            if (at >= end) return fail("track ends inside a variable-length number");
            const uint8_t b = bytes[at++];
            value = (value << 7) | (b & 0x7Fu);
            if (!(b & 0x80u)) return true;
        }
        return fail("variable-length number longer than four bytes at byte " +
                    std::to_string(at - kMaxVariableLengthBytes));
    }

    bool readTrack(size_t at, size_t end, int track) {
        const std::string where = " in track " + std::to_string(track + 1);
        int64_t tick = 0;
        uint8_t runningStatus = 0;
        while (at < end) {
            uint32_t delta = 0;
            if (!readVariableLength(at, end, delta)) return false;
            tick += delta;
            if (tick > kMaxTick) return fail("track " + std::to_string(track + 1) + " is too long");
            if (at >= end) return fail("track ends before an event" + where);
            uint8_t status = bytes[at];
            if (status & 0x80u) {
                ++at;
            } else if (runningStatus != 0) {
                status = runningStatus;  // running status: the byte is data
            } else {
                return fail("data byte " + hex(status) + " without a status at byte " +
                            std::to_string(at) + where);
            }

            if (status < midi::kFirstSystemMessage) {
                if (!readChannelMessage(at, end, status, tick, where)) return false;
                runningStatus = status;
            } else if (status == kSysEx || status == kSysExContinuation) {
                uint32_t length = 0;
                if (!readVariableLength(at, end, length)) return false;
                if (length > end - at)
                    return fail("system exclusive data beyond the track" + where);
                at += length;
            } else if (status == kMeta) {
                if (at >= end) return fail("track ends inside a meta event" + where);
                const uint8_t type = bytes[at++];
                uint32_t length = 0;
                if (!readVariableLength(at, end, length)) return false;
                if (length > end - at) return fail("meta event data beyond the track" + where);
                if (type == kMetaTempo && length == kTempoBytes) {
                    const uint32_t tempo = bigEndian(at, 3);
                    if (tempo == 0) return fail("tempo of 0 microseconds per quarter" + where);
                    tempos.push_back({tick, tempo});
                }
                at += length;
                if (type == kMetaEndOfTrack) break;
            } else {
                return fail("unexpected status byte " + hex(status) + " at byte " +
                            std::to_string(at - 1) + where);
            }
        }
        endTick = std::max(endTick, tick);
        return true;
    }

    bool readChannelMessage(size_t& at, size_t end, uint8_t status, int64_t tick,
                            const std::string& where) {
        const uint8_t type = status & midi::kTypeMask;
        const size_t count =
            (type == midi::kProgramChange || type == midi::kChannelPressure) ? 1 : 2;
        if (end - at < count) return fail("track ends inside a channel message" + where);
        MidiEvent message;
        message.status = status;
        message.data1 = bytes[at];
        if (count == 2) message.data2 = bytes[at + 1];
        if ((message.data1 | message.data2) & 0x80u) {
            return fail("status byte inside a channel message at byte " + std::to_string(at) +
                        where);
        }
        at += count;
        if (events.size() >= kMaxEvents) {
            return fail("more than " + std::to_string(kMaxEvents) + " events");
        }
        events.push_back({tick, 0, 0.0, message});
        return true;
    }
};

bool StandardMidiFile::read(std::span<const uint8_t> bytes) {
    clear();
    Builder b;
    b.bytes = bytes;
    if (!b.readHeader() || !b.readChunks()) {
        error_ = b.error;
        return false;
    }
    format_ = b.format;
    trackCount_ = b.declaredTracks;
    timeDenominator_ = b.ticksPerQuarter > 0 ? int64_t{b.ticksPerQuarter} * kMicrosecondsPerSecond
                                             : b.smpteDenominator;
    // The header reader refuses a time division that gives no time.
    VORN_ASSERT(timeDenominator_ > 0);

    // Tempo changes of every track apply to all; at equal ticks the later one wins.
    std::stable_sort(b.tempos.begin(), b.tempos.end(),
                     [](const auto& x, const auto& y) { return x.tick < y.tick; });
    std::vector<int64_t> segmentTimes{0};
    tempoMap_.push_back(TempoChange{});
    for (const Builder::RawTempo& change : b.tempos) {
        TempoChange& last = tempoMap_.back();
        if (change.tick == last.tick) {
            last.microsecondsPerQuarter = change.tempo;
            continue;
        }
        TempoChange next;
        next.tick = change.tick;
        next.microsecondsPerQuarter = change.tempo;
        int64_t time = 0;
        if (b.ticksPerQuarter > 0) {
            time = segmentTimes.back() + (change.tick - last.tick) * last.microsecondsPerQuarter;
            next.beat = static_cast<double>(change.tick) / b.ticksPerQuarter;
        } else {
            time = change.tick * b.smpteNumerator;
        }
        next.seconds = static_cast<double>(time) / static_cast<double>(timeDenominator_);
        if (b.ticksPerQuarter == 0) {
            next.beat = last.beat + (next.seconds - last.seconds) * kMicrosecondsPerSecond /
                                        last.microsecondsPerQuarter;
        }
        tempoMap_.push_back(next);
        segmentTimes.push_back(time);
    }

    const auto timeAt = [&](int64_t tick, size_t segment) {
        VORN_ASSERT(segment < tempoMap_.size() && segmentTimes.size() == tempoMap_.size());
        if (b.ticksPerQuarter == 0) return tick * b.smpteNumerator;
        return segmentTimes[segment] +
               (tick - tempoMap_[segment].tick) * tempoMap_[segment].microsecondsPerQuarter;
    };

    // Tracks were appended in order, so equal ticks keep track order, then file order.
    std::stable_sort(b.events.begin(), b.events.end(),
                     [](const Event& x, const Event& y) { return x.tick < y.tick; });
    size_t segment = 0;
    for (Event& e : b.events) {
        while (segment + 1 < tempoMap_.size() && tempoMap_[segment + 1].tick <= e.tick) ++segment;
        e.time = timeAt(e.tick, segment);
        e.seconds = static_cast<double>(e.time) / static_cast<double>(timeDenominator_);
    }
    const int64_t lastTick = std::max(b.endTick, b.events.empty() ? 0 : b.events.back().tick);
    while (segment + 1 < tempoMap_.size() && tempoMap_[segment + 1].tick <= lastTick) ++segment;
    endTime_ = timeAt(lastTick, segment);
    events_ = std::move(b.events);
    return true;
}

bool StandardMidiFile::readFile(const std::string& path) {
    clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error_ = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        if (bytes.size() + n > kMaxFileBytes) {
            std::fclose(file);
            error_ = path + " is larger than " + std::to_string(kMaxFileBytes >> 20) + " MiB";
            return false;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        error_ = "cannot read " + path;
        return false;
    }
    if (read(bytes)) return true;
    error_ = path + ": " + error_;
    return false;
}

double StandardMidiFile::endSeconds() const {
    return static_cast<double>(endTime_) / static_cast<double>(timeDenominator_);
}

int64_t StandardMidiFile::frameAt(int64_t time, double sampleRate) const {
    const double wholeRate = std::round(sampleRate);
    if (wholeRate == sampleRate && wholeRate > 0.0 && wholeRate < 1.0e9) {
        const __int128 scaled = static_cast<__int128>(time) * static_cast<int64_t>(wholeRate);
        return static_cast<int64_t>((2 * scaled + timeDenominator_) / (2 * timeDenominator_));
    }
    const long double exact = static_cast<long double>(time) * sampleRate / timeDenominator_;
    return static_cast<int64_t>(std::floor(exact + 0.5L));
}

const StandardMidiFile::TempoChange& StandardMidiFile::tempoChangeAt(double seconds) const {
    static const TempoChange kNone;
    if (tempoMap_.empty()) return kNone;
    const auto after =
        std::upper_bound(tempoMap_.begin(), tempoMap_.end(), seconds,
                         [](double s, const TempoChange& change) { return s < change.seconds; });
    return after == tempoMap_.begin() ? tempoMap_.front() : *(after - 1);
}

double StandardMidiFile::tempoAt(double seconds) const {
    return kMicrosecondsPerMinute / tempoChangeAt(seconds).microsecondsPerQuarter;
}

double StandardMidiFile::beatAt(double seconds) const {
    const TempoChange& change = tempoChangeAt(seconds);
    return change.beat + (seconds - change.seconds) * static_cast<double>(kMicrosecondsPerSecond) /
                             change.microsecondsPerQuarter;
}

void StandardMidiFile::clear() {
    format_ = 0;
    trackCount_ = 0;
    timeDenominator_ = 1;
    endTime_ = 0;
    events_.clear();
    tempoMap_.clear();
    error_.clear();
}
