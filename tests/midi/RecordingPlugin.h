#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/GenericPlugin.h"
#include "midi/DefaultEventReceiver.h"
#include "midi/MidiDecoder.h"

// A plug-in core with the default event receiver (no controller map) that records the notes it
// is asked to play or release.
class RecordingPlugin : public GenericPlugin {
public:
    struct Note {
        bool on;
        int note;
        float velocity;
        bool operator==(const Note&) const = default;
    };

    RecordingPlugin() {
        notes.reserve(1024);
        initialize();
    }

    std::string pluginId() override { return "QVmt"; }
    int editorDefaultWidth() override { return 0; }
    int editorDefaultHeight() override { return 0; }
    void triggerNote(int note, float velocity) override { record({true, note, velocity}); }
    void releaseNotes(int note, float velocity) override { record({false, note, velocity}); }
    std::unique_ptr<MidiMessageReceiver> createMidiDecoder() override {
        auto receiver = std::make_unique<DefaultEventReceiver>(*this);
        eventReceiver = receiver.get();
        return std::make_unique<MidiDecoder>(std::move(receiver));
    }

    std::vector<Note> notes;
    DefaultEventReceiver* eventReceiver = nullptr;

private:
    void record(const Note& n) {
        if (notes.size() < notes.capacity()) notes.push_back(n);
    }
};
