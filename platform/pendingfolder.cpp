#include "platform/pendingfolder.h"

#include <algorithm>
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

std::string Why(int error) { return std::strerror(error); }

// The path without a final '/', so that its last part is the folder's own name.
fs::path Plain(const std::string& path) {
  fs::path plain = fs::path(path).lexically_normal();
  if (!plain.has_filename() && plain.has_parent_path()) plain = plain.parent_path();
  return plain;
}

fs::path ParentOf(const fs::path& plain) { return plain.has_parent_path() ? plain.parent_path() : fs::path("."); }

// ".TARGET.WORD-": the hidden folders of new files for the target begin so, then the process and
// a number; ".TARGET.WORD-old-" those that hold a target taken away to make room for a new one.
std::string StemOf(const std::string& target, const FolderWriter& writer) {
  return '.' + target + '.' + std::string(writer.word) + '-';
}
std::string OldStemOf(const std::string& target, const FolderWriter& writer) {
  return StemOf(target, writer) + "old-";
}

bool WriteAll(int fd, std::string_view text) {
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

bool Exists(const HeldFolder& parent, const std::string& name) {
  for (const HeldFolder::Entry& entry : parent.Entries(name))
    if (entry.name == name) return true;
  return false;
}

// Clears the hidden folder `folder`, the entry `name` of `parent`, through the folders as held,
// wherever they are now: removes what the writer writes, moves the other entries into `target`
// when there is one (they were the target's before it was replaced), and removes the folder when
// that leaves it empty. Anything else stays, and with it the folder. What is left and where; ""
// when nothing.
std::string ClearHidden(const HeldFolder& parent, const std::string& name, const HeldFolder& folder,
                        const FolderWriter& writer, const HeldFolder* target) {
  // Held by its path, a moved folder is out of reach.
  if (!kHeldFolderFollows && !folder.IsAt(folder.Path()))
    return "the hidden folder made as " + folder.Path() + " was moved while it was written, and is left, " +
           "with what it holds, where it went";
  const std::string thing(writer.thing);
  const std::string things(writer.things);
  std::size_t others = 0;
  std::size_t stuck = 0;
  std::error_code stuckWhy;
  for (const HeldFolder::Entry& entry : folder.Entries()) {
    if (!writer.writes(entry)) {
      if (!target || folder.MoveInto(entry.name, *target)) ++others;
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
  if (stuck > 0)
    text += ", with " + Count(stuck, thing, things) + " that cannot be removed (" + stuckWhy.message() + ")";
  if (others > 0)
    text += std::string(stuck > 0 ? " and " : ", with ") +
            Count(others, "entry that is no " + thing, "entries that are no " + things);
  if (stuck == 0 && others == 0)
    text += inPlace ? ", empty (" + folderWhy.message() + ")" : ", empty: it was moved out of " + parent.Path();
  return text;
}

// The process that made the hidden folder `entry` whose names begin with `stem`; nothing when
// the name is not of that form.
std::optional<unsigned long> MakerOf(const std::string& entry, const std::string& stem) {
  if (entry.compare(0, stem.size(), stem) != 0) return std::nullopt;
  const char* const end = entry.data() + entry.size();
  unsigned long process = 0;
  const auto [dash, error] = std::from_chars(entry.data() + stem.size(), end, process);
  if (error != std::errc{} || dash == end || *dash != '-' || !AllDigits(std::string_view(dash + 1, end)))
    return std::nullopt;
  return process;
}

// Whether the hidden folder `entry` was made by a run that has ended.
bool OfEndedRun(const std::string& entry, const std::string& stem) {
  const std::optional<unsigned long> maker = MakerOf(entry, stem);
  return maker && *maker != ProcessNumber() && ProcessHasEnded(*maker);
}

// Clears the hidden folders that stopped runs into `target` left in `parent` (shown as `shown`):
// those whose process has ended. A running one's folder is never touched.
StoppedRuns ClearStopped(const HeldFolder& parent, const fs::path& shown, const std::string& target,
                         const FolderWriter& writer) {
  StoppedRuns stopped;
  const std::string stem = StemOf(target, writer);
  const std::string oldStem = OldStemOf(target, writer);
  const auto ended = [&](const std::string& name) { return OfEndedRun(name, stem) || OfEndedRun(name, oldStem); };
  std::vector<HeldFolder::Entry> entries = parent.Entries(stem);
  // A run stopped between taking the target away and putting the new folder in its place: the
  // old folder goes back, as if the run had never begun.
  if (writer.replaces && !Exists(parent, target))
    for (const HeldFolder::Entry& entry : entries)
      if (entry.folder && OfEndedRun(entry.name, oldStem) && !parent.Rename(entry.name, target)) {
        stopped.restored.push_back((shown / target).string());
        break;
      }
  std::error_code error;
  const std::optional<HeldFolder> into = writer.replaces ? parent.OpenFolder(target, error) : std::nullopt;
  for (const HeldFolder::Entry& entry : parent.Entries(stem)) {
    if (!entry.folder || !ended(entry.name)) continue;
    const std::optional<HeldFolder> folder = parent.OpenFolder(entry.name, error);
    if (!folder) {
      stopped.kept.push_back("the hidden folder " + (shown / entry.name).string() + " is left (" + error.message() + ")");
      continue;
    }
    const std::string left = ClearHidden(parent, entry.name, *folder, writer, into ? &*into : nullptr);
    if (left.empty())
      stopped.removed.push_back((shown / entry.name).string());
    else
      stopped.kept.push_back(left);
  }
  std::sort(stopped.removed.begin(), stopped.removed.end());
  std::sort(stopped.kept.begin(), stopped.kept.end());
  return stopped;
}

// The first free hidden name `stem` + this process + "-N" in `parent`.
std::optional<std::string> FreeHiddenName(const HeldFolder& parent, const std::string& stem) {
  const std::string mine = stem + std::to_string(ProcessNumber()) + "-";
  for (int attempt = 0; attempt < kTemporaryNames; ++attempt)
    if (!Exists(parent, mine + std::to_string(attempt))) return mine + std::to_string(attempt);
  return std::nullopt;
}

}  // namespace

std::string StoppedRunsText(const StoppedRuns& stopped, std::string_view run) {
  constexpr std::size_t kNamesShown = 10;  // paths named; the rest are counted
  const std::string of = "of a stopped " + std::string(run);
  std::string text;
  for (const std::string& target : stopped.restored)
    text += (text.empty() ? "" : "; ") + ("put back " + target + ", which a stopped " + std::string(run) + " had moved away");
  const std::vector<std::string>& removed = stopped.removed;
  if (!removed.empty()) {
    text += text.empty() ? "" : "; ";
    text += removed.size() == 1 ? "removed the hidden folder " + of + ": "
                                : "removed the hidden folders of " + std::to_string(removed.size()) + " stopped " +
                                      std::string(run) + "s: ";
    for (std::size_t k = 0; k < removed.size() && k < kNamesShown; ++k) text += (k ? ", " : "") + removed[k];
    if (removed.size() > kNamesShown) text += ", and " + std::to_string(removed.size() - kNamesShown) + " more";
  }
  for (const std::string& kept : stopped.kept) text += (text.empty() ? "" : "; ") + (of + ", " + kept);
  return text;
}

std::string FreeFolderBeside(const std::string& file, const std::string& name) {
  const fs::path parent = fs::path(file).parent_path();
  std::error_code error;
  for (int number = 1;; ++number) {
    const fs::path candidate = parent / (number == 1 ? name : name + "-" + std::to_string(number));
    if (!fs::exists(fs::symlink_status(candidate, error))) return candidate.string();
  }
}

std::unique_ptr<PendingFolder> PendingFolder::Create(const std::string& target, const FolderWriter& writer,
                                                     std::string& error) {
  const fs::path plain = Plain(target);
  std::error_code ignored;
  const fs::file_status status = fs::symlink_status(plain, ignored);
  if (fs::exists(status) && !fs::is_directory(status)) {
    error = target + " exists and is not a folder";
    return nullptr;
  }
  if (!writer.replaces && fs::is_directory(status) && !fs::is_empty(plain, ignored)) {
    error = target + " already holds files; the " + std::string(writer.things) + " go into a new or empty folder";
    return nullptr;
  }
  const fs::path parentPath = ParentOf(plain);
  std::error_code why;
  std::optional<HeldFolder> parent = HeldFolder::Open(parentPath.string(), why);
  if (!parent) {
    error = "cannot write in " + parentPath.string() + ": " + why.message();
    return nullptr;
  }
  const std::string targetName = plain.filename().string();
  StoppedRuns stopped = ClearStopped(*parent, parentPath, targetName, writer);
  // Hidden, and named after the target and this process.
  const std::string stem = StemOf(targetName, writer) + std::to_string(ProcessNumber()) + "-";
  for (int attempt = 0; attempt < kTemporaryNames; ++attempt) {
    const std::string name = stem + std::to_string(attempt);
    const std::error_code made = parent->MakeFolder(name);
    if (made == std::errc::file_exists) continue;
    if (!made) {
      std::optional<HeldFolder> folder = parent->OpenFolder(name, why);
      if (folder) {
        std::unique_ptr<PendingFolder> pending(new PendingFolder(plain.string(), writer,
                                                                 fs::absolute(parentPath, ignored).string(),
                                                                 std::move(*parent), name, std::move(*folder)));
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
    // Out of memory for the words: the folder stays, as after a stopped run; the next run clears it.
  }
}

bool PendingFolder::Write(const std::string& name, std::string_view text, std::string& error) const {
  const int fd = folder_.NewFile(name);
  if (fd < 0) {
    error = "cannot write " + target_ + "/" + name + ": " + Why(errno);
    return false;
  }
  // On the disk before the folder is renamed into place: a crash leaves no empty file.
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
  // Made in the parent's new place, the files would not be where they are said to be.
  if (!parent_.IsAt(parentPath_)) {
    error = cannot + ParentOf(plain).string() + " was moved or replaced while the " + std::string(writer_.things) +
            " were written";
    return false;
  }
  if (!parent_.Holds(name_, folder_)) {
    error = cannot + "the hidden folder " + (ParentOf(plain) / name_).string() + " was moved away while the " +
            std::string(writer_.things) + " were written";
    return false;
  }
  const std::string targetName = plain.filename().string();
  if (writer_.replaces && Exists(parent_, targetName)) return Replace(targetName, error);
  // Replaces the target when it is an empty folder; fails when it has got files meanwhile.
  if (const std::error_code moved = parent_.Rename(name_, targetName)) {
    error = cannot + moved.message();
    return false;
  }
  done_ = true;
  return true;
}

bool PendingFolder::Replace(const std::string& targetName, std::string& error) {
  const std::string cannot = "cannot replace " + target_ + ": ";
  std::error_code why;
  std::optional<HeldFolder> old = parent_.OpenFolder(targetName, why);
  if (!old) {
    error = cannot + why.message();
    return false;
  }
  // A folder the user cannot write to is not to be swapped away either.
  if (!old->Writable()) {
    error = cannot + std::make_error_code(std::errc::permission_denied).message();
    return false;
  }
  folder_.TakePermissionsOf(*old);
  std::string oldName = name_;
  if (const std::error_code swapped = parent_.Exchange(name_, targetName)) {
    if (swapped != std::errc::operation_not_supported) {
      error = cannot + swapped.message();
      return false;
    }
    // In two steps: the old folder out of the way under a hidden name, the new one in. A run
    // stopped between the two leaves the old folder to be put back by the next.
    const std::optional<std::string> aside = FreeHiddenName(parent_, OldStemOf(targetName, writer_));
    if (!aside) {
      error = cannot + "every temporary name is taken";
      return false;
    }
    if (const std::error_code moved = parent_.Rename(targetName, *aside)) {
      error = cannot + moved.message();
      return false;
    }
    if (const std::error_code moved = parent_.Rename(name_, targetName)) {
      parent_.Rename(*aside, targetName);
      error = cannot + moved.message();
      return false;
    }
    oldName = *aside;
    // Held by their paths, both folders are found again where they went.
    if (!kHeldFolderFollows) {
      old = parent_.OpenFolder(oldName, why);
      if (std::optional<HeldFolder> moved = parent_.OpenFolder(targetName, why)) folder_ = std::move(*moved);
    }
  }
  done_ = true;
  leftOfOld_ = old ? ClearHidden(parent_, oldName, *old, writer_, &folder_)
                  : "the old folder is left as " + (ParentOf(fs::path(target_)) / oldName).string() + " (" +
                        why.message() + ")";
  return true;
}

std::string PendingFolder::Discard() {
  if (done_) return {};
  done_ = true;
  return ClearHidden(parent_, name_, folder_, writer_, nullptr);
}
