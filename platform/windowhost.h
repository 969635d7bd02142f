// The host that shows dialogs in real windows.
#pragma once

#include <memory>
#include <vector>

#include "platform/host.h"
#include "platform/script.h"

// Null when no window system can be reached. The user actions of `session` are replayed in the
// main window as soon as it is shown.
std::unique_ptr<Host> MakeWindowHost(int& argc, char** argv, std::vector<ScriptLine> session = {});
