// The command line of a program that takes options and paths: --help, and a bad line.
#pragma once

#include <cstdlib>
#include <iostream>
#include <optional>
#include <span>
#include <string>
#include <vector>

inline constexpr int kExitUsage = 2;

// The arguments `parse` reads from the words of the command line. `--help` (or `-h`) anywhere
// prints `usage` and ends the program; a line `parse` refuses, or one without a path, ends it
// with the message and exit status kExitUsage.
template <class Parse>
auto PathArguments(const char* program, const char* usage, int argc, char** argv, Parse parse) {
  const std::vector<std::string> words(argv + 1, argv + argc);
  for (const std::string& word : words)
    if (word == "--help" || word == "-h") {
      std::cout << usage;
      std::exit(0);
    }
  std::string error;
  auto arguments = parse(std::span<const std::string>(words), error);
  if (arguments && arguments->paths.empty()) error = "no PATH given";
  if (!arguments || arguments->paths.empty()) {
    std::cerr << program << ": " << error << "\nTry '" << program << " --help'.\n";
    std::exit(kExitUsage);
  }
  return std::move(*arguments);
}
