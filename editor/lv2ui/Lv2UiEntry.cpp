// The editor's exported symbol, lv2ui_descriptor, and the C entry points behind it.

#include <lv2/ui/ui.h>

#include <cstdio>
#include <cstring>
#include <exception>
#include <unordered_set>

#include "editor/lv2ui/Lv2Ui.h"
#include "host/lv2/Lv2Ports.h"

namespace {

// Hosts may call idle after cleanup: only handles still open are used.
std::unordered_set<Lv2Ui*>& openUis() {
    static std::unordered_set<Lv2Ui*> uis;
    return uis;
}

Lv2Ui* live(LV2UI_Handle handle) {
    auto* ui = static_cast<Lv2Ui*>(handle);
    return openUis().count(ui) ? ui : nullptr;
}

LV2UI_Handle instantiate(const LV2UI_Descriptor* /*descriptor*/, const char* pluginUri,
                         const char* bundlePath, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features) {
    if (!pluginUri || std::strcmp(pluginUri, Lv2Ports::kPluginUri) != 0) {
        std::fprintf(stderr, "Vorn: the editor belongs to %s, not %s\n", Lv2Ports::kPluginUri,
                     pluginUri ? pluginUri : "(none)");
        return nullptr;
    }
    try {
        std::unique_ptr<Lv2Ui> ui =
            Lv2Ui::create(bundlePath ? bundlePath : "", {write, controller}, features);
        if (!ui) return nullptr;
        if (widget) *widget = reinterpret_cast<LV2UI_Widget>(ui->window());
        openUis().insert(ui.get());
        return ui.release();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Vorn: the editor could not open: %s\n", e.what());
        return nullptr;
    }
}

void cleanup(LV2UI_Handle handle) {
    if (Lv2Ui* ui = live(handle)) {
        openUis().erase(ui);
        delete ui;
    }
}

// Values from the host reach the editor through the plug-in, at the next idle call.
void portEvent(LV2UI_Handle /*handle*/, uint32_t /*port*/, uint32_t /*size*/, uint32_t /*format*/,
               const void* /*buffer*/) {}

int idle(LV2UI_Handle handle) {
    Lv2Ui* ui = live(handle);
    return ui ? ui->idle() : 1;
}

const void* extensionData(const char* uri) {
    static const LV2UI_Idle_Interface idleInterface = {idle};
    if (std::strcmp(uri, LV2_UI__idleInterface) == 0) return &idleInterface;
    return nullptr;
}

const LV2UI_Descriptor kDescriptor = {Lv2Ports::kUiUri, instantiate, cleanup, portEvent,
                                      extensionData};

}  // namespace

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
