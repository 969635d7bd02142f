#include "platform/foldersystem.h"

#include <cerrno>
#include <climits>
#include <filesystem>
#include <utility>

#include "platform/system.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>  // renameat2
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

HeldFolder::HeldFolder(HeldFolder&& other) noexcept
    : path_(std::move(other.path_)), descriptor_(std::exchange(other.descriptor_, -1)), identity_(other.identity_) {}

HeldFolder& HeldFolder::operator=(HeldFolder&& other) noexcept {
  // The folder held before goes with `other`.
  std::swap(path_, other.path_);
  std::swap(descriptor_, other.descriptor_);
  std::swap(identity_, other.identity_);
  return *this;
}

std::string HeldFolder::Inside(const std::string& name) const { return (fs::path(path_) / name).string(); }

#ifdef _WIN32

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  // Folders open only with backup semantics; nothing is read or written through the handle.
  const HANDLE handle = CreateFileW(fs::path(path).wstring().c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION information{};
  const bool known = GetFileInformationByHandle(handle, &information) != 0;
  CloseHandle(handle);
  if (!known) return std::nullopt;
  return FileIdentity{information.dwVolumeSerialNumber,
                      (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow};
}

bool ProcessHasEnded(unsigned long process) {
  if (process == 0) return false;
  const HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(process));
  // No such process; a process that is not ours to ask about still runs.
  if (!handle) return GetLastError() == ERROR_INVALID_PARAMETER;
  DWORD status = 0;
  const bool ended = GetExitCodeProcess(handle, &status) && status != STILL_ACTIVE;
  CloseHandle(handle);
  return ended;
}

std::optional<HeldFolder> HeldFolder::Open(const std::string& path, std::error_code& error) {
  std::error_code ignored;
  const std::optional<FileIdentity> identity = IdentityOf(path);
  if (!fs::is_directory(path, ignored) || !identity) {
    error = std::make_error_code(std::errc::no_such_file_or_directory);
    return std::nullopt;
  }
  return HeldFolder(path, -1, *identity);
}

HeldFolder::~HeldFolder() = default;

std::vector<HeldFolder::Entry> HeldFolder::Entries(const std::string& prefix) const {
  std::vector<Entry> entries;
  std::error_code error;
  for (fs::directory_iterator it(path_, error), end; !error && it != end; it.increment(error)) {
    if (it->path().filename().string().compare(0, prefix.size(), prefix) != 0) continue;
    std::error_code ignored;
    const fs::file_status status = it->symlink_status(ignored);
    entries.push_back({it->path().filename().string(), fs::is_regular_file(status), fs::is_directory(status)});
  }
  return entries;
}

std::error_code HeldFolder::MakeFolder(const std::string& name) const {
  std::error_code error;
  if (!fs::create_directory(Inside(name), error) && !error) error = std::make_error_code(std::errc::file_exists);
  return error;
}

std::optional<HeldFolder> HeldFolder::OpenFolder(const std::string& name, std::error_code& error) const {
  std::error_code ignored;
  if (fs::is_symlink(fs::symlink_status(Inside(name), ignored))) {
    error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
    return std::nullopt;
  }
  return Open(Inside(name), error);
}

int HeldFolder::NewFile(const std::string& name) const { return sysfile::CreateNew(Inside(name)); }

std::error_code HeldFolder::RemoveFile(const std::string& name) const {
  std::error_code error;
  fs::remove(Inside(name), error);
  return error;
}

std::error_code HeldFolder::RemoveFolder(const std::string& name) const { return RemoveFile(name); }

std::error_code HeldFolder::Rename(const std::string& from, const std::string& to) const {
  return sysfile::ReplaceFolder(Inside(from), Inside(to));
}

std::error_code HeldFolder::Exchange(const std::string&, const std::string&) const {
  return std::make_error_code(std::errc::operation_not_supported);
}

std::error_code HeldFolder::MoveInto(const std::string& name, const HeldFolder& folder) const {
  std::error_code error;
  // MoveFileEx replaces nothing unless asked to.
  if (!MoveFileExW(fs::path(Inside(name)).wstring().c_str(), fs::path(folder.Inside(name)).wstring().c_str(), 0))
    error = std::error_code(static_cast<int>(GetLastError()), std::system_category());
  return error;
}

bool HeldFolder::Writable() const {
  std::error_code error;
  return (fs::status(path_, error).permissions() & fs::perms::owner_write) != fs::perms::none;
}

void HeldFolder::TakePermissionsOf(const HeldFolder&) const {}

bool HeldFolder::IsAt(const std::string& path) const { return IdentityOf(path) == identity_; }

bool HeldFolder::Holds(const std::string& name, const HeldFolder& folder) const {
  return IdentityOf(Inside(name)) == folder.identity_;
}

std::string HeldFolder::Path() const { return path_; }

#else  // POSIX

namespace {

std::error_code LastError() { return {errno, std::generic_category()}; }

FileIdentity IdentityIn(const struct stat& info) {
  return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

}  // namespace

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return IdentityIn(info);
}

