// The module's exported symbol, clap_entry, and its plug-in factory.

#include <clap/entry.h>
#include <clap/plugin-factory.h>

#include <cstring>
#include <exception>

#include "host/clap/ClapPlugin.h"

namespace {

uint32_t pluginCount(const clap_plugin_factory_t*) {
    return 1;
}

const clap_plugin_descriptor_t* descriptor(const clap_plugin_factory_t*, uint32_t index) {
    return index == 0 ? &ClapPlugin::kDescriptor : nullptr;
}

const clap_plugin_t* createPlugin(const clap_plugin_factory_t*, const clap_host_t* host,
                                  const char* id) {
    if (!host || !id || std::strcmp(id, ClapPlugin::kDescriptor.id) != 0) return nullptr;
    try {
        return ClapPlugin::create(host)->clapPlugin();
    } catch (const std::exception&) {
        // Exhausted memory or a missing resource: the host gets no instance.
        return nullptr;
    }
}

const clap_plugin_factory_t kFactory = {pluginCount, descriptor, createPlugin};

bool init(const char*) {
    return true;
}

void deinit() {}

const void* factory(const char* id) {
    return id && std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) == 0 ? &kFactory : nullptr;
}

}  // namespace

extern "C" CLAP_EXPORT const clap_plugin_entry_t clap_entry = {CLAP_VERSION_INIT, init, deinit,
                                                               factory};
