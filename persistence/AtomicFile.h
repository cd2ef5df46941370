#pragma once

#include <cstdint>
#include <span>
#include <string>

// Writes the bytes to a temporary file in the same folder, syncs it and renames it over `path`,
// so that readers see either the old file or the complete new one. On failure the old file is
// untouched, the temporary file is removed and errno tells why. A symbolic link is written
// through to its target; anything at the path that is not a regular file is left alone (EEXIST).
bool writeFileAtomically(const std::string& path, std::span<const uint8_t> bytes);
