#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string_view>

// Raised when a named resource exists neither in memory nor in the binary.
class EResource : public std::runtime_error {
public:
    EResource() : std::runtime_error("Resource not found") {}
};

// Resources are asked for by a file-like name: the extension (from the last '.') is dropped and
// case is ignored. In-memory resources registered below are consulted before the compiled-in ones.

// The bytes of a resource; compiled-in bytes live as long as the process, registered ones until
// they are unregistered. Throws EResource.
std::span<const uint8_t> openResource(std::string_view name);
bool resourceExists(std::string_view name);

// Process-wide in-memory resources (name to bytes); the bytes are copied. Registering a name again
// replaces the earlier bytes.
void registerResource(std::string_view name, std::span<const uint8_t> bytes);
void unregisterResource(std::string_view name);
