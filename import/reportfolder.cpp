#include "import/reportfolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Temporary folders tried before giving up: each name is taken only by a run that is still
// writing, or by one that was stopped.
constexpr int kTemporaryNames = 100;
// Read and write for all, as the umask allows: the folder is the user's, like any other.
constexpr mode_t kFolderMode = 0777;
constexpr mode_t kFileMode = 0666;

std::string Why(int error) { return std::strerror(error); }

// The path without a final '/', so that its last part is the folder's own name.
fs::path Plain(const std::string& path) {
  fs::path plain = fs::path(path).lexically_normal();
  if (!plain.has_filename() && plain.has_parent_path()) plain = plain.parent_path();
  return plain;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::string FreeFolderBeside(const std::string& file, const std::string& name) {
  const fs::path parent = fs::path(file).parent_path();
  std::error_code error;
  for (int number = 1;; ++number) {
    const fs::path candidate = parent / (number == 1 ? name : name + "-" + std::to_string(number));
    if (!fs::exists(fs::symlink_status(candidate, error))) return candidate.string();
  }
}

std::unique_ptr<PendingFolder> PendingFolder::Create(const std::string& target, std::string& error) {
  const fs::path plain = Plain(target);
  std::error_code ignored;
  const fs::file_status status = fs::symlink_status(plain, ignored);
  if (fs::exists(status) && !fs::is_directory(status)) {
    error = target + " exists and is not a folder";
    return nullptr;
  }
  if (fs::is_directory(status) && !fs::is_empty(plain, ignored)) {
    error = target + " already holds files; the reports go into a new or empty folder";
    return nullptr;
  }
  const fs::path parent = plain.has_parent_path() ? plain.parent_path() : fs::path(".");
  // Hidden, and named after the target and this process.
  const std::string stem = plain.filename().string() + ".partial-" + std::to_string(::getpid()) + "-";
  for (int attempt = 0; attempt < kTemporaryNames; ++attempt) {
    const fs::path temporary = parent / ('.' + stem + std::to_string(attempt));
    if (::mkdir(temporary.c_str(), kFolderMode) == 0)
      return std::unique_ptr<PendingFolder>(new PendingFolder(plain.string(), temporary.string()));
    if (errno != EEXIST) {
      error = "cannot write in " + parent.string() + ": " + Why(errno);
      return nullptr;
    }
  }
  error = "cannot write in " + parent.string() + ": every temporary name is taken";
  return nullptr;
}

PendingFolder::~PendingFolder() {
  if (committed_) return;
  std::error_code ignored;
  fs::remove_all(temporary_, ignored);
}

bool PendingFolder::Write(const std::string& name, const std::string& text, std::string& error) const {
  const std::string path = temporary_ + "/" + name;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kFileMode);
  if (fd < 0) {
    error = "cannot write " + target_ + "/" + name + ": " + Why(errno);
    return false;
  }
  // On the disk before the folder is renamed into place: a crash leaves no empty report.
  const bool written = WriteAll(fd, text) && ::fsync(fd) == 0;
  const int writeError = errno;
  if (::close(fd) != 0 || !written) {
    error = "cannot write " + target_ + "/" + name + ": " + Why(written ? errno : writeError);
    return false;
  }
  return true;
}

bool PendingFolder::Commit(std::string& error) {
  // Replaces the target when it is an empty folder; fails when it has got files meanwhile.
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
    error = "cannot make " + target_ + ": " + Why(errno);
    return false;
  }
  committed_ = true;
  return true;
}
