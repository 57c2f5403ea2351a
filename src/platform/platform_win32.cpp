// The Windows services behind the platform interface, and the library's entry point.

#include "platform/platform.h"

#include <windows.h>
#include <sys/timeb.h>
#include <cstdio>
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

const char kLineBreak[] = "\r\n";

bool IsLeadByte(unsigned char byte)
{
    return IsDBCSLeadByte(byte) != FALSE;
}

namespace {

// Longer than any append or move aside takes, short enough that a hung holder
// stalls no host for long.
constexpr DWORD kFileMutexWaitMilliseconds = 5000;

// The same name in every process for one file, however its path is written:
// the full path in capitals, hashed (FNV-1a) to stay within a name's length.
// In the global namespace, so that hosts of every session share it.
void FileMutexName(const std::string& path, char (&name)[64])
{
    char full[MAX_PATH] = {};
    DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full) length = 0;  // then the name of the empty path: one lock for all
    CharUpperBuffA(full, length);
    unsigned long long hash = 14695981039346656037ull;
    for (DWORD i = 0; i < length; ++i) hash = (hash ^ static_cast<unsigned char>(full[i])) * 1099511628211ull;
    std::snprintf(name, sizeof name, "Global\\PelShx_PlaySDK_log_%016llx", hash);
}

// The file's mutex, owned; null when it cannot be had in time.
HANDLE TakeFileMutex(const std::string& path)
{
    char name[64];
    FileMutexName(path, name);
    const HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    if (mutex == nullptr) return nullptr;
    const DWORD waited = WaitForSingleObject(mutex, kFileMutexWaitMilliseconds);
    // An abandoned mutex is owned all the same: its holder ended mid-write.
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) return mutex;
    CloseHandle(mutex);
    return nullptr;
}

void ReleaseFileMutex(HANDLE mutex)
{
    if (mutex == nullptr) return;
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

}  // namespace

// Appending only: Windows puts each write at the file's end in one step.
// Sharing delete lets another process move the log aside while this one has it
// open. Wine, and file systems such as network shares, find the end and write
// there in two steps, so the write is also made under the file's mutex, which
// every process writing or moving the file takes.
std::int64_t AppendToFile(const std::string& path, const char* bytes, std::size_t size)
{
    const HANDLE mutex = TakeFileMutex(path);
    const HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    LARGE_INTEGER length{};
    const bool ok = file != INVALID_HANDLE_VALUE &&
                    WriteFile(file, bytes, static_cast<DWORD>(size), &written, nullptr) && written == size &&
                    GetFileSizeEx(file, &length);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    ReleaseFileMutex(mutex);
    return ok ? length.QuadPart : -1;
}

std::int64_t FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return -1;
    return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

FileMoveLock::FileMoveLock(const std::string& path) : handle(reinterpret_cast<std::intptr_t>(TakeFileMutex(path))) {}

FileMoveLock::~FileMoveLock()
{
    ReleaseFileMutex(reinterpret_cast<HANDLE>(handle));
}

void PauseMilliseconds(unsigned milliseconds)
{
    Sleep(milliseconds);
}

void SetOutOfMemoryError()
{
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
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
