// Reads back the 8-bit RGB, unfiltered PNG files the program writes, for checking pixels.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // 0x00RRGGBB
  std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

inline std::optional<RgbImage> ReadPng(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (file.size() < 8 || file[1] != 'P' || file[2] != 'N' || file[3] != 'G') return std::nullopt;
  const auto be32 = [&](std::size_t at) {
    return (std::uint32_t{file[at]} << 24) | (std::uint32_t{file[at + 1]} << 16) | (std::uint32_t{file[at + 2]} << 8) |
           file[at + 3];
  };
  RgbImage image;
  std::vector<unsigned char> packed;
  for (std::size_t at = 8; at + 8 <= file.size();) {
    const std::uint32_t length = be32(at);
    const std::string type(file.begin() + static_cast<long>(at) + 4, file.begin() + static_cast<long>(at) + 8);
    if (at + 12 + length > file.size()) return std::nullopt;
    if (type == "IHDR") {
      image.width = static_cast<int>(be32(at + 8));
      image.height = static_cast<int>(be32(at + 12));
      if (file[at + 16] != 8 || file[at + 17] != 2) return std::nullopt;  // 8-bit RGB only
    } else if (type == "IDAT") {
      packed.insert(packed.end(), file.begin() + static_cast<long>(at) + 8,
                    file.begin() + static_cast<long>(at) + 8 + length);
    }
    at += 12 + length;
  }
  const std::size_t stride = 1 + 3 * static_cast<std::size_t>(image.width);
  std::vector<unsigned char> raw(stride * static_cast<std::size_t>(image.height));
  uLongf rawSize = static_cast<uLongf>(raw.size());
  if (uncompress(raw.data(), &rawSize, packed.data(), static_cast<uLong>(packed.size())) != Z_OK ||
      rawSize != raw.size())
    return std::nullopt;
  for (int y = 0; y < image.height; ++y) {
    const unsigned char* row = raw.data() + static_cast<std::size_t>(y) * stride;
    if (row[0] != 0) return std::nullopt;  // only unfiltered rows are written
    for (int x = 0; x < image.width; ++x)
      image.pixels.push_back((std::uint32_t{row[1 + 3 * x]} << 16) | (std::uint32_t{row[2 + 3 * x]} << 8) |
                             row[3 + 3 * x]);
  }
  return image;
}
