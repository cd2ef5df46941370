#include "engine/VoiceManager.h"

#include <algorithm>
#include <cmath>

#include "framework/MidiConstants.h"
#include "wave/Assert.h"

namespace {

constexpr int kChannelCount = 2;

// out = gain · amplitude · signal, four samples at a time (count rounded up inside the block).
void writeProduct(float* out, const float* gain, const float* amplitude, const float* signal,
                  uint32_t frames) {
    for (uint32_t i = 0; i < frames; i += 4) {
        out[i] = gain[i] * amplitude[i] * signal[i];
        out[i + 1] = gain[i + 1] * amplitude[i + 1] * signal[i + 1];
        out[i + 2] = gain[i + 2] * amplitude[i + 2] * signal[i + 2];
        out[i + 3] = gain[i + 3] * amplitude[i + 3] * signal[i + 3];
    }
}

void addProduct(float* out, const float* gain, const float* amplitude, const float* signal,
                uint32_t frames) {
    for (uint32_t i = 0; i < frames; i += 4) {
        out[i] += gain[i] * amplitude[i] * signal[i];
        out[i + 1] += gain[i + 1] * amplitude[i + 1] * signal[i + 1];
        out[i + 2] += gain[i + 2] * amplitude[i + 2] * signal[i + 2];
        out[i + 3] += gain[i + 3] * amplitude[i + 3] * signal[i + 3];
    }
}

}  // namespace

VoiceManager::VoiceManager(wave::Environment& env)
    : wave::MultiProducer(env, kChannelCount),
      env_(&env),
      clockRate_(env.sampleRate()),
      silent_(env.silentBuffer().data()) {
    noteHistory_.reserve(kNoteCount);
    heldNotes_.reserve(kNoteCount);
}

void VoiceManager::addVoice(NoteVoice* voice) {
    slots_.push_back({0, 0, false, voice});
    sounding_.reserve(slots_.size());
    updateActiveEnd();
}

void VoiceManager::updateActiveEnd() {
    activeEnd_ = std::clamp(voiceCount.get(), 0, slotCount());
}

void VoiceManager::advanceClock(uint32_t frames) {
    const float rate = env_->sampleRate();
    if (rate != clockRate_) {
        // Restart the conversion at the new rate so that elapsed time stays continuous.
        clockBaseMs_ +=
            static_cast<double>(clockSamples_ - clockBaseSamples_) * 1000.0 / clockRate_;
        clockBaseSamples_ = clockSamples_;
        clockRate_ = rate;
    }
    clockSamples_ += frames;
}

int64_t VoiceManager::clockMs() const {
    const double elapsed =
        static_cast<double>(clockSamples_ - clockBaseSamples_) * 1000.0 / clockRate_;
    return static_cast<int64_t>(std::floor(clockBaseMs_ + elapsed));
}

void VoiceManager::noteOn(int note, float velocity) {
    if (note < 0 || note >= kNoteCount) return;
    if (polyphony == Poly) {
        notePoly(note, velocity);
    } else {
        noteMono(note, velocity);
    }
}

int VoiceManager::glideSourcePoly(int note, int64_t now) {
    // The newest note pressed at least a chord window ago; each serves as a source only once,
    // so a chord after a chord glides note by note.
    int candidate = -1;
    for (auto it = noteHistory_.rbegin(); it != noteHistory_.rend(); ++it) {
        if (it->timeMs + kChordWindowMs <= now) {
            candidate = it->note;
            noteHistory_.erase(std::next(it).base());
            break;
        }
    }
    if (candidate < 0) return note;
    if (portamentoMode == Legato && !isHeldAnywhere(candidate)) return note;
    return candidate;
}

bool VoiceManager::isHeldAnywhere(int note) const {
    return std::any_of(slots_.begin(), slots_.end(),
                       [note](const Slot& s) { return s.note == note && s.voice->isHeld(); });
}

void VoiceManager::notePoly(int note, float velocity) {
    const int64_t now = clockMs();
    const int source = glideSourcePoly(note, now);
    std::erase_if(noteHistory_, [note](const Press& p) { return p.note == note; });
    // One entry per note at most, within the reserved capacity: no allocation.
    VORN_ASSERT(noteHistory_.size() < noteHistory_.capacity());
    noteHistory_.push_back({note, now});

    ++stamp_;
    // A note the pedal holds is struck again in its own voice.
    int index = -1;
    for (int i = 0; i < activeEnd_ && index < 0; ++i) {
        const Slot& s = slots_[static_cast<size_t>(i)];
        if (s.sustained && s.note == note && s.voice->isHeld()) index = i;
    }
    if (index < 0) index = allocate();
    if (index < 0) return;
    VORN_ASSERT(index < activeEnd_ && activeEnd_ <= slotCount());
    Slot& slot = slots_[static_cast<size_t>(index)];
    slot.voice->noteOff(kForcedVelocity);
    slot.note = note;
    slot.stamp = stamp_;
    slot.sustained = false;
    slot.awake = true;
    slot.voice->noteOn(static_cast<float>(note), source, velocity);
}

int VoiceManager::allocate() const {
    int best = -1;
    for (int i = 0; i < activeEnd_; ++i) {
        const Slot& s = slots_[static_cast<size_t>(i)];
        if (!s.awake || s.voice->isMuted()) return i;
        if (best < 0) {
            best = i;
            continue;
        }
        const Slot& b = slots_[static_cast<size_t>(best)];
        // Notes only the pedal holds go before keys that are down.
        const bool released = !s.voice->isHeld() || s.sustained;
        const bool bestReleased = !b.voice->isHeld() || b.sustained;
        if (released != bestReleased) {
            if (released) best = i;
        } else if (s.stamp < b.stamp) {
            best = i;
        }
    }
    return best;
}

