#include "platform/outputfile.h"

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/system.h"

namespace {

// Text is handed to the system in pieces of this size.
constexpr std::size_t kBufferBytes = std::size_t{1} << 16;
// Tries at a free name for the new file before giving up.
constexpr int kNameTries = 100;

// Distinct new-file names within this process, whatever thread asks.
std::atomic<unsigned> g_nextTemporary{0};

// The new file beside the target: in the same folder, so that the rename stays within one file
// system, and hidden.
std::string TemporaryNameFor(const std::string& path) {
  const std::size_t slash = path.find_last_of(kPathSeparators);
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return folder + "." + name + "." + std::to_string(ProcessNumber()) + "." + std::to_string(g_nextTemporary++) + ".new";
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
  return std::nullopt;
}

std::optional<std::string> WriteWholeFile(const std::string& path, std::string_view text) {
  OutputFile file(path);
  file.Write(text);
  return file.Commit();
}
