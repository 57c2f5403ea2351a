#pragma once

// What a crashing helper leaves behind: a minidump in the plug-in's log
// directory (the newest few are kept), its file name and the exception code
// in the control block, for the helper that takes its place to report.

#include "bridge/bridge_protocol.h"

#include <string>

namespace bridge {

// At most this many dumps are kept in the directory, the newest.
constexpr int kKeptDumps = 5;

// From now on an unhandled exception writes a dump and ends the helper with
// the exception code as its exit code.
void InstallCrashReport(ControlBlock& control);

// Where the dumps go: the directory the plug-in's logs are in.
void SetDumpDirectory(const std::string& directory);

// Runs call(context) so that an exception it leaves unhandled is reported as
// any crash. Needed where the system would swallow the exception instead: a
// window procedure serving a message sent from another thread (a nested call)
// is ended silently there, leaving the call half-made and unanswered.
void ReportCrashesIn(void (*call)(void*), void* context);

}  // namespace bridge
