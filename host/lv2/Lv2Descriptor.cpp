// The plug-in's exported symbol, lv2_descriptor, and the C entry points behind it.

#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/worker/worker.h>

#include <cstring>
#include <exception>

#include "host/lv2/Lv2Plugin.h"
#include "host/lv2/Lv2Ports.h"

namespace {

Lv2Plugin* self(LV2_Handle handle) {
    return static_cast<Lv2Plugin*>(handle);
}

LV2_Handle instantiate(const LV2_Descriptor* /*descriptor*/, double rate,
                       const char* /*bundlePath*/, const LV2_Feature* const* features) {
    try {
        return Lv2Plugin::create(rate, features).release();
    } catch (const std::exception&) {
        // Exhausted memory or a missing resource: the host gets no instance.
        return nullptr;
    }
}

void connectPort(LV2_Handle handle, uint32_t port, void* data) {
    self(handle)->connectPort(port, data);
}

void activate(LV2_Handle handle) {
    self(handle)->activate();
}

void run(LV2_Handle handle, uint32_t frames) VORN_NONBLOCKING {
    self(handle)->run(frames);
}

void cleanup(LV2_Handle handle) {
    delete self(handle);
}

LV2_State_Status save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state,
                      uint32_t /*flags*/, const LV2_Feature* const* /*features*/) {
    return self(handle)->save(store, state);
}

LV2_State_Status restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve,
                         LV2_State_Handle state, uint32_t /*flags*/,
                         const LV2_Feature* const* /*features*/) {
    return self(handle)->restore(retrieve, state);
}

LV2_Worker_Status work(LV2_Handle handle, LV2_Worker_Respond_Function respond,
                       LV2_Worker_Respond_Handle respondHandle, uint32_t size, const void* data) {
    return self(handle)->work(respond, respondHandle, size, data);
}

LV2_Worker_Status workResponse(LV2_Handle /*handle*/, uint32_t /*size*/, const void* /*data*/) {
    return LV2_WORKER_SUCCESS;
}

uint32_t getOptions(LV2_Handle handle, LV2_Options_Option* options) {
    return self(handle)->getOptions(options);
}

uint32_t setOptions(LV2_Handle handle, const LV2_Options_Option* options) {
    return self(handle)->setOptions(options);
}

const void* extensionData(const char* uri) {
    static const LV2_State_Interface state = {save, restore};
    static const LV2_Worker_Interface worker = {work, workResponse, nullptr};
    static const LV2_Options_Interface options = {getOptions, setOptions};
    if (std::strcmp(uri, LV2_STATE__interface) == 0) return &state;
    if (std::strcmp(uri, LV2_WORKER__interface) == 0) return &worker;
    if (std::strcmp(uri, LV2_OPTIONS__interface) == 0) return &options;
    return nullptr;
}

const LV2_Descriptor kDescriptor = {
    Lv2Ports::kPluginUri, instantiate, connectPort, activate, run, nullptr, cleanup, extensionData,
};

}  // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
