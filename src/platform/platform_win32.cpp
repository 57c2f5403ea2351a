// The Windows services behind the platform interface, and the library's entry point.

#include "platform/platform.h"

#include <windows.h>
#include <sys/timeb.h>
#include <ctime>

namespace platform {

const std::size_t kDriveRootLength = 3;  // "C:/"

bool SystemDirectory(std::string& directory)
{
    char buffer[MAX_PATH];
    const UINT length = GetSystemDirectoryA(buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer) return false;
    directory.assign(buffer, length);
    return true;
}

bool FindsEntry(const std::string& nameOrPattern)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(nameOrPattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

MakeDirResult MakeDirectory(const std::string& path)
{
    if (CreateDirectoryA(path.c_str(), nullptr)) return MakeDirResult::Created;
    return GetLastError() == ERROR_ALREADY_EXISTS ? MakeDirResult::AlreadyExists : MakeDirResult::Failed;
}

void MoveReplacing(const std::string& from, const std::string& to)
{
    MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING);
}

void PauseMilliseconds(unsigned milliseconds)
{
    Sleep(milliseconds);
}

LocalTime CurrentLocalTime()
{
    struct _timeb now;
    _ftime(&now);
    const time_t seconds = now.time;
    const tm* local = localtime(&seconds);
    if (local == nullptr) return {1, 1, 0, 0, 0, 0};
    return {local->tm_mon + 1, local->tm_mday, local->tm_hour, local->tm_min, local->tm_sec, now.millitm};
}

}  // namespace platform
