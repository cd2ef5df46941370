#pragma once

#include <cstdint>
#include <span>
#include <string>

// Writes the bytes to a temporary file in the same folder, syncs it and renames it over `path`,
// so that readers see either the old file or the complete new one. On failure the old file is
// untouched and the temporary file is removed.
bool writeFileAtomically(const std::string& path, std::span<const uint8_t> bytes);
