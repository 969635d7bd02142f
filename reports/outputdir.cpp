#include "reports/outputdir.h"

std::string g_outputDir;

std::string OutputPath(const std::string& name) { return g_outputDir + name; }

std::string CannotWriteMessage(const std::string& path) { return "Cannot write \"" + path + "\"."; }
