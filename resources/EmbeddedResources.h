#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// A file compiled into the binary; its name is the file name without the extension.
struct EmbeddedResource {
    std::string_view name;
    std::span<const uint8_t> data;
};

// Every compiled-in resource, in no particular order.
std::span<const EmbeddedResource> embeddedResources();
