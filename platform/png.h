// Writing pixel surfaces as PNG files (8-bit RGB; the unused top byte of a pixel is dropped).
#pragma once

#include <string>

#include "platform/surface.h"

// Writes the rectangle (x, y, width, height) of `surface`; false when the file cannot be written.
bool WritePng(const std::string& path, const PixelSurface& surface, int x, int y, int width, int height);
inline bool WritePng(const std::string& path, const PixelSurface& surface) {
  return WritePng(path, surface, 0, 0, surface.Width(), surface.Height());
}
