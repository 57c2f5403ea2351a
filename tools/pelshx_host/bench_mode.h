#pragma once

// Bench mode of the host program: what the plug-in adds to the vendor calls it
// makes, measured in the library as built.

#include "host_options.h"

#include <ostream>
#include <string>

// Measures Play_InputData at debug levels 0 and 2 beside the same work done
// without the plug-in and prints both times and their ratio. Writes the
// plug-in's configuration file for the run and puts back what was there.
// Returns the program's exit status.
int RunBenchMode(const std::string& pluginPath, const HostOptions& options, std::ostream& out, std::ostream& err);
