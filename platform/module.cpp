#include "platform/module.h"

#include <filesystem>

#include "platform/system.h"

std::string AfxGetModuleDirectory() {
  const std::string program = ProgramFile();
  if (program.empty()) return {};
  return std::filesystem::path(program).parent_path().string() + "/";
}
