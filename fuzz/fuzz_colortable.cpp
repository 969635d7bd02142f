// Any bytes as "shrcol.tbl": start-up goes on and every entry of the table is defined.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>

#include "app/varneldlg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const auto dir = [] {
    auto d = std::filesystem::temp_directory_path() / ("varnel-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(d);
    std::filesystem::current_path(d);
    return d;
  }();
  std::ofstream(dir / "shrcol.tbl", std::ios::binary)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  static CVarnelDlg dlg;
  dlg.LoadColorTable();
  for (int k = 0; k < kColorEntries; ++k) (void)dlg.GetColor(k);
  return 0;
}
