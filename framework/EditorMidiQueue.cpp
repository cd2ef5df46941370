#include "framework/EditorMidiQueue.h"

bool EditorMidiQueue::push(const MidiEvent& event) {
    if (queue_.push(event)) return true;
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return false;
}

bool EditorMidiQueue::pop(MidiEvent& event) {
    return queue_.pop(event);
}
