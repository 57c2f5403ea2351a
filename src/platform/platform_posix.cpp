// POSIX stand-ins for the Windows services, used by the native build.

#include "platform/platform.h"

#include <cerrno>
#include <cstdlib>
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

// Without blocking: a lease that another program holds on the file turns the
// open away at once (as a file opened without sharing does on Windows)
// instead of stalling the host until the lease is broken.
std::int64_t AppendToFile(const std::string& path, const char* bytes, std::size_t size)
{
    const int file = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (file < 0) return errno == EWOULDBLOCK ? kFileHeld : -1;
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

const bool kAppendsTakeTheLock = false;

namespace {

std::string DirectoryOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return path.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

const std::intptr_t FileLock::kNoHandle = -1;

FileLock::FileLock(const std::string& path) : name(DirectoryOf(path)), handle(kNoHandle) {}

FileLock::~FileLock()
{
    Release();
}

// The directory is opened for each taking: held open it would be a file
// descriptor of the host's that the plug-in keeps.
bool FileLock::Take(unsigned milliseconds) noexcept
{
    handle = open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0) return false;
    for (unsigned waited = 0; flock(static_cast<int>(handle), LOCK_EX | LOCK_NB) != 0; ++waited) {
        if (waited >= milliseconds) {
            Release();
            return false;
        }
        PauseMilliseconds(1);
    }
    return true;
}

void FileLock::Release() noexcept
{
    if (handle != kNoHandle) close(static_cast<int>(handle));  // closing lets go of the lock
    handle = kNoHandle;
}

std::uint64_t MonotonicMilliseconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
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
