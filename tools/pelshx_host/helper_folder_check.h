#pragma once

// pelshx_host --check for the 64-bit plug-in, which runs the 32-bit one in a
// helper: the x86 folder beside it, with the helper, the 32-bit plug-in and
// the vendor library, each there and built for 32-bit Windows.

#include "findings.h"

#include <string>

void CheckHelperFolder(const std::string& pluginFile, Findings& findings);
