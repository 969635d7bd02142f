// The host that shows dialogs in real windows.
#pragma once

#include <memory>

#include "platform/host.h"

// Null when no window system can be reached.
std::unique_ptr<Host> MakeWindowHost(int& argc, char** argv);
