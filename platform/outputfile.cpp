#include "platform/outputfile.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>

#include "platform/foldersystem.h"
#include "platform/system.h"

namespace {

// Text is handed to the system in pieces of this size.
constexpr std::size_t kBufferBytes = std::size_t{1} << 16;
// Tries at a free name for the new file before giving up.
constexpr int kNameTries = 100;

// Distinct new-file names within this process, whatever thread asks.
std::atomic<unsigned> g_nextTemporary{0};

constexpr std::string_view kNewEnding = ".new";

// The folder of `path` with its separator ("" for a bare name) and the file's name.
std::pair<std::string, std::string> FolderAndName(const std::string& path) {
  const std::size_t slash = path.find_last_of(kPathSeparators);
  if (slash == std::string::npos) return {std::string(), path};
  return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

// The new file beside the target: in the same folder, so that the rename stays within one file
// system, and hidden: ".NAME.PROCESS.N.new".
std::string TemporaryNameFor(const std::string& path) {
  const auto [folder, name] = FolderAndName(path);
  return folder + "." + name + "." + std::to_string(ProcessNumber()) + "." + std::to_string(g_nextTemporary++) +
         std::string(kNewEnding);
}

// Removes the new files for `path` that stopped writers left in its folder.
void RemoveStoppedNewFiles(const std::string& path) {
  const auto [folder, name] = FolderAndName(path);
  const std::string prefix = "." + name + ".";
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder.empty() ? "." : folder, error), end; !error && it != end;
       it.increment(error)) {
    const std::string entry = it->path().filename().string();
    std::error_code ignored;
    if (entry.compare(0, prefix.size(), prefix) == 0 && StoppedNewFileOf(entry) == name &&
        it->is_regular_file(ignored) && !it->is_symlink(ignored))
      sysfile::Remove(it->path().string());
  }
}

}  // namespace

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
  for (int attempt = 0; attempt < kNameTries && fd_ < 0; ++attempt) {
    temporary_ = TemporaryNameFor(path_);
    // A name that exists, a link too, is never opened.
    fd_ = sysfile::CreateNew(temporary_);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    Fail(errno);
    temporary_.clear();
  }
  buffer_.reserve(kBufferBytes);
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) sysfile::Close(fd_);
  if (!committed_ && !temporary_.empty()) sysfile::Remove(temporary_);
}

void OutputFile::Fail(int error) {
  if (error_ == 0) error_ = error;
}

void OutputFile::Write(std::string_view text) {
  if (buffer_.size() + text.size() > kBufferBytes) Flush();
  if (text.size() >= kBufferBytes)
    WriteAll(text);
  else
    buffer_ += text;
}

void OutputFile::Flush() {
  WriteAll(buffer_);
  buffer_.clear();
}

void OutputFile::WriteAll(std::string_view text) {
  while (!text.empty() && error_ == 0) {
    const long written = sysfile::Write(fd_, text.data(), text.size());
    if (written < 0) {
      Fail(errno);
      continue;
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

std::optional<std::string> OutputFile::Finish() {
  if (fd_ >= 0) {
    if (error_ == 0) Flush();
    if (error_ == 0 && !sysfile::Sync(fd_)) Fail(errno);
    if (!sysfile::Close(fd_)) Fail(errno);
    fd_ = -1;
  }
  if (error_ != 0) return std::string(std::strerror(error_));
  return std::nullopt;
}

std::optional<std::string> OutputFile::Commit() {
  Finish();
  if (error_ == 0 && !sysfile::Replace(temporary_, path_)) Fail(errno);
  if (error_ != 0) return std::string(std::strerror(error_));
  committed_ = true;
  RemoveStoppedNewFiles(path_);
  return std::nullopt;
}

std::optional<std::string_view> StoppedNewFileOf(std::string_view entry) {
  if (!entry.starts_with('.') || !entry.ends_with(kNewEnding)) return std::nullopt;
  std::string_view rest = entry.substr(1, entry.size() - 1 - kNewEnding.size());  // NAME.PROCESS.N
  const std::size_t number = rest.rfind('.');
  if (number == std::string_view::npos || !AllDigits(rest.substr(number + 1))) return std::nullopt;
  rest = rest.substr(0, number);
  const std::size_t process = rest.rfind('.');
  if (process == std::string_view::npos || process == 0) return std::nullopt;
  const std::string_view digits = rest.substr(process + 1);
  unsigned long maker = 0;
  if (!AllDigits(digits) || std::from_chars(digits.data(), digits.data() + digits.size(), maker).ec != std::errc{} ||
      maker == ProcessNumber() || !ProcessHasEnded(maker))
    return std::nullopt;
  return rest.substr(0, process);
}

std::optional<std::string> WriteWholeFile(const std::string& path, std::string_view text) {
  OutputFile file(path);
  file.Write(text);
  return file.Commit();
}
