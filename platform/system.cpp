#include "platform/system.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <locale.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <glob.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef __APPLE__
#include <mach-o/dyld.h>
#include <xlocale.h>
#endif

namespace sysfile {
namespace {
constexpr const char* kFolder = "a folder, not a file";
constexpr const char* kDevice = "a pipe or a device, not a file";
}  // namespace
}  // namespace sysfile

#ifdef _WIN32

std::optional<std::uint64_t> AvailableMemory() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return std::nullopt;
  return status.ullAvailPhys;
}

std::string ProgramFile() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return std::filesystem::path(path).string();
    }
    path.resize(path.size() * 2);
  }
}

unsigned long ProcessNumber() { return static_cast<unsigned long>(GetCurrentProcessId()); }

std::tm LocalTime(std::time_t moment) {
  std::tm local{};
  localtime_s(&local, &moment);
  return local;
}

double CLocaleStrtod(const std::string& number) {
  static const _locale_t cLocale = _create_locale(LC_ALL, "C");
  return cLocale ? _strtod_l(number.c_str(), nullptr, cLocale) : std::strtod(number.c_str(), nullptr);
}

std::vector<std::string> MatchPattern(const std::string& pattern) {
  std::vector<std::string> paths;
  const std::filesystem::path folder = std::filesystem::path(pattern).parent_path();
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW(std::filesystem::path(pattern).wstring().c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return paths;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") paths.push_back((folder / name).string());
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return paths;
}

namespace sysfile {

int CreateNew(const std::string& path) {
  return _wopen(std::filesystem::path(path).wstring().c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                _S_IREAD | _S_IWRITE);
}

OpenedFile OpenForReading(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return {-1, 0, kFolder};
  const int handle = _wopen(std::filesystem::path(path).wstring().c_str(), _O_RDONLY | _O_BINARY);
  if (handle < 0) return {-1, errno, nullptr};
  struct _stat64 info {};
  if (_fstat64(handle, &info) == 0 && (info.st_mode & _S_IFMT) == _S_IFREG) return {handle, 0, nullptr};
  _close(handle);
  return {-1, 0, kDevice};
}

long Write(int handle, const char* data, std::size_t size) {
  const unsigned piece = size > 0x40000000u ? 0x40000000u : static_cast<unsigned>(size);
  return _write(handle, data, piece);
}

long Read(int handle, char* data, std::size_t size) {
  const unsigned piece = size > 0x40000000u ? 0x40000000u : static_cast<unsigned>(size);
  return _read(handle, data, piece);
}

bool Sync(int handle) { return _commit(handle) == 0; }
bool Close(int handle) { return _close(handle) == 0; }

bool Replace(const std::string& from, const std::string& to) {
  if (MoveFileExW(std::filesystem::path(from).wstring().c_str(), std::filesystem::path(to).wstring().c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  switch (GetLastError()) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: errno = EACCES; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: errno = ENOSPC; break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: errno = ENOENT; break;
    default: errno = EIO;
  }
  return false;
}

bool Remove(const std::string& path) { return _wunlink(std::filesystem::path(path).wstring().c_str()) == 0; }

}  // namespace sysfile

#else  // POSIX

std::optional<std::uint64_t> AvailableMemory() {
  // Memory that file caches hold can be had too: Linux counts it in MemAvailable.
  std::ifstream meminfo("/proc/meminfo");
  for (std::string line; std::getline(meminfo, line);) {
    std::istringstream words(line);
    std::string key;
    std::uint64_t kibibytes = 0;
    if (words >> key >> kibibytes && key == "MemAvailable:") return kibibytes * 1024;
  }
#ifdef _SC_AVPHYS_PAGES
  const long pages = sysconf(_SC_AVPHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return std::nullopt;
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
#else
  return std::nullopt;
#endif
}

std::string ProgramFile() {
#ifdef __APPLE__
  std::uint32_t size = 0;
  _NSGetExecutablePath(nullptr, &size);
  std::string path(size, '\0');
  if (_NSGetExecutablePath(path.data(), &size) != 0) return {};
  path.resize(std::strlen(path.c_str()));
  std::error_code error;
  const auto canonical = std::filesystem::canonical(path, error);
  return error ? path : canonical.string();
#else
  std::error_code error;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : exe.string();
#endif
}

unsigned long ProcessNumber() { return static_cast<unsigned long>(getpid()); }

std::tm LocalTime(std::time_t moment) {
  std::tm local{};
  localtime_r(&moment, &local);
  return local;
}

double CLocaleStrtod(const std::string& number) {
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
  return cLocale ? strtod_l(number.c_str(), nullptr, cLocale) : std::strtod(number.c_str(), nullptr);
}

std::vector<std::string> MatchPattern(const std::string& pattern) {
  std::vector<std::string> paths;
  glob_t matches{};
  if (glob(pattern.c_str(), 0, nullptr, &matches) == 0)
    for (std::size_t k = 0; k < matches.gl_pathc; ++k) paths.emplace_back(matches.gl_pathv[k]);
  globfree(&matches);
  return paths;
}

namespace sysfile {

int CreateNew(const std::string& path) {
  // 0666 lets the user's umask decide.
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

OpenedFile OpenForReading(const std::string& path) {
  const int handle = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (handle < 0) return {-1, errno, nullptr};
  struct stat info {};
  if (::fstat(handle, &info) == 0 && S_ISREG(info.st_mode)) return {handle, 0, nullptr};
  ::close(handle);
  return {-1, 0, S_ISDIR(info.st_mode) ? kFolder : kDevice};
}

long Write(int handle, const char* data, std::size_t size) {
  ssize_t written = 0;
  do written = ::write(handle, data, size);
  while (written < 0 && errno == EINTR);
  return static_cast<long>(written);
}

long Read(int handle, char* data, std::size_t size) {
  ssize_t got = 0;
  do got = ::read(handle, data, size);
  while (got < 0 && errno == EINTR);
  return static_cast<long>(got);
}

bool Sync(int handle) { return ::fsync(handle) == 0; }
bool Close(int handle) { return ::close(handle) == 0; }
bool Replace(const std::string& from, const std::string& to) { return ::rename(from.c_str(), to.c_str()) == 0; }
bool Remove(const std::string& path) { return ::unlink(path.c_str()) == 0; }

}  // namespace sysfile

#endif

std::error_code sysfile::ReplaceFolder(const std::string& from, const std::string& to) {
  std::error_code error;
#ifdef _WIN32
  std::error_code ignored;
  std::filesystem::remove(to, ignored);  // an empty folder only
#endif
  std::filesystem::rename(from, to, error);
  return error;
}

std::optional<std::uint64_t> FreeSpace(const std::string& folder) {
  std::error_code error;
  const auto space = std::filesystem::space(std::filesystem::path(folder.empty() ? "." : folder), error);
  if (error) return std::nullopt;
  return space.available;
}
