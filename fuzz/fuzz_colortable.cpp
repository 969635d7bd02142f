// Any bytes as "shrcol.tbl": reading stops where it must and writes only the table's entries.
#include <cstdint>
#include <sstream>
#include <string>

#include "display/colortable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  ColorTable table{};
  ReadColorTable(in, table);
  return 0;
}
