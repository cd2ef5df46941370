#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Reads a whole file that must be a regular one. A FIFO or device at the path is refused
// without waiting for a writer (the open does not block), and so is a file longer than
// maxBytes. False with errno set on failure.
bool readRegularFile(const std::string& path, std::vector<uint8_t>* bytes, size_t maxBytes);

// The file a chain of symbolic links ends at (the path itself when it is no link), so that a
// write through a link replaces the target, not the link. A loop stops after 40 links.
std::string resolveLinks(const std::string& path);

// Whether something other than a regular file (a device, FIFO, socket or folder) is at the
// path, after following links.
bool isSpecialFile(const std::string& path);
