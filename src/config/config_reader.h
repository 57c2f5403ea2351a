#pragma once

// Reads one value from a configuration file of the form
//     # comment
//     [SECTION]
//     [KEY]   [value]
// Every call opens the file, scans it from the top and closes it again.

#include <string>

// 0 with value set when the key is found after the section's header; -1 in
// every other case, value then unchanged.
int ReadConfigValue(const std::string& fileName, const std::string& section, const std::string& key,
                    std::string& value);
