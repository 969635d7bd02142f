#include "reports/gridfile.h"

#include <algorithm>
#include <cstring>

#include "platform/outputfile.h"

namespace {

constexpr int kListingWidth = 20;
constexpr int kListingPrecision = 6;
constexpr int kCellWidth = 15;

// Collects the text in a fixed buffer and hands it to the file in large pieces.
class ChunkWriter {
 public:
  explicit ChunkWriter(OutputFile& out) : out_(out) {}
  ~ChunkWriter() { Flush(); }
  ChunkWriter(const ChunkWriter&) = delete;
  ChunkWriter& operator=(const ChunkWriter&) = delete;

  // `text` right-aligned in a field of `width` characters (longer text is not cut).
  void Field(const char* text, std::size_t length, std::size_t width) {
    Reserve(std::max(length, width));
    if (length < width) {
      std::memset(buffer_ + used_, ' ', width - length);
      used_ += width - length;
    }
    std::memcpy(buffer_ + used_, text, length);
    used_ += length;
  }
  void EndLine() {
    Reserve(1);
    buffer_[used_++] = '\n';
  }
  void Flush() {
    out_.Write(std::string_view(buffer_, used_));
    used_ = 0;
  }

 private:
  void Reserve(std::size_t n) {
    if (used_ + n > sizeof buffer_) Flush();
  }

  OutputFile& out_;
  char buffer_[1 << 16];
  std::size_t used_ = 0;
};

void WriteListing(ChunkWriter& writer, const TransitionRecords& records) {
  char text[kCellTextMax];
  for (std::size_t r = 0; r < records.size(); ++r) {
    const TransitionRecord record = records[r];
    for (const double value : {record.initial, record.final, record.rate})
      writer.Field(text, GeneralText(value, kListingPrecision, text), kListingWidth);
    writer.EndLine();
  }
}

void WriteCells(ChunkWriter& writer, const DensityGrid& grid) {
  char text[kCellTextMax];
  for (int i = 0; i < kMapCells; ++i) {
    for (int j = 0; j < kMapCells; ++j) writer.Field(text, CellText(grid.at(i, j), text), kCellWidth);
    writer.EndLine();
  }
}

}  // namespace

std::optional<std::string> WriteGridFile(const std::string& path, const TransitionRecords& records,
                                         const DensityGrid& grid) {
  OutputFile file(path);
  {
    ChunkWriter writer(file);
    WriteListing(writer, records);
    WriteCells(writer, grid);
  }
  return file.Commit();
}

std::uint64_t GridFileSize(std::size_t records) {
  constexpr std::uint64_t kListingLine = 3 * kListingWidth + 1;
  constexpr std::uint64_t kGridLine = kMapCells * kCellWidth + 1;
  return records * kListingLine + kMapCells * kGridLine;
}
