// The Windows services behind the platform interface, and the library's entry point.

#include "platform/platform.h"

#include <windows.h>
#include <sddl.h>
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

// Appending only: Windows puts each write at the file's end in one step.
// Sharing delete lets another process move the log aside while this one has it
// open.
std::int64_t AppendToFile(const std::string& path, const char* bytes, std::size_t size)
{
    const HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    LARGE_INTEGER length{};
    const bool ok = file != INVALID_HANDLE_VALUE &&
                    WriteFile(file, bytes, static_cast<DWORD>(size), &written, nullptr) && written == size &&
                    GetFileSizeEx(file, &length);
    const DWORD failure = ok ? ERROR_SUCCESS : GetLastError();
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (ok) return length.QuadPart;
    return failure == ERROR_SHARING_VIOLATION || failure == ERROR_LOCK_VIOLATION ? kFileHeld : -1;
}

std::int64_t FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return -1;
    return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

const bool kAppendsTakeTheLock = true;

namespace {

// The same name in every process for one file, however its path is written:
// the full path in capitals, hashed (FNV-1a) to stay within a name's length.
// In the global namespace, so that hosts of every session share it.
std::string FileMutexName(const std::string& path)
{
    char full[MAX_PATH] = {};
    DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (length == 0 || length >= sizeof full) length = 0;  // then the name of the empty path: one lock for all
    CharUpperBuffA(full, length);
    unsigned long long hash = 14695981039346656037ull;
    for (DWORD i = 0; i < length; ++i) hash = (hash ^ static_cast<unsigned char>(full[i])) * 1099511628211ull;
    char name[64];
    std::snprintf(name, sizeof name, "Global\\PelShx_PlaySDK_log_%016llx", hash);
    return name;
}

// All the lock needs: waiting for it and releasing it.
constexpr DWORD kMutexUse = SYNCHRONIZE | MUTEX_MODIFY_STATE;

// Every account that signs in (services' included) may wait for and release
// the mutex, whichever account made it; the system and administrators may do
// anything with it.
constexpr char kMutexSecurity[] = "D:(A;;0x00100001;;;AU)(A;;GA;;;SY)(A;;GA;;;BA)";
static_assert(kMutexUse == 0x00100001, "the descriptor grants what the lock asks for");

}  // namespace

// Made with the descriptor above, or opened asking for no more than the lock
// needs when another host made it, so that a host of any account gets it.
const std::intptr_t FileLock::kNoHandle = 0;

FileLock::FileLock(const std::string& path) : name(FileMutexName(path)), handle(kNoHandle)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorA(kMutexSecurity, SDDL_REVISION_1, &descriptor, nullptr);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const HANDLE mutex = CreateMutexExA(&attributes, name.c_str(), 0, kMutexUse);
    if (mutex == nullptr) problem = GetLastError();
    handle = reinterpret_cast<std::intptr_t>(mutex);
    LocalFree(descriptor);
}

FileLock::~FileLock()
{
    if (handle != kNoHandle) CloseHandle(reinterpret_cast<HANDLE>(handle));
}

bool FileLock::Take(unsigned milliseconds) noexcept
{
    if (handle == kNoHandle) return false;
    const DWORD waited = WaitForSingleObject(reinterpret_cast<HANDLE>(handle), milliseconds);
    // An abandoned mutex is owned all the same: its holder ended mid-write.
    return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

void FileLock::Release() noexcept
{
    ReleaseMutex(reinterpret_cast<HANDLE>(handle));
}

std::uint64_t MonotonicMilliseconds()
{
    return GetTickCount64();
}

void PauseMilliseconds(unsigned milliseconds)
{
    Sleep(milliseconds);
}

void SetOutOfMemoryError()
{
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
}

// The C library's local time of the system clock, as _ftime and localtime
// give it; the clock read directly, which under Wine costs a tenth of _ftime
// (that also looks up the time zone each time).
LocalTime CurrentLocalTime()
{
    FILETIME clock;
    GetSystemTimeAsFileTime(&clock);
    const unsigned long long ticks =
        (static_cast<unsigned long long>(clock.dwHighDateTime) << 32) | clock.dwLowDateTime;
    constexpr unsigned long long kTicksPerMillisecond = 10000;
    constexpr unsigned long long kUnixEpochInTicks = 116444736000000000ull;  // 1970-01-01 since 1601-01-01
    const unsigned long long milliseconds = (ticks - kUnixEpochInTicks) / kTicksPerMillisecond;
    const time_t seconds = static_cast<time_t>(milliseconds / 1000);
    const tm* local = localtime(&seconds);
    if (local == nullptr) return {1, 1, 0, 0, 0, 0};
    return {local->tm_mon + 1, local->tm_mday, local->tm_hour, local->tm_min, local->tm_sec,
            static_cast<unsigned>(milliseconds % 1000)};
}

}  // namespace platform
