// POSIX stand-ins for the Windows services, used by the native build.

#include "platform/platform.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/time.h>

namespace platform {

// There are no drive letters: the directory named by PELSHX_SYSTEM_ROOT, or
// "/", is the whole system drive root.
const std::size_t kDriveRootLength = std::string::npos;

bool SystemDirectory(std::string& directory)
{
    const char* root = std::getenv("PELSHX_SYSTEM_ROOT");
    directory = (root != nullptr && *root != '\0') ? root : "/";
    return true;
}

static bool DirectoryHasEntry(const std::string& directory)
{
    DIR* dir = opendir(directory.empty() ? "/" : directory.c_str());
    if (dir == nullptr) return false;
    const bool found = readdir(dir) != nullptr;
    closedir(dir);
    return found;
}

bool FindsEntry(const std::string& nameOrPattern)
{
    const std::string wildcard = "/*";
    const std::size_t n = nameOrPattern.size();
    if (n >= wildcard.size() && nameOrPattern.compare(n - wildcard.size(), wildcard.size(), wildcard) == 0)
        return DirectoryHasEntry(nameOrPattern.substr(0, n - wildcard.size()));
    struct stat info;
    return stat(nameOrPattern.c_str(), &info) == 0;
}

MakeDirResult MakeDirectory(const std::string& path)
{
    if (mkdir(path.c_str(), 0777) == 0) return MakeDirResult::Created;
    return errno == EEXIST ? MakeDirResult::AlreadyExists : MakeDirResult::Failed;
}

void MoveReplacing(const std::string& from, const std::string& to)
{
    std::rename(from.c_str(), to.c_str());
}

void PauseMilliseconds(unsigned milliseconds)
{
    timespec remaining{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

LocalTime CurrentLocalTime()
{
    timeval now;
    gettimeofday(&now, nullptr);
    const time_t seconds = now.tv_sec;
    tm local;
    localtime_r(&seconds, &local);
    return {local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
            static_cast<unsigned>(now.tv_usec / 1000)};
}

}  // namespace platform
