// The program's entry: script mode with --script, the window otherwise.
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/headless/headless_host.h"
#include "platform/script.h"
#include "platform/winapp.h"
#include "platform/windowhost.h"

namespace {

constexpr const char* kUsage =
    "usage: varnel [SESSION.vsc]\n"
    "       varnel --script FILE\n"
    "  (no arguments)   open the window\n"
    "  SESSION.vsc      open the window and replay the session recorded in SESSION.vsc in it\n"
    "  --script FILE    run the analysis script FILE without a window ('-' reads standard input)\n"
    "  --help           show this help\n"
    "  --version        show the version\n";

// A bad command line: what is wrong, and where help is.
int BadCommandLine(const std::string& what) {
  std::cerr << "varnel: " << what << "\nTry 'varnel --help'." << std::endl;
  return kExitBadScript;
}

// The lines of the script at `path` ("-": standard input); nothing, and a message, when it cannot
// be read or parsed.
std::optional<std::vector<ScriptLine>> ReadScript(const std::string& path) {
  std::ifstream file;
  if (path != "-") {
    file.open(path);
    if (!file) {
      std::cerr << "varnel: cannot read script '" << path << "'" << std::endl;
      return std::nullopt;
    }
  }
  std::string error;
  auto lines = ParseScript(path == "-" ? std::cin : file, path == "-" ? "<stdin>" : path, error,
                           AfxGetApp()->ProgramCommands());
  if (!lines) std::cerr << "varnel: " << error << std::endl;
  return lines;
}

int RunScript(const std::string& path) {
  auto lines = ReadScript(path);
  if (!lines) return kExitBadScript;
  HeadlessHost host(path == "-" ? "<stdin>" : path, std::move(*lines), std::cout, std::cerr);
  AfxSetHost(&host);
  AfxGetApp()->InitInstance();
  AfxSetHost(nullptr);
  return host.ExitStatus();
}

int RunWindow(int argc, char** argv, std::vector<ScriptLine> session) {
  std::unique_ptr<Host> host = MakeWindowHost(argc, argv, std::move(session));
  if (!host) return 1;
  AfxSetHost(host.get());
  AfxGetApp()->InitInstance();
  AfxSetHost(nullptr);
  return 0;
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
  if (first == "--script") {
    if (argc != 3) return BadCommandLine("--script takes one FILE");
    return RunScript(argv[2]);
  }
  if (first.size() > 1 && first[0] == '-') return BadCommandLine("unknown option '" + first + "'");
  if (argc > 2) return BadCommandLine("one session file at most, not " + std::to_string(argc - 1) + " arguments");
  std::vector<ScriptLine> session;
  if (argc == 2) {
    auto lines = ReadScript(first);
    if (!lines) return kExitBadScript;
    session = std::move(*lines);
  }
  return RunWindow(argc, argv, std::move(session));
}
