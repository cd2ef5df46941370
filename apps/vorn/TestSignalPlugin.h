#pragma once

#include <memory>
#include <string>

#include "apps/vorn/SineSource.h"
#include "engine/wave/FloatParameterSource.h"
#include "engine/wave/Mixer.h"
#include "engine/wave/Router.h"
#include "framework/GenericPlugin.h"

// Until the instrument plays, the program proves the spine with this: two sine tones behind a
// router, a gliding level, notes dispatched sample-exactly by the core.
class TestSignalPlugin : public GenericPlugin {
public:
    TestSignalPlugin();
    ~TestSignalPlugin() override;

    std::string pluginId() override { return "QVts"; }
    int editorDefaultWidth() override { return 0; }
    int editorDefaultHeight() override { return 0; }

    void triggerNote(int note, float velocity) override;
    void releaseNotes(int note, float velocity) override;
    void render(const float** channelData, int channels, int frames) override;

    int notesPlayed() const { return notesPlayed_; }

private:
    // Built after initialize(), which creates the environment the graph runs on.
    struct Graph {
        explicit Graph(wave::Environment& env);
        SineSource tones[2];
        wave::Router router;
        wave::FloatParameterSource level;
        wave::Mixer output;
    };
    std::unique_ptr<Graph> graph_;
    int notesPlayed_ = 0;
    int heldNote_ = -1;
};
