#pragma once

#include <string>
#include <vector>

#include "framework/GenericPlugin.h"

// A plug-in core that records the notes it is asked to play or release.
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

    std::vector<Note> notes;

private:
    void record(const Note& n) {
        if (notes.size() < notes.capacity()) notes.push_back(n);
    }
};
