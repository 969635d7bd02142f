// The folder every output file is written to.
#pragma once

#include <string>

// The directory of the first file of the last load, with its final '/'; empty before the first
// load, so that output then goes to the current directory.
extern std::string g_outputDir;
