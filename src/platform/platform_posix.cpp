// POSIX stand-ins for the Windows services, used by the native build.

#include "platform/platform.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

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

const char kLineBreak[] = "\n";

bool IsLeadByte(unsigned char byte)
{
    return byte >= 0x81 && byte <= 0xFE;
}

std::int64_t AppendToFile(const std::string& path, const char* bytes, std::size_t size)
{
    const int file = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (file < 0) return -1;
    struct stat info;
    const bool ok = write(file, bytes, size) == static_cast<ssize_t>(size) && fstat(file, &info) == 0;
    close(file);
    return ok ? static_cast<std::int64_t>(info.st_size) : -1;
}

std::int64_t FileSize(const std::string& path)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    return static_cast<std::int64_t>(info.st_size);
}

namespace {

// Longer than any move aside takes, short enough that a stopped holder stalls no host for long.
constexpr unsigned kMoveLockWaitMilliseconds = 5000;

// The file's directory, opened for its lock; -1 when it cannot be.
int OpenDirectoryOf(const std::string& path)
{
    char directory[PATH_MAX] = ".";
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash < sizeof directory) {
        std::memcpy(directory, path.data(), slash == 0 ? 1 : slash);
        directory[slash == 0 ? 1 : slash] = '\0';
    }
    return open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

}  // namespace

FileMoveLock::FileMoveLock(const std::string& path) : handle(OpenDirectoryOf(path))
{
    if (handle < 0) return;
    for (unsigned waited = 0; flock(static_cast<int>(handle), LOCK_EX | LOCK_NB) != 0; ++waited) {
        if (waited == kMoveLockWaitMilliseconds) {
            close(static_cast<int>(handle));
            handle = -1;
            return;
        }
        PauseMilliseconds(1);
    }
}

FileMoveLock::~FileMoveLock()
{
    if (handle >= 0) close(static_cast<int>(handle));  // closing lets go of the lock
}

void PauseMilliseconds(unsigned milliseconds)
{
    timespec remaining{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

void SetOutOfMemoryError()
{
    errno = ENOMEM;
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
