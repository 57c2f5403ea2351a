#pragma once

// The plug-in's logs as it points them: at their defaults until Play_Init,
// then into the trace directory its configuration names. The bridge and its
// helper write their own records there, through the plug-in's log writer.

#include "trace/trace_log.h"

#include <string>

namespace bridge {

TraceLog PluginLogs(bool initialised);

// The directory of the error log, ending in '/' (or "" for the current one).
std::string PluginLogDirectory(bool initialised);

}  // namespace bridge
