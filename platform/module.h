// Where the program's own files are.
#pragma once

#include <string>

// The directory of the running program, with its final separator; empty when unknown.
std::string AfxGetModuleDirectory();
