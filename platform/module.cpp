#include "platform/module.h"

#include <filesystem>
#include <system_error>

std::string AfxGetModuleDirectory() {
  std::error_code error;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return exe.parent_path().string() + "/";
}