bool ProcessHasEnded(unsigned long process) {
  // 0 and numbers past pid_t would signal a whole group of processes, or another one.
  if (process == 0 || process > static_cast<unsigned long>(INT_MAX)) return false;
  // A process of another user still runs: kill says EPERM for it.
  return ::kill(static_cast<pid_t>(process), 0) != 0 && errno == ESRCH;
}

std::optional<HeldFolder> HeldFolder::Open(const std::string& path, std::error_code& error) {
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  struct stat info {};
  if (descriptor < 0 || ::fstat(descriptor, &info) != 0) {
    error = LastError();
    if (descriptor >= 0) ::close(descriptor);
    return std::nullopt;
  }
  return HeldFolder(path, descriptor, IdentityIn(info));
}

HeldFolder::~HeldFolder() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

std::vector<HeldFolder::Entry> HeldFolder::Entries(const std::string& prefix) const {
  std::vector<Entry> entries;
  // A listing of its own: a duplicate descriptor would share the position of every other one.
  const int listing = ::openat(descriptor_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing < 0) return entries;
  DIR* const folder = ::fdopendir(listing);
  if (!folder) {
    ::close(listing);
    return entries;
  }
  while (const dirent* entry = ::readdir(folder)) {
    const std::string name = entry->d_name;
    if (name == "." || name == ".." || name.compare(0, prefix.size(), prefix) != 0) continue;
    struct stat info {};
    const bool known = ::fstatat(descriptor_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
    entries.push_back({name, known && S_ISREG(info.st_mode), known && S_ISDIR(info.st_mode)});
  }
  ::closedir(folder);
  return entries;
}

std::error_code HeldFolder::MakeFolder(const std::string& name) const {
  // 0777 lets the user's umask decide: the folder is the user's, like any other.
  return ::mkdirat(descriptor_, name.c_str(), 0777) == 0 ? std::error_code() : LastError();
}

std::optional<HeldFolder> HeldFolder::OpenFolder(const std::string& name, std::error_code& error) const {
  const int descriptor = ::openat(descriptor_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  struct stat info {};
  if (descriptor < 0 || ::fstat(descriptor, &info) != 0) {
    error = LastError();
    if (descriptor >= 0) ::close(descriptor);
    return std::nullopt;
  }
  return HeldFolder(Inside(name), descriptor, IdentityIn(info));
}

int HeldFolder::NewFile(const std::string& name) const {
  // As sysfile::CreateNew: never through a link, and 0666 for the umask to decide.
  return ::openat(descriptor_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

std::error_code HeldFolder::RemoveFile(const std::string& name) const {
  return ::unlinkat(descriptor_, name.c_str(), 0) == 0 ? std::error_code() : LastError();
}

std::error_code HeldFolder::RemoveFolder(const std::string& name) const {
  return ::unlinkat(descriptor_, name.c_str(), AT_REMOVEDIR) == 0 ? std::error_code() : LastError();
}

std::error_code HeldFolder::Rename(const std::string& from, const std::string& to) const {
  return ::renameat(descriptor_, from.c_str(), descriptor_, to.c_str()) == 0 ? std::error_code() : LastError();
}

std::error_code HeldFolder::Exchange(const std::string& one, const std::string& other) const {
#ifdef RENAME_EXCHANGE
  if (::renameat2(descriptor_, one.c_str(), descriptor_, other.c_str(), RENAME_EXCHANGE) == 0) return {};
  // Old kernels and file systems that cannot swap say so in one of these ways.
  if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP)
    return std::make_error_code(std::errc::operation_not_supported);
  return LastError();
#else
  (void)one;
  (void)other;
  return std::make_error_code(std::errc::operation_not_supported);
#endif
}

std::error_code HeldFolder::MoveInto(const std::string& name, const HeldFolder& folder) const {
#ifdef RENAME_NOREPLACE
  if (::renameat2(descriptor_, name.c_str(), folder.descriptor_, name.c_str(), RENAME_NOREPLACE) == 0) return {};
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return LastError();
#endif
  // Where the system cannot refuse to replace, looking first leaves a moment for a race.
  struct stat info {};
  if (::fstatat(folder.descriptor_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0)
    return std::make_error_code(std::errc::file_exists);
  return ::renameat(descriptor_, name.c_str(), folder.descriptor_, name.c_str()) == 0 ? std::error_code() : LastError();
}

bool HeldFolder::Writable() const { return ::faccessat(descriptor_, ".", W_OK | X_OK, AT_EACCESS) == 0; }

void HeldFolder::TakePermissionsOf(const HeldFolder& model) const {
  struct stat info {};
  if (::fstat(model.descriptor_, &info) == 0) (void)::fchmod(descriptor_, info.st_mode & 07777);
}

bool HeldFolder::IsAt(const std::string& path) const { return IdentityOf(path) == identity_; }

bool HeldFolder::Holds(const std::string& name, const HeldFolder& folder) const {
  struct stat info {};
  return ::fstatat(descriptor_, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && IdentityIn(info) == folder.identity_;
}

std::string HeldFolder::Path() const {
#ifdef __linux__
  // Linux names the folder a descriptor holds, wherever it is now.
  std::error_code error;
  const fs::path now = fs::read_symlink("/proc/self/fd/" + std::to_string(descriptor_), error);
  if (!error && now.is_absolute()) return now.string();
#endif
  return path_;
}

#endif
