#pragma once

// pelshx_host --check: what a video host on this machine would get from the
// plug-in, the vendor library, the configuration file and the logs. Needs no
// stream and changes nothing: the plug-in is loaded but no player is made,
// and the only file made, a probe of whether the logs can be created, is
// deleted at once.

#include <ostream>
#include <string>

// True when the installation is sound; the findings and a verdict go to out.
bool CheckInstallation(const std::string& pluginPath, std::ostream& out);
