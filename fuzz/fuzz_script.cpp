// Any bytes as a script: parsing either refuses it with a message naming a line or gives lines
// whose words quote and split back to themselves.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "platform/headless/headless_host.h"
#include "platform/script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::istringstream in(text);
  std::string error;
  const auto lines = HeadlessHost::Parse(in, "fuzz.vsc", error);
  if (!lines) {
    if (error.rfind("fuzz.vsc:", 0) != 0) std::abort();
    return 0;
  }
  for (const ScriptLine& line : *lines) {
    std::string joined;
    for (const std::string& word : line.words) joined += QuoteScriptWord(word) + " ";
    std::string why;
    const auto again = SplitScriptLine(joined, why);
    if (!again || *again != line.words) std::abort();
  }
  return 0;
}
