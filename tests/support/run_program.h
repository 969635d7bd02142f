// Runs a program of the build as a user runs it, from the shell, and collects what it says.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

struct ProgramRun {
  int status = -1;  // the exit status; -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// Runs `program` with `arguments`, which the shell reads as written (quote what needs it; a
// redirection of the input may come last), in the current directory.
inline ProgramRun RunProgram(const std::string& program, const std::string& arguments) {
  const auto scratch = std::filesystem::temp_directory_path();
  const std::string tag = "varnel-run-" + std::to_string(getpid());
  const auto outPath = scratch / (tag + ".out"), errPath = scratch / (tag + ".err");
  const std::string command =
      "'" + program + "' " + arguments + " >'" + outPath.string() + "' 2>'" + errPath.string() + "'";
  const int raw = std::system(command.c_str());
  const auto slurp = [](const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::filesystem::remove(path);
    return text.str();
  };
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(outPath), slurp(errPath)};
}
