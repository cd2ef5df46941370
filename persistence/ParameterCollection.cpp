#include "persistence/ParameterCollection.h"

#include "framework/GenericPlugin.h"

ParameterCollection ParameterCollection::of(GenericPlugin& plugin) {
    ParameterCollection collection;
    collection.owner = &plugin;
    collection.identifier = plugin.pluginId();
    const int count = plugin.getParameterCount();
    collection.parameters.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) collection.parameters.push_back(plugin.getParameter(i));
    return collection;
}
