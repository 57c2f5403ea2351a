#pragma once

// One run of the host program: a stream played through the plug-in on one
// port, from CreateSinglePlayerDll to ReleaseSinglePlayerDll, reported call by
// call and summed up at the end.

#include "host_options.h"

#include <ostream>
#include <string>

enum HostExit {
    HOST_EXIT_OK = 0,
    HOST_EXIT_UNEXPECTED_RESULT = 1,
    HOST_EXIT_BAD_COMMAND_LINE = 2,
    HOST_EXIT_NO_PLUGIN = 3,
    HOST_EXIT_NO_STREAM = 4,
    HOST_EXIT_CHECK_PROBLEM = 5,
    HOST_EXIT_OUT_OF_MEMORY = 6,
    HOST_EXIT_INTERRUPTED = 130,  // as shells report a program ended by Ctrl-C
};

// The calls and the summary go to out, what keeps the run from starting to err.
HostExit RunStream(const HostOptions& options, const std::string& pluginPath, std::ostream& out, std::ostream& err);
