#pragma once

// Path and directory helpers. Paths use '/' as separator; directory paths end with '/'.

#include <string>
#include <vector>

// Backslashes become slashes (the second byte of a two-byte character never
// counts as one) and one trailing slash is ensured (an empty path stays
// empty). Changes path in place and returns a copy of it.
std::string NormaliseDirPath(std::string& path);

// The root of the system drive, such as "C:/". 0 on success, -1 when the system
// directory cannot be found; root is then left unchanged.
int GetSystemDriveRoot(std::string& root);

// True when the path names an existing entry. A path ending in '/' is tested
// for having an entry inside; a bare drive such as "d:" is tested as its root.
bool DirectoryExists(std::string path);

// Creates every missing directory of the path. 0 on success, -1 for the first
// directory that can be neither created nor found; what was made stays, and
// is added to `made`, when given, outermost first.
int CreateDirectoryTree(std::string path, std::vector<std::string>* made = nullptr);
