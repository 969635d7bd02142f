// varnel-simulate's command line.
#pragma once

#include "tools/simulate/simulation.h"

namespace simulate {

// The options of the command line `argv`. --help prints the usage and exits with status 0; a
// bad or missing option exits with status 2 (usageError).
Options parseArguments(int argc, char** argv);

}  // namespace simulate
