#pragma once

// pelshx_host --check: what a video host on this machine would get from the
// plug-in, the vendor library, the configuration file and the logs. Needs no
// stream; the plug-in is loaded but no player is made. What the logs will
// meet in the trace directory is found out by doing it there, and what that
// made is removed again.

#include <ostream>
#include <string>

// True when the installation is sound; the findings and a verdict go to out.
bool CheckInstallation(const std::string& pluginPath, std::ostream& out);
