// The folder every output file is written to.
#pragma once

#include <string>

// Whether a file name (without its folder) is one the program writes itself: "3dgrid.dat",
// "log.dat" or a class rate file "I,Jrates.dat". Such a file is never read as a report.
bool IsOwnOutputName(const std::string& name);

// The message that tells the user an output file could not be written, and why.
std::string CannotWriteMessage(const std::string& path, const std::string& reason);
