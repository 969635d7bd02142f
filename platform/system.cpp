#include "platform/system.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

std::optional<std::uint64_t> AvailableMemory() {
  // Memory that file caches hold can be had too: the kernel counts it in MemAvailable.
  std::ifstream meminfo("/proc/meminfo");
  for (std::string line; std::getline(meminfo, line);) {
    std::istringstream words(line);
    std::string key;
    std::uint64_t kibibytes = 0;
    if (words >> key >> kibibytes && key == "MemAvailable:") return kibibytes * 1024;
  }
  const long pages = sysconf(_SC_AVPHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return std::nullopt;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

std::optional<std::uint64_t> FreeSpace(const std::string& folder) {
  std::error_code error;
  const auto space = std::filesystem::space(std::filesystem::path(folder.empty() ? "." : folder), error);
  if (error) return std::nullopt;
  return space.available;
}
