// The one way the program writes a file: whole or not at all. The text goes to a new file
// beside the target and is synced, then renamed over the target, so that the target is at
// every moment either the old file or the complete new one: a full disk, a failing device or
// a crash midway leave the old file as it was. A link at the target is replaced by the new
// file, never followed: a planted link cannot make the program overwrite what it points to.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

class OutputFile {
 public:
  // Starts the new file for `path`; a failure to start shows in Commit.
  explicit OutputFile(std::string path);
  // A file that was not committed is removed; the target stays as it was.
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Appends to the new file, buffered.
  void Write(std::string_view text);
  // Flushes, syncs and closes the new file, leaving the target as it is: files that must all
  // be written or none finish first and commit after. Nothing when that worked, otherwise why
  // not, in words ("No space left on device", "Permission denied", ...).
  std::optional<std::string> Finish();
  // Finishes, then puts the new file in the target's place, and removes the new files for the
  // same target that writers stopped before they were done left beside it. Nothing when that
  // worked, otherwise why not.
  std::optional<std::string> Commit();

 private:
  void Flush();
  void WriteAll(std::string_view text);
  void Fail(int error);

  std::string path_;
  std::string temporary_;
  int fd_ = -1;
  int error_ = 0;  // the first failure, an errno value
  std::string buffer_;
  bool committed_ = false;
};

// The name NAME of the file whose new file, ".NAME.PROCESS.N.new", is `entry`, when its
// process has ended: it was stopped (killed, or the machine went down) before it was done.
// Nothing for any other name, and for a new file of a process that runs.
std::optional<std::string_view> StoppedNewFileOf(std::string_view entry);

// Writes `text` as the whole of the file at `path`; nothing when that worked, otherwise why not.
std::optional<std::string> WriteWholeFile(const std::string& path, std::string_view text);
