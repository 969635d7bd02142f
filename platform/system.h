// What the program asks of the machine it runs on, each in one place. This file and its .cpp
// are the only ones that call the operating system directly; each call has a branch for
// Windows and one for the POSIX systems (Linux, macOS), so everything else builds on all three.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

// The characters that end a folder's name in a path: Windows takes the backslash as well.
#ifdef _WIN32
inline constexpr const char* kPathSeparators = "/\\";
#else
inline constexpr const char* kPathSeparators = "/";
#endif

// Bytes of memory the program could still take without pushing out what other programs use:
// the system's own estimate where it gives one, otherwise the free memory; nothing when unknown.
std::optional<std::uint64_t> AvailableMemory();

// Bytes free for a new file in `folder` ("" for the current folder); nothing when unknown.
std::optional<std::uint64_t> FreeSpace(const std::string& folder);

// The full path of the running program; empty when the system does not say.
std::string ProgramFile();

// A number that tells this process from the others running now.
unsigned long ProcessNumber();

// `moment` in the local time zone.
std::tm LocalTime(std::time_t moment);

// Whether `text` is one or more of the digits 0 to 9, and nothing else.
inline bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// strtod in the C locale, whatever locale the process has set.
double CLocaleStrtod(const std::string& number);

// The paths a file pattern with wildcards (* ? [...]) matches, in no particular order; none when
// it matches nothing. POSIX systems expand wildcards in every part of the path, Windows only in
// its last part.
std::vector<std::string> MatchPattern(const std::string& pattern);

// Files as small integer handles, opened in binary mode on every system (no line-end
// translation). Failures return a negative handle or false, with the reason in errno.
namespace sysfile {
// Creates `path` for writing; fails when anything, a link too, is there already (EEXIST).
int CreateNew(const std::string& path);
// A file opened for reading: the handle, or why there is none.
struct OpenedFile {
  int handle = -1;
  int error = 0;                     // errno, when it could not be opened
  const char* notAFile = nullptr;    // what it is instead, when it is no regular file
};
// Opens `path` for reading without waiting (a pipe without a writer would block an ordinary
// open), and only if it is a regular file.
OpenedFile OpenForReading(const std::string& path);
// Bytes written or read, -1 on failure; both retry when interrupted.
long Write(int handle, const char* data, std::size_t size);
long Read(int handle, char* data, std::size_t size);
// Makes what was written durable.
bool Sync(int handle);
bool Close(int handle);
// Puts `from` in the place of `to`, replacing a file or link there, in one step.
bool Replace(const std::string& from, const std::string& to);
bool Remove(const std::string& path);
// Puts the folder `from` in the place of `to`, which may be an empty folder, in one step where
// the system can (Windows moves no folder over another: the empty one makes way first). Fails
// when `to` holds files.
std::error_code ReplaceFolder(const std::string& from, const std::string& to);
}  // namespace sysfile
