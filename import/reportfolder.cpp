#include "import/reportfolder.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>

#include "platform/system.h"

namespace fs = std::filesystem;

namespace {

// Temporary folders tried before giving up: each name is taken only by a run that is still
// writing, or by one that was stopped.
constexpr int kTemporaryNames = 100;
constexpr std::string_view kReportEnding = ".dat";

std::string Why(int error) { return std::strerror(error); }

// The path without a final '/', so that its last part is the folder's own name.
fs::path Plain(const std::string& path) {
  fs::path plain = fs::path(path).lexically_normal();
  if (!plain.has_filename() && plain.has_parent_path()) plain = plain.parent_path();
  return plain;
}

fs::path ParentOf(const fs::path& plain) { return plain.has_parent_path() ? plain.parent_path() : fs::path("."); }

// ".NAME.partial-": the hidden folders for the target NAME begin so, then the process and a number.
std::string StemOf(const std::string& target) { return '.' + target + ".partial-"; }

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const long n = sysfile::Write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::string Count(std::size_t count, const std::string& one, const std::string& more) {
  return std::to_string(count) + " " + (count == 1 ? one : more);
}

// What an import writes into its hidden folder: regular files named NAME.dat.
bool IsReport(const HeldFolder::Entry& entry) {
  return entry.file && entry.name.size() > kReportEnding.size() &&
         entry.name.compare(entry.name.size() - kReportEnding.size(), kReportEnding.size(), kReportEnding) == 0;
}

// Removes the reports in `folder`, then the folder itself, the entry `name` of `parent`, through
// the folders as held, wherever they are now. Anything else in it is not the import's and stays,
// and with it the folder. What is left and where; "" when nothing.
std::string RemoveReports(const HeldFolder& parent, const std::string& name, const HeldFolder& folder) {
  // Held by its path, a moved folder is out of reach.
  if (!kHeldFolderFollows && !folder.IsAt(folder.Path()))
    return "the hidden folder made as " + folder.Path() + " was moved while it was written, and is left, " +
           "with what it holds, where it went";
  std::size_t others = 0;
  std::size_t stuck = 0;
  std::error_code stuckWhy;
  for (const HeldFolder::Entry& entry : folder.Entries()) {
    if (!IsReport(entry)) {
      ++others;
    } else if (const std::error_code error = folder.RemoveFile(entry.name)) {
      ++stuck;
      stuckWhy = error;
    }
  }
  const bool inPlace = parent.Holds(name, folder);
  std::error_code folderWhy;
  if (inPlace && others == 0 && stuck == 0) {
    folderWhy = parent.RemoveFolder(name);
    if (!folderWhy) return {};
  }
  std::string text = "the hidden folder " + folder.Path() + " is left";
  if (stuck > 0) text += ", with " + Count(stuck, "report", "reports") + " that cannot be removed (" + stuckWhy.message() + ")";
  if (others > 0)
    text += std::string(stuck > 0 ? " and " : ", with ") +
            Count(others, "entry that is no report", "entries that are no reports");
  if (stuck == 0 && others == 0)
    text += inPlace ? ", empty (" + folderWhy.message() + ")" : ", empty: it was moved out of " + parent.Path();
  return text;
}

// The process that made the hidden folder `entry` for a target of stem `stem`; nothing when
// the name is not of that form.
std::optional<unsigned long> MakerOf(const std::string& entry, const std::string& stem) {
  if (entry.compare(0, stem.size(), stem) != 0) return std::nullopt;
  const char* const end = entry.data() + entry.size();
  unsigned long process = 0;
  const auto [dash, error] = std::from_chars(entry.data() + stem.size(), end, process);
  if (error != std::errc{} || dash == end || *dash != '-' || dash + 1 == end) return std::nullopt;
  for (const char* c = dash + 1; c != end; ++c)
    if (*c < '0' || *c > '9') return std::nullopt;
  return process;
}

// Removes the hidden folders that stopped imports into `target` left in `parent` (shown as
// `shown`): those whose process has ended. A running import's folder is never touched.
StoppedImports ClearStopped(const HeldFolder& parent, const fs::path& shown, const std::string& target) {
  StoppedImports stopped;
  const std::string stem = StemOf(target);
  for (const HeldFolder::Entry& entry : parent.Entries(stem)) {
    if (!entry.folder) continue;
    const std::optional<unsigned long> maker = MakerOf(entry.name, stem);
    if (!maker || *maker == ProcessNumber() || !ProcessHasEnded(*maker)) continue;
    std::error_code error;
    const std::optional<HeldFolder> folder = parent.OpenFolder(entry.name, error);
    if (!folder) {
      stopped.kept.push_back("the hidden folder " + (shown / entry.name).string() + " is left (" + error.message() + ")");
      continue;
    }
    const std::string left = RemoveReports(parent, entry.name, *folder);
    if (left.empty())
      stopped.removed.push_back((shown / entry.name).string());
    else
      stopped.kept.push_back(left);
  }
  return stopped;
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
  const fs::path parentPath = ParentOf(plain);
  std::error_code why;
  std::optional<HeldFolder> parent = HeldFolder::Open(parentPath.string(), why);
  if (!parent) {
    error = "cannot write in " + parentPath.string() + ": " + why.message();
    return nullptr;
  }
  StoppedImports stopped = ClearStopped(*parent, parentPath, plain.filename().string());
  // Hidden, and named after the target and this process.
  const std::string stem = StemOf(plain.filename().string()) + std::to_string(ProcessNumber()) + "-";
  for (int attempt = 0; attempt < kTemporaryNames; ++attempt) {
    const std::string name = stem + std::to_string(attempt);
    const std::error_code made = parent->MakeFolder(name);
    if (made == std::errc::file_exists) continue;
    if (!made) {
      std::optional<HeldFolder> folder = parent->OpenFolder(name, why);
      if (folder) {
        std::unique_ptr<PendingFolder> pending(new PendingFolder(
            plain.string(), fs::absolute(parentPath, ignored).string(), std::move(*parent), name, std::move(*folder)));
        pending->stopped_ = std::move(stopped);
        return pending;
      }
      parent->RemoveFolder(name);
    }
    error = "cannot write in " + parentPath.string() + ": " + (made ? made : why).message();
    return nullptr;
  }
  error = "cannot write in " + parentPath.string() + ": every temporary name is taken";
  return nullptr;
}

PendingFolder::~PendingFolder() {
  try {
    Discard();
  } catch (...) {
    // Out of memory for the words: the folder stays, as after a stopped import; the next import clears it.
  }
}

bool PendingFolder::Write(const std::string& name, const std::string& text, std::string& error) const {
  const int fd = folder_.NewFile(name);
  if (fd < 0) {
    error = "cannot write " + target_ + "/" + name + ": " + Why(errno);
    return false;
  }
  // On the disk before the folder is renamed into place: a crash leaves no empty report.
  const bool written = WriteAll(fd, text) && sysfile::Sync(fd);
  const int writeError = errno;
  if (!sysfile::Close(fd) || !written) {
    error = "cannot write " + target_ + "/" + name + ": " + Why(written ? errno : writeError);
    return false;
  }
  return true;
}

bool PendingFolder::Commit(std::string& error) {
  const fs::path plain(target_);
  const std::string cannot = "cannot make " + target_ + ": ";
  // Made in the parent's new place, the reports would not be where they are said to be.
  if (!parent_.IsAt(parentPath_)) {
    error = cannot + ParentOf(plain).string() + " was moved or replaced while the reports were written";
    return false;
  }
  if (!parent_.Holds(name_, folder_)) {
    error = cannot + "the hidden folder " + (ParentOf(plain) / name_).string() +
            " was moved away while the reports were written";
    return false;
  }
  // Replaces the target when it is an empty folder; fails when it has got files meanwhile.
  if (const std::error_code moved = parent_.Rename(name_, plain.filename().string())) {
    error = cannot + moved.message();
    return false;
  }
  done_ = true;
  return true;
}

std::string PendingFolder::Discard() {
  if (done_) return {};
  done_ = true;
  return RemoveReports(parent_, name_, folder_);
}