void VoiceManager::noteMono(int note, float velocity) {
    if (slots_.empty()) return;
    if (heldNotes_.size() == heldNotes_.capacity()) heldNotes_.erase(heldNotes_.begin());
    VORN_ASSERT(heldNotes_.size() < heldNotes_.capacity());
    heldNotes_.push_back(note);
    Slot& slot = slots_.front();
    // Legato glides only from a key that is still down, or a note the pedal holds; Normal glides
    // from wherever it is.
    const bool fromHeld = heldNotes_.size() > 1 || (slot.sustained && slot.voice->isHeld());
    const int source = portamentoMode == Legato && !fromHeld ? note : 0;
    slot.note = note;
    slot.stamp = stamp_;
    slot.sustained = false;
    slot.awake = true;
    slot.voice->noteOn(static_cast<float>(note), source, velocity);
}

void VoiceManager::noteOff(int note, float velocity) {
    if (note == midi::kAllNotes) {
        for (Slot& s : slots_) s.sustained = false;
        heldNotes_.clear();
        for (Slot& s : slots_) s.voice->noteOff(velocity);
        return;
    }
    if (polyphony == Poly) {
        for (Slot& s : slots_) {
            if (s.note != note || !s.voice->isHeld() || s.sustained) continue;
            if (sustain_)
                s.sustained = true;
            else
                s.voice->noteOff(velocity);
        }
        return;
    }
    if (slots_.empty()) return;
    std::erase(heldNotes_, note);
    Slot& slot = slots_.front();
    if (sustain_) {
        // The pedal keeps the last note sounding, whichever keys go up.
        slot.sustained = slot.sustained || std::find(heldNotes_.begin(), heldNotes_.end(),
                                                     slot.note) == heldNotes_.end();
        return;
    }
    releaseMono(velocity);
}

// Mono: silence when no key is down, else last-note priority: back to the newest key down.
void VoiceManager::releaseMono(float velocity) {
    Slot& slot = slots_.front();
    slot.sustained = false;
    if (heldNotes_.empty()) {
        slot.voice->noteOff(velocity);
        return;
    }
    slot.note = heldNotes_.back();
    slot.awake = true;
    slot.voice->noteOn(static_cast<float>(slot.note), 0, kForcedVelocity);
}

void VoiceManager::setSustain(bool down) {
    if (down == sustain_) return;
    sustain_ = down;
    if (down) return;
    if (polyphony == Mono) {
        if (!slots_.empty() && slots_.front().sustained) releaseMono(kPedalReleaseVelocity);
        return;
    }
    for (Slot& s : slots_) {
        if (!s.sustained) continue;
        s.sustained = false;
        if (s.voice->isHeld()) s.voice->noteOff(kPedalReleaseVelocity);
    }
}

void VoiceManager::propertyChanged(const void* property) {
    if (property == &voiceCount) {
        updateActiveEnd();
    } else if (property == &polyphony) {
        for (Slot& s : slots_) {
            s.voice->noteOff(kForcedVelocity);
            s.sustained = false;
        }
        heldNotes_.clear();
    }
}

NoteVoice* VoiceManager::newestVoice() const {
    const Slot* newest = nullptr;
    for (int i = 0; i < activeEnd_; ++i) {
        const Slot& s = slots_[static_cast<size_t>(i)];
        if (s.awake && !s.voice->isMuted() && (!newest || s.stamp > newest->stamp)) newest = &s;
    }
    return newest ? newest->voice : nullptr;
}

NoteVoice* VoiceManager::voiceOf(int note) const {
    const Slot* newest = nullptr;
    for (int i = 0; i < activeEnd_; ++i) {
        const Slot& s = slots_[static_cast<size_t>(i)];
        if (s.note == note && s.voice->isHeld() && (!newest || s.stamp > newest->stamp))
            newest = &s;
    }
    return newest ? newest->voice : nullptr;
}

bool VoiceManager::isSounding(int note) const {
    for (int i = 0; i < activeEnd_; ++i) {
        const Slot& s = slots_[static_cast<size_t>(i)];
        if (s.awake && s.note == note && !s.voice->isMuted()) return true;
    }
    return false;
}

void VoiceManager::produceAll(float* const* buffers, const float** outputs, uint32_t frames,
                              uint32_t flags) {
    const bool advanceOnly = (flags & wave::Environment::kFlagAdvanceOnly) != 0;
    const uint32_t rounded = (frames + 3u) & ~3u;
    bool written = false;
    sounding_.clear();
    for (int i = 0; i < activeEnd_; ++i) {
        Slot& slot = slots_[static_cast<size_t>(i)];
        if (!slot.awake) continue;
        NoteVoice& voice = *slot.voice;
        if (voice.isMuted()) {
            slot.awake = false;
            continue;
        }
        sounding_.push_back(i);
        if (!advanceOnly) voice.willRender();
    }
    // Pulling a voice can mute another but never wakes one: only these are checked again.
    for (const int i : sounding_) {
        NoteVoice& voice = *slots_[static_cast<size_t>(i)].voice;
        if (voice.isMuted()) continue;
        const float* amplitude = advanceOnly ? nullptr : voice.amplitude().pull(frames, flags);
        for (int c = 0; c < kChannelCount; ++c) {
            const float* gain = voice.outputGain(frames, flags, c);
            const float* signal = voice.channelOutput(c).pull(frames, flags);
            if (advanceOnly) continue;
            if (written) {
                addProduct(buffers[c], gain, amplitude, signal, rounded);
            } else {
                writeProduct(buffers[c], gain, amplitude, signal, rounded);
            }
        }
        written = !advanceOnly;
    }
    if (!written) {
        for (int c = 0; c < kChannelCount; ++c) outputs[c] = silent_;
    }
}
