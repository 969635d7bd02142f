// What the program asks of the system for the folders it writes whole (an import's reports, an
// export's set): a folder held open, files made and removed in it, which file a path leads to,
// and whether a process still runs. Each has a
// branch for POSIX systems and one for Windows, as platform/system.cpp has.
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

// Which file a path leads to: two paths lead to the same file when their identities are equal.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t node = 0;
  auto operator<=>(const FileIdentity&) const = default;
};

// The identity of the file or folder `path` leads to, links followed; nothing when there is none.
std::optional<FileIdentity> IdentityOf(const std::string& path);

// Whether the process numbered `process` on this machine has ended: false while it runs, and
// whenever that cannot be told.
bool ProcessHasEnded(unsigned long process);

// Whether a held folder's operations follow it when it is moved or renamed (POSIX systems: it
// is held by a descriptor), or go by the path it was opened at (Windows).
#ifdef _WIN32
inline constexpr bool kHeldFolderFollows = false;
#else
inline constexpr bool kHeldFolderFollows = true;
#endif

// A folder held open. Names given to its operations are names of entries in it.
class HeldFolder {
 public:
  // The folder at `path`; nothing, and why in `error`, when there is no folder there.
  static std::optional<HeldFolder> Open(const std::string& path, std::error_code& error);
  HeldFolder(HeldFolder&& other) noexcept;
  HeldFolder& operator=(HeldFolder&& other) noexcept;
  HeldFolder(const HeldFolder&) = delete;
  HeldFolder& operator=(const HeldFolder&) = delete;
  ~HeldFolder();

  struct Entry {
    std::string name;
    bool file = false;    // a regular file, not a link
    bool folder = false;  // a folder, not a link
  };
  // Its entries whose names begin with `prefix`, in no particular order.
  std::vector<Entry> Entries(const std::string& prefix = {}) const;

  // A new folder `name`, made as the umask allows; its error, file_exists when anything is there.
  std::error_code MakeFolder(const std::string& name) const;
  // The folder `name`, never through a link.
  std::optional<HeldFolder> OpenFolder(const std::string& name, std::error_code& error) const;
  // A new file `name` for writing, as sysfile::CreateNew makes one: its handle, or -1 with errno.
  int NewFile(const std::string& name) const;
  std::error_code RemoveFile(const std::string& name) const;
  // Removes the empty folder `name`.
  std::error_code RemoveFolder(const std::string& name) const;
  // Puts the folder `from` in the place of `to`, which may be an empty folder.
  std::error_code Rename(const std::string& from, const std::string& to) const;
  // Swaps the entries `one` and `other` in one step; operation_not_supported where the system
  // or the file system cannot (Windows, some network file systems).
  std::error_code Exchange(const std::string& one, const std::string& other) const;
  // Moves its entry `name`, whatever it is, into `folder` under the same name; file_exists, and
  // nothing moved, when that name is taken there.
  std::error_code MoveInto(const std::string& name, const HeldFolder& folder) const;
  // Whether this process may make and remove entries in it.
  bool Writable() const;
  // Gives it the permissions of `model` as far as the system lets it.
  void TakePermissionsOf(const HeldFolder& model) const;

  // Whether `path` leads to this very folder.
  bool IsAt(const std::string& path) const;
  // Whether its entry `name` is `folder` itself.
  bool Holds(const std::string& name, const HeldFolder& folder) const;
  // Where the folder is now, as far as the system says; otherwise the path it was opened at.
  std::string Path() const;

 private:
  HeldFolder(std::string path, int descriptor, FileIdentity identity)
      : path_(std::move(path)), descriptor_(descriptor), identity_(identity) {}
  std::string Inside(const std::string& name) const;

  std::string path_;
  int descriptor_ = -1;  // POSIX systems
  FileIdentity identity_;
};
