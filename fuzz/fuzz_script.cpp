// Any bytes as a script: parsing either refuses it with a message naming a line or gives lines
// that format and parse back to themselves.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/commands.h"
#include "platform/script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::istringstream in(text);
  std::string error;
  const auto lines = ParseScript(in, "fuzz.vsc", error, SessionCommands());
  if (!lines) {
    if (error.rfind("fuzz.vsc:", 0) != 0) std::abort();
    return 0;
  }
  for (const ScriptLine& line : *lines) {
    std::vector<std::string> words{line.name};
    words.insert(words.end(), line.args.begin(), line.args.end());
    std::istringstream again(FormatScriptLine(words));
    const auto back = ParseScript(again, "again", error, SessionCommands());
    if (!back || back->size() != 1 || (*back)[0].name != line.name || (*back)[0].args != line.args) std::abort();
  }
  return 0;
}
