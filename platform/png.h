// Writing pixel surfaces as PNG files (8-bit RGB; the unused top byte of a pixel is dropped).
#pragma once

#include <optional>
#include <string>

#include "platform/surface.h"

// Writes the rectangle (x, y, width, height) of `surface`, whole or not at all; nothing when it
// was written, otherwise why not.
std::optional<std::string> WritePng(const std::string& path, const PixelSurface& surface, int x, int y, int width,
                                    int height);
