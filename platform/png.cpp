#include "platform/png.h"

#include <zlib.h>

#include <string_view>
#include <vector>

#include "platform/outputfile.h"

namespace {

void PutBigEndian(std::vector<unsigned char>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(v >> shift));
}

void PutChunk(std::vector<unsigned char>& out, const char type[4], const std::vector<unsigned char>& data) {
  PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  const uLong crc = crc32(0L, out.data() + typeAt, static_cast<uInt>(4 + data.size()));
  PutBigEndian(out, static_cast<std::uint32_t>(crc));
}

}  // namespace

std::optional<std::string> WritePng(const std::string& path, const PixelSurface& surface, int x, int y, int width,
                                    int height) {
  if (width <= 0 || height <= 0) return "the picture is empty";
  std::vector<unsigned char> raw;
  raw.reserve(static_cast<std::size_t>(height) * (1 + 3 * static_cast<std::size_t>(width)));
  for (int row = 0; row < height; ++row) {
    raw.push_back(0);  // no filter
    for (int col = 0; col < width; ++col) {
      const Pixel p = surface.Contains(x + col, y + row) ? surface.At(x + col, y + row) : 0;
      raw.push_back(static_cast<unsigned char>(p >> 16));
      raw.push_back(static_cast<unsigned char>(p >> 8));
      raw.push_back(static_cast<unsigned char>(p));
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<unsigned char> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK)
    return "the picture cannot be compressed";
  packed.resize(packedSize);

  std::vector<unsigned char> header;
  PutBigEndian(header, static_cast<std::uint32_t>(width));
  PutBigEndian(header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter method, no interlace

  std::vector<unsigned char> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  PutChunk(file, "IHDR", header);
  PutChunk(file, "IDAT", packed);
  PutChunk(file, "IEND", {});

  return WriteWholeFile(path, std::string_view(reinterpret_cast<const char*>(file.data()), file.size()));
}
