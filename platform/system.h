// What the program asks of the machine it runs on, each in one place.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Bytes of memory the program could still take without pushing out what other programs use:
// the system's own estimate where it gives one, otherwise the free memory; nothing when unknown.
std::optional<std::uint64_t> AvailableMemory();

// Bytes free for a new file in `folder` ("" for the current folder); nothing when unknown.
std::optional<std::uint64_t> FreeSpace(const std::string& folder);
