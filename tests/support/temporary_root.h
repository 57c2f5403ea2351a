#pragma once

#include <string>

namespace test_files {

// The test program's own temporary directory, with forward slashes and a
// trailing slash. Natively the system drive root is the same directory.
std::string TemporaryRootPath();

}  // namespace test_files
