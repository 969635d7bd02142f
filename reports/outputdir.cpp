#include "reports/outputdir.h"

std::string g_outputDir;
