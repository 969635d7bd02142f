// The program's entry: script mode with --script, the window otherwise.
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "platform/headless/headless_host.h"
#include "platform/script.h"
#include "platform/winapp.h"
#include "platform/windowhost.h"

namespace {

constexpr const char* kUsage =
    "usage: varnel [--script FILE]\n"
    "  (no arguments)   open the window\n"
    "  --script FILE    run the analysis script FILE without a window ('-' reads standard input)\n"
    "  --help           show this help\n"
    "  --version        show the version\n";

int RunScript(const std::string& path) {
  std::ifstream file;
  if (path != "-") {
    file.open(path);
    if (!file) {
      std::cerr << "varnel: cannot read script '" << path << "'" << std::endl;
      return kExitBadScript;
    }
  }
  std::istream& in = path == "-" ? std::cin : file;
  std::string error;
  auto lines = ParseScript(in, path == "-" ? "<stdin>" : path, error);
  if (!lines) {
    std::cerr << "varnel: " << error << std::endl;
    return kExitBadScript;
  }
  HeadlessHost host(path == "-" ? "<stdin>" : path, std::move(*lines), std::cout, std::cerr);
  AfxSetHost(&host);
  AfxGetApp()->InitInstance();
  AfxSetHost(nullptr);
  return host.ExitStatus();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string first = argc > 1 ? argv[1] : "";
  if (first == "--help" || first == "-h") {
    std::cout << kUsage;
    return 0;
  }
  if (first == "--version") {
    std::cout << "varnel " << VARNEL_VERSION << std::endl;
    return 0;
  }
  if (first == "--script" && argc == 3) return RunScript(argv[2]);
  if (argc > 1) {
    std::cerr << kUsage;
    return kExitBadScript;
  }
  std::unique_ptr<Host> host = MakeWindowHost(argc, argv);
  if (!host) return 1;
  AfxSetHost(host.get());
  AfxGetApp()->InitInstance();
  AfxSetHost(nullptr);
  return 0;
}
