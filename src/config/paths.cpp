#include "config/paths.h"

#include "config/ansi_text.h"
#include "platform/platform.h"

namespace {

// The second byte of a two-byte character keeps its value, even that of a backslash.
void UseForwardSlashes(std::string& path)
{
    for (std::size_t at = FindAnsiCharacter(path, '\\'); at != std::string::npos;
         at = FindAnsiCharacter(path, '\\', at + 1))
        path[at] = '/';
}

bool EndsWith(const std::string& text, char c)
{
    return !text.empty() && text.back() == c;
}

// The slash of a drive root such as "C:/" sits before this position and is
// never taken for a directory to create.
constexpr std::size_t kFirstCreatableSlash = 3;

}  // namespace

std::string NormaliseDirPath(std::string& path)
{
    UseForwardSlashes(path);
    if (!path.empty() && !EndsWith(path, '/')) path += '/';
    return path;
}

int GetSystemDriveRoot(std::string& root)
{
    std::string directory;
    if (!platform::SystemDirectory(directory)) return -1;
    NormaliseDirPath(directory);
    root = directory.substr(0, platform::kDriveRootLength);
    return 0;
}

bool DirectoryExists(std::string path)
{
    if (path.empty()) return false;
    UseForwardSlashes(path);
    if (EndsWith(path, '/')) path += '*';
    if (EndsWith(path, ':')) path += "/*";
    return platform::FindsEntry(path);
}

int CreateDirectoryTree(std::string path, std::vector<std::string>* made)
{
    NormaliseDirPath(path);
    if (DirectoryExists(path)) return 0;
    for (std::size_t slash = path.find('/', kFirstCreatableSlash); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string prefix = path.substr(0, slash);
        if (DirectoryExists(prefix)) continue;
        const platform::MakeDirResult result = platform::MakeDirectory(prefix);
        if (result == platform::MakeDirResult::Failed) return -1;
        if (made != nullptr && result == platform::MakeDirResult::Created) made->push_back(prefix);
    }
    return 0;
}
