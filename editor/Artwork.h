#pragma once

#include <cairo.h>

#include <string_view>

// The editor's pictures (compiled-in PNG resources, read by the toolkit's own PNG reader), loaded
// once and kept for the life of the process. Null when a picture is missing or unreadable: the
// editor then draws without it.
cairo_surface_t* artwork(std::string_view name);
