#pragma once

#include <atomic>
#include <cstdint>

#include "framework/LockFreeQueue.h"
#include "framework/MidiEvent.h"

// Copies of the incoming MIDI for the editor, which shows and learns from what arrives. One
// producer, the thread that receives the host's MIDI, and one consumer, the editor's thread. A
// full queue drops the new event and counts it: the editor only needs recent messages, and the
// producer must never wait, lock or allocate.
class EditorMidiQueue {
public:
    static constexpr uint32_t kNodes = 32;
    // One node is always the queue's dummy head.
    static constexpr uint32_t kCapacity = kNodes - 1;

    EditorMidiQueue() = default;
    EditorMidiQueue(const EditorMidiQueue&) = delete;
    EditorMidiQueue& operator=(const EditorMidiQueue&) = delete;

    // Producer. False when the event was dropped.
    bool push(const MidiEvent& event);
    // Consumer. False when nothing waits.
    bool pop(MidiEvent& event);
    // Events dropped since construction.
    uint32_t dropped() const { return dropped_.load(std::memory_order_relaxed); }

private:
    LockFreeQueue<MidiEvent> queue_{kNodes, kNodes};
    std::atomic<uint32_t> dropped_{0};
};
