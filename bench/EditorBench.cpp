#include <benchmark/benchmark.h>

#include "editor/VornInterface.h"
#include "engine/VornPlugin.h"
#include "engine/VornPresets.h"
#include "framework/AbstractPluginParameter.h"
#include "gui/OffscreenInterface.h"

// What the editor costs on the software back end, without a display: opening it (building the
// tree over a running instance and drawing the first frame), an idle call when nothing changed,
// and an idle call after automation moved one bound parameter (compare, redraw its knob).
namespace {

struct Instance {
    Instance() { VornPresets::setStartupPresets(false); }
    VornPlugin plugin;
};

void BM_EditorOpen(benchmark::State& state) {
    Instance instance;
    for (auto _ : state) {
        VornInterface editor(instance.plugin);
        gui::OffscreenInterface ui(editor);
        benchmark::DoNotOptimize(ui.render());
    }
}
BENCHMARK(BM_EditorOpen)->Unit(benchmark::kMillisecond);

void BM_EditorIdle(benchmark::State& state) {
    Instance instance;
    VornInterface editor(instance.plugin);
    gui::OffscreenInterface ui(editor);
    editor.expand(VornInterface::kFilters);
    ui.render();
    AbstractPluginParameter* freq =
        instance.plugin.getParameter(editor.parameterId("Filter 1 Freq"));
    const bool automated = state.range(0) != 0;
    float x = 0;
    for (auto _ : state) {
        if (automated) {
            x = x > 0.9f ? 0.1f : x + 0.01f;
            freq->setValue(freq->normalizedToPlain(x), 0);
        }
        editor.idle();
        benchmark::DoNotOptimize(ui.render());
    }
}
BENCHMARK(BM_EditorIdle)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
