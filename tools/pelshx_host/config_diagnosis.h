#pragma once

// The player's configuration file judged line by line with the player's own
// reading rules, with hints for the usual slips that make it ignore a setting.

#include "findings.h"

#include <string>

void DiagnoseConfigFile(const std::string& configFile, Findings& findings);
